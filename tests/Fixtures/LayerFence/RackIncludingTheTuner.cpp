// Does not compile: the rack sees neither the tuner nor the designer.
#include "Tuner/TunerView.hpp"
