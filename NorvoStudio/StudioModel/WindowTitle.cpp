#include "StudioModel/WindowTitle.hpp"

#include <utility>

namespace norvo {

WindowTitle::WindowTitle(std::function<QString()> text, std::function<void()> announce)
    : text_(std::move(text)), announce_(std::move(announce)) {}

void WindowTitle::adoptCurrent() { published_ = text_(); }

void WindowTitle::noteMaybeChanged() {
    if (holds_ > 0) return;
    QString title = text_();
    if (title == published_) return;
    published_ = std::move(title);
    announce_();
}

WindowTitle::Hold::Hold(WindowTitle& title) : title_(title) { ++title_.holds_; }

WindowTitle::Hold::~Hold() {
    if (--title_.holds_ == 0) title_.noteMaybeChanged();
}

}  // namespace norvo
