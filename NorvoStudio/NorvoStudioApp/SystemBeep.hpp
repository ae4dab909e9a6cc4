#pragma once
#include <chrono>
#include <functional>
#include <memory>

#include "NorvoStudioApp/SerialWorker.hpp"

namespace norvo {

// The desktop's alert sound: the sound theme's "bell" event through libcanberra, or the
// window system's bell where no sound theme can be played. Playing runs on a worker,
// since opening the sound server's connection or the theme's files may take a while (or
// never end); the fallback is rung back on the main thread.
class SystemBeep {
public:
    // Returns true when the bell was handed to the sound server.
    using Player = std::function<bool()>;

    SystemBeep();  // libcanberra, falling back to QApplication::beep
    SystemBeep(Player player, std::function<void()> fallback);
    ~SystemBeep();
    SystemBeep(const SystemBeep&) = delete;
    SystemBeep& operator=(const SystemBeep&) = delete;

    void ring();
    // Waits at most `limit` for beeps still being played; true when they have ended.
    bool waitForIdle(std::chrono::milliseconds limit) const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    // One worker: beeps keep their order and never pile up threads.
    SerialWorker worker_{"norvo-beep"};
};

}  // namespace norvo
