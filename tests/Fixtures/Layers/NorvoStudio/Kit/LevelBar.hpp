#pragma once
#include "StudioModel/Ballistics.hpp"
