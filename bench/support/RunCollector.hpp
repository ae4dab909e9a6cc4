#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace norvo::bench {

// Console output as usual, plus each benchmark's wall-clock (or manual) seconds per
// iteration, kept for the FIGURE lines.
class RunCollector : public benchmark::ConsoleReporter {
public:
    // No colours: their escape codes would end up in front of the FIGURE lines.
    RunCollector() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0) continue;
            const std::string name = run.run_name.function_name;
            secondsPerIteration[name] = run.real_accumulated_time / static_cast<double>(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double seconds(const std::string& name) const {
        const auto found = secondsPerIteration.find(name);
        return found == secondsPerIteration.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> secondsPerIteration;
};

}  // namespace norvo::bench
