#pragma once
#include <string>

namespace norvo::bench {

// Prints one "FIGURE <name> <value>" line on stdout, the form scripts/bench collects.
void printFigure(const std::string& name, double value);

}  // namespace norvo::bench
