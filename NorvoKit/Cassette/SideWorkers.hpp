#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace norvo {

// Runs the work of both sides of a cassette at once, one thread per side, and reports
// the combined progress on the calling thread only (callers hand progress on to the
// main thread, and need not guard against two threads calling them).
class SideWorkers {
public:
    // A job reports how many of its units are done; it should stop early (by throwing)
    // once `cancelled` is set, which happens when another job has failed.
    using Job = std::function<void(const std::function<void(int64_t)>& done, const std::atomic<bool>& cancelled)>;

    void add(int64_t units, Job job);
    // Returns when every job has ended; rethrows the failure that came first (not that of
    // a job it made stop). `progress` receives the fraction of all units done.
    void run(const std::function<void(double)>& progress);

private:
    struct Entry {
        int64_t units = 0;
        Job job;
    };
    std::vector<Entry> jobs_;
};

}  // namespace norvo
