#include "support/Figure.hpp"

#include <cstdio>

namespace norvo::bench {

void printFigure(const std::string& name, double value) {
    std::printf("FIGURE %s %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

}  // namespace norvo::bench
