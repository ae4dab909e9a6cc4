#pragma once
#include "Radio/Station.hpp"
