#pragma once
#include <map>
#include <string>

namespace norvo::bench {

// Runs the registered benchmarks with the usual console output and returns the real
// time per iteration, in seconds, of every benchmark that ran (by its full name), so a
// program can turn them into figures.
std::map<std::string, double> runMeasured(int argc, char** argv);

}  // namespace norvo::bench
