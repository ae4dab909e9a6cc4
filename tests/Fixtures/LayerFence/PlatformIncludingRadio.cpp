// Does not compile: the platform layer sees nothing of the engine above it.
#include "Radio/RadioStation.hpp"
