#include "NorvoStudioApp/SystemBeep.hpp"

#include <canberra.h>

#include <QApplication>
#include <QPointer>
#include <memory>
#include <mutex>

namespace norvo {

namespace {

// One canberra context for the run; the library serialises calls on it itself.
class CanberraBell {
public:
    ~CanberraBell() {
        if (context_) ca_context_destroy(context_);
    }

    bool play() {
        std::lock_guard lock(mutex_);
        if (!context_ && !failed_) {
            if (ca_context_create(&context_) != CA_SUCCESS) {
                context_ = nullptr;
                failed_ = true;
            } else {
                ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "Norvo Studio", CA_PROP_APPLICATION_ID,
                                        "org.norvo.Studio", nullptr);
            }
        }
        if (!context_) return false;
        return ca_context_play(context_, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION, "Alert sound",
                               nullptr) == CA_SUCCESS;
    }

private:
    std::mutex mutex_;
    ca_context* context_ = nullptr;
    bool failed_ = false;
};

}  // namespace

struct SystemBeep::Shared {
    Player player;
    std::function<void()> fallback;
};

SystemBeep::SystemBeep()
    : SystemBeep([bell = std::make_shared<CanberraBell>()] { return bell->play(); }, [] { QApplication::beep(); }) {}

SystemBeep::SystemBeep(Player player, std::function<void()> fallback) : shared_(std::make_shared<Shared>()) {
    shared_->player = std::move(player);
    shared_->fallback = std::move(fallback);
}

// A beep still playing is left behind: it holds what it plays with.
SystemBeep::~SystemBeep() = default;

void SystemBeep::ring() {
    std::weak_ptr<Shared> weak = shared_;
    QPointer<QCoreApplication> app = QCoreApplication::instance();
    worker_.post([weak, app] {
        auto shared = weak.lock();
        if (!shared || shared->player()) return;
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [weak] {
                if (auto s = weak.lock()) s->fallback();
            },
            Qt::QueuedConnection);
    });
}

bool SystemBeep::waitForIdle(std::chrono::milliseconds limit) const { return worker_.waitForIdle(limit); }

}  // namespace norvo
