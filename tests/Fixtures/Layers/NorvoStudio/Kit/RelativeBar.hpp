#pragma once
#include "../StudioModel/Ballistics.hpp"
#include "LevelBar.hpp"
