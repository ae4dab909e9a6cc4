#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "StudioModel/ShownText.hpp"

namespace norvo {
namespace {

TEST(ShownText, NamesAreCleanedForDrawingAndEscapedForSentences) {
    const std::string name = "Caf\xe9\u202E\nmix";
    EXPECT_EQ(ShownText::plain(name), QStringLiteral("Caf\uFFFD\uFFFD\uFFFDmix"));
    EXPECT_EQ(ShownText::isolated(name), QStringLiteral("\u2068Caf\uFFFD\uFFFD\uFFFDmix\u2069"));
    EXPECT_EQ(ShownText::isolated(""), QString()) << "nothing to isolate";
    EXPECT_EQ(ShownText::inSentence(name), QStringLiteral("Caf\\xE9\\u202E\\x0Amix"));
    EXPECT_EQ(ShownText::lines("one\u2067\ntwo\r\n"), QStringLiteral("one\uFFFD\ntwo\uFFFD\n"));
}

TEST(ShownText, TheIsolateMarksDrawNothingOfTheirOwn) {
    auto draw = [](const QString& text) {
        QImage image(200, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(4, 28), text);
        return image;
    };
    EXPECT_EQ(draw(ShownText::isolated("Tape 7")), draw(QStringLiteral("Tape 7")));
}

}  // namespace
}  // namespace norvo
