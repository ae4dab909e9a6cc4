// Does not compile: the kit sees Qt and itself, nothing of the studio.
#include "StudioModel/StudioModel.hpp"
