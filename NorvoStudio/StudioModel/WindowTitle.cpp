#include "StudioModel/WindowTitle.hpp"

#include <utility>

#include "StudioModel/ShownText.hpp"

namespace norvo {

QString WindowTitle::current() const {
    const auto cassette = cassette_ ? cassette_() : std::nullopt;
    if (!cassette) return QStringLiteral("Norvo Studio");
    QString title = cassette->edited ? cassette->name + QStringLiteral(" \u2014 Edited") : cassette->name;
    // Some window managers take the title's direction from its first strong character,
    // isolate or not: a right-to-left name would turn the line round and put "Edited"
    // first. A left-to-right mark ahead of it keeps the name first everywhere.
    if (ShownText::holdsRightToLeft(title)) title.prepend(ShownText::leftToRightMark);
    return title;
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
