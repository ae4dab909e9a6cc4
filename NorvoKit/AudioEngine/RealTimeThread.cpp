#include "AudioEngine/RealTimeThread.hpp"

#include <pthread.h>
#include <sched.h>
#include <string.h>
#include <sys/resource.h>

#include <algorithm>

namespace norvo {

namespace {

void askForRealTimeScheduling() {
    constexpr int wanted = 70;
    rlimit limit{};
    int priority = wanted;
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        priority = std::min<int>(wanted, static_cast<int>(limit.rlim_cur));
    sched_param parameters{};
    parameters.sched_priority =
        std::clamp(priority, sched_get_priority_min(SCHED_FIFO), sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters);
}

// Deeper than the render goes (the tape-sound stage included) with room to spare; a
// thread's stack is mapped lazily, page by page, on first touch.
[[gnu::noinline]] void touchStack() {
    unsigned char stack[256 * 1024];
    explicit_bzero(stack, sizeof stack);
}

}  // namespace

void prepareRealTimeThread() {
    askForRealTimeScheduling();
    touchStack();
}

}  // namespace norvo
