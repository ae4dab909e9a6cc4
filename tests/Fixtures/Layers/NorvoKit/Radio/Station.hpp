#pragma once
#include <vector>

#include "Platform/Settings.hpp"
