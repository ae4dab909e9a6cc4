// Does not compile: the model sees the engine and itself, not the views.
#include "Kit/KeyCap.hpp"
