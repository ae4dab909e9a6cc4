#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <thread>

namespace norvo::test {

// A FIFO that nobody writes to: opened for reading the ordinary way, it waits forever.
class Fifo {
public:
    explicit Fifo(std::filesystem::path path) : path_(std::move(path)) { ::mkfifo(path_.c_str(), 0600); }

    const std::filesystem::path& path() const { return path_; }

    // Runs `work` and tells whether it came back within a few seconds. Work stuck in the
    // FIFO is released afterwards (a writer comes and goes, so the open returns and reads
    // end), so that a failing test fails instead of hanging.
    static bool returnsPromptly(const std::filesystem::path& fifo, const std::function<void()>& work) {
        std::packaged_task<void()> task(work);
        auto done = task.get_future();
        std::thread runner(std::move(task));
        const bool prompt = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) ::close(writer);
        }
        runner.join();
        done.get();  // the work's own failure, if it threw
        return prompt;
    }
    bool returnsPromptly(const std::function<void()>& work) const { return returnsPromptly(path_, work); }

private:
    std::filesystem::path path_;
};

}  // namespace norvo::test
