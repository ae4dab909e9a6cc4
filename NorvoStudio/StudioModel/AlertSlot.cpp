#include "StudioModel/AlertSlot.hpp"

#include <algorithm>

namespace norvo {

void AlertSlot::dismiss() {
    if (!shown_) return;
    shown_.reset();
    noticeShown_.reset();
    if (!waitingNotices_.empty()) {
        shown_ = waitingNotices_.front();
        noticeShown_ = shown_->id;
        waitingNotices_.erase(waitingNotices_.begin());
    }
    emit changed();
}

void AlertSlot::raise(const QString& title, const QString& message) {
    if (shown_ && noticeShown_ == shown_->id)
        waitingNotices_.insert(waitingNotices_.begin(), Alert{QUuid::createUuid(), shown_->title, shown_->message});
    noticeShown_.reset();
    shown_ = Alert{QUuid::createUuid(), title, message};
    emit changed();
}

void AlertSlot::notice(const QString& title, const QString& message) {
    const auto same = [&](const Alert& alert) { return alert.title == title && alert.message == message; };
    // A notice says how things stand: one already waiting or shown says it too.
    if ((shown_ && same(*shown_)) || std::ranges::any_of(waitingNotices_, same)) return;
    if (shown_) {
        waitingNotices_.push_back(Alert{QUuid::createUuid(), title, message});
        return;
    }
    raise(title, message);
    noticeShown_ = shown_->id;
}

void AlertSlot::withdraw(const QString& title) {
    std::erase_if(waitingNotices_, [&](const Alert& alert) { return alert.title == title; });
    if (shown_ && noticeShown_ == shown_->id && shown_->title == title) dismiss();
}

}  // namespace norvo
