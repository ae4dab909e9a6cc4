#pragma once
#include <sys/resource.h>

namespace norvo::test {

// Page faults, minor and major, the calling thread has taken so far.
inline long threadPageFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

}  // namespace norvo::test
