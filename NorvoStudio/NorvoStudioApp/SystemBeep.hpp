#pragma once
#include <functional>
#include <memory>

namespace norvo {

// The desktop's alert sound: the sound theme's "bell" event through libcanberra, or the
// window system's bell where no sound theme can be played. Playing runs on a worker,
// since opening the sound server's connection may take a while; the fallback is rung
// back on the main thread.
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
    // Waits for beeps still being played: for tests and shutdown.
    void waitForIdle();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace norvo
