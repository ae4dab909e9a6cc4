#pragma once
#include "Rack/Kit/LevelBar.hpp"
#include "StudioModel/Ballistics.hpp"
