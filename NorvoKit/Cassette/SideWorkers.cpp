#include "Cassette/SideWorkers.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace norvo {

void SideWorkers::add(int64_t units, Job job) { jobs_.push_back({std::max<int64_t>(units, 1), std::move(job)}); }

void SideWorkers::run(const std::function<void(double)>& progress) {
    if (jobs_.empty()) return;
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t running = 0;
        std::atomic<bool> cancelled{false};
        std::exception_ptr failure;  // the first one; the jobs stopped for it fail after it
    };
    Shared shared;
    shared.running = jobs_.size();
    std::vector<std::unique_ptr<std::atomic<int64_t>>> done;
    int64_t total = 0;
    for (const auto& entry : jobs_) {
        done.push_back(std::make_unique<std::atomic<int64_t>>(0));
        total += entry.units;
    }

    std::vector<std::thread> threads;
    threads.reserve(jobs_.size());
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        threads.emplace_back([&, i] {
            try {
                jobs_[i].job([&, i](int64_t units) { done[i]->store(units, std::memory_order_relaxed); },
                             shared.cancelled);
            } catch (...) {
                std::lock_guard lock(shared.mutex);
                if (!shared.failure) shared.failure = std::current_exception();
                shared.cancelled = true;
            }
            std::lock_guard lock(shared.mutex);
            --shared.running;
            shared.changed.notify_all();
        });
    }

    {
        std::unique_lock lock(shared.mutex);
        while (shared.running > 0) {
            shared.changed.wait_for(lock, std::chrono::milliseconds(50));
            if (!progress) continue;
            int64_t sum = 0;
            for (std::size_t i = 0; i < jobs_.size(); ++i)
                sum += std::clamp<int64_t>(done[i]->load(std::memory_order_relaxed), 0, jobs_[i].units);
            lock.unlock();
            progress(static_cast<double>(sum) / static_cast<double>(total));
            lock.lock();
        }
    }
    for (auto& thread : threads) thread.join();
    jobs_.clear();
    if (shared.failure) std::rethrow_exception(shared.failure);
}

}  // namespace norvo
