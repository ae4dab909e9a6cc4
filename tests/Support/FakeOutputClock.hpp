#pragma once
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "Platform/OutputClock.hpp"

namespace norvo::test {

// An output clock for tests: time moves only when advance() is called, and settle()
// waits until the threads that wait on the clock have done everything that was due.
// Waiting on it allocates nothing, so a real-time thread may wait on it in a test.
class FakeOutputClock final : public OutputClock {
public:
    explicit FakeOutputClock(Time start = std::chrono::seconds(1000)) : now_(start) {}

    Time now() const override {
        std::lock_guard guard(state_);
        return now_;
    }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Time deadline) override {
        Slot* slot = nullptr;
        {
            std::lock_guard guard(state_);
            if (now_ >= deadline) return;
            const auto free = std::find_if(slots_.begin(), slots_.end(), [](const Slot& s) { return !s.used; });
            if (free == slots_.end()) std::abort();  // more waiting threads than any test makes
            slot = &*free;
            *slot = Slot{.wake = &wake, .mutex = lock.mutex(), .deadline = deadline, .used = true};
            changed_.notify_all();
        }
        // The caller's mutex is held until the wait begins, and advance() takes it to
        // notify: a move of time cannot slip in between.
        wake.wait(lock);
        lock.unlock();
        {
            std::unique_lock guard(state_);
            changed_.wait(guard, [&] { return slot->notifying == 0; });
            slot->used = false;
            changed_.notify_all();
        }
        lock.lock();
    }

    void advance(Time by) {
        std::array<Slot*, capacity> due{};
        std::size_t count = 0;
        {
            std::lock_guard guard(state_);
            now_ += by;
            for (Slot& slot : slots_) {
                if (!slot.used || slot.deadline > now_) continue;
                ++slot.notifying;
                due[count++] = &slot;
            }
            changed_.notify_all();
        }
        for (std::size_t i = 0; i < count; ++i) {
            {
                std::lock_guard guard(*due[i]->mutex);
                due[i]->wake->notify_all();
            }
            std::lock_guard guard(state_);
            --due[i]->notifying;
            changed_.notify_all();
        }
    }

    // Blocks until exactly `waiters` threads wait on the clock, each for a time still to
    // come; false when that does not happen within 10 s. A function is asked again each
    // time a thread begins or ends a wait (under the clock's lock: it reads atomics only).
    bool settle(int waiters) {
        return settle([waiters] { return waiters; });
    }
    template <typename Waiters>
    bool settle(Waiters waiters) {
        std::unique_lock guard(state_);
        return changed_.wait_for(guard, std::chrono::seconds(10), [&] {
            int waiting = 0;
            for (const Slot& slot : slots_) {
                if (!slot.used) continue;
                if (slot.deadline <= now_ || slot.notifying) return false;
                ++waiting;
            }
            return waiting == waiters();
        });
    }

private:
    static constexpr std::size_t capacity = 8;
    struct Slot {
        std::condition_variable* wake = nullptr;
        std::mutex* mutex = nullptr;
        Time deadline{};
        int notifying = 0;
        bool used = false;
    };

    mutable std::mutex state_;
    std::condition_variable changed_;
    Time now_;
    std::array<Slot, capacity> slots_{};
};

}  // namespace norvo::test
