#pragma once
#include "Kit/LevelBar.hpp"
#include "StudioModel/Ballistics.hpp"
