#include "StudioModel/WindowTitle.hpp"

#include <utility>

namespace norvo {

QString WindowTitle::current() const {
    const auto cassette = cassette_ ? cassette_() : std::nullopt;
    if (!cassette) return QStringLiteral("Norvo Studio");
    return cassette->edited ? cassette->name + QStringLiteral(" \u2014 Edited") : cassette->name;
}

void WindowTitle::follow(std::function<std::optional<Cassette>()> cassette) {
    cassette_ = std::move(cassette);
    text_ = current();
}

void WindowTitle::noteMaybeChanged() {
    if (holds_ > 0) return;
    QString title = current();
    if (title == text_) return;
    text_ = std::move(title);
    emit changed();
}

WindowTitle::Hold::Hold(WindowTitle& title) : title_(title) { ++title_.holds_; }

WindowTitle::Hold::~Hold() {
    if (--title_.holds_ == 0) title_.noteMaybeChanged();
}

}  // namespace norvo
