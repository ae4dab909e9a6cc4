#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace norvo {

class Observable;

// Keeps an observation alive; dropping it stops the notifications.
class ObservationToken {
public:
    ObservationToken() = default;
    ObservationToken(std::weak_ptr<std::map<uint64_t, std::function<void()>>> observers, uint64_t id)
        : observers_(std::move(observers)), id_(id) {}
    ObservationToken(ObservationToken&& other) noexcept { *this = std::move(other); }
    ObservationToken& operator=(ObservationToken&& other) noexcept {
        if (this != &other) {
            reset();
            observers_ = std::move(other.observers_);
            id_ = other.id_;
            other.observers_.reset();
        }
        return *this;
    }
    ObservationToken(const ObservationToken&) = delete;
    ObservationToken& operator=(const ObservationToken&) = delete;
    ~ObservationToken() { reset(); }

    void reset() {
        if (auto observers = observers_.lock()) observers->erase(id_);
        observers_.reset();
    }

private:
    std::weak_ptr<std::map<uint64_t, std::function<void()>>> observers_;
    uint64_t id_ = 0;
};

// An object whose published state views watch. Used on the main thread only: an
// engine changes its properties, then announces the change once per operation.
class Observable {
public:
    Observable() = default;
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;
    virtual ~Observable() = default;

    [[nodiscard]] ObservationToken observe(std::function<void()> observer) {
        const uint64_t id = nextID_++;
        observers_->emplace(id, std::move(observer));
        return ObservationToken(observers_, id);
    }

    // How many changes have been announced: lets tests count notifications.
    uint64_t changeCount() const { return changeCount_; }

protected:
    void notifyObservers() {
        ++changeCount_;
        // Copy first: an observer may stop observing while being told.
        auto snapshot = *observers_;
        for (auto& [id, observer] : snapshot)
            if (observers_->count(id)) observer();
    }

private:
    std::shared_ptr<std::map<uint64_t, std::function<void()>>> observers_ =
        std::make_shared<std::map<uint64_t, std::function<void()>>>();
    uint64_t nextID_ = 1;
    uint64_t changeCount_ = 0;
};

}  // namespace norvo
