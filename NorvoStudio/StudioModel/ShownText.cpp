#include "StudioModel/ShownText.hpp"

#include <algorithm>

#include <QList>

#include "Platform/ShownName.hpp"

namespace norvo {

namespace {

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

QString ShownText::isolated(std::string_view name) {
    if (name.empty()) return {};
    return firstStrongIsolate + plain(name) + popDirectionalIsolate;
}

QString ShownText::plain(std::string_view name) { return fromUtf8(ShownName::drawable(name)); }

QString ShownText::isolatedWhenRightToLeft(std::string_view name) {
    QString shown = plain(name);
    return holdsRightToLeft(shown) ? firstStrongIsolate + shown + popDirectionalIsolate : shown;
}

bool ShownText::holdsRightToLeft(const QString& text) {
    const QList<uint> characters = text.toUcs4();
    return std::any_of(characters.begin(), characters.end(), [](uint character) {
        const QChar::Direction direction = QChar::direction(char32_t(character));
        return direction == QChar::DirR || direction == QChar::DirAL;
    });
}

QString ShownText::lines(std::string_view text) {
    QString shown;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        shown += plain(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
        if (end == std::string_view::npos) return shown;
        shown += QLatin1Char('\n');
        start = end + 1;
    }
}

QString ShownText::inSentence(std::string_view name) { return fromUtf8(ShownName::inSentence(name)); }

}  // namespace norvo
