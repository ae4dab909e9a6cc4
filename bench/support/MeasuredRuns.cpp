#include "support/MeasuredRuns.hpp"

#include <benchmark/benchmark.h>

namespace norvo::bench {

namespace {

// Without colour: escape codes would run into the FIGURE lines that scripts/bench picks out.
class MeasuringReporter : public benchmark::ConsoleReporter {
public:
    MeasuringReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            seconds[run.benchmark_name()] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> seconds;
};

}  // namespace

std::map<std::string, double> runMeasured(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MeasuringReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.seconds;
}

}  // namespace norvo::bench
