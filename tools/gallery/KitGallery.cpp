// The widget kit in each of its states.
#include "Gallery.hpp"

#include "Kit/BlackFaceplate.hpp"
#include "Kit/BrushedMetal.hpp"
#include "Kit/DisplayWindow.hpp"
#include "Kit/ExactFont.hpp"
#include "Kit/FLMeterBar.hpp"
#include "Kit/FLMeterScale.hpp"
#include "Kit/GlowText.hpp"
#include "Kit/HardwareKey.hpp"
#include "Kit/HoldKey.hpp"
#include "Kit/KeyCap.hpp"
#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/Knob.hpp"
#include "Kit/LED.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/MiniKeyStyle.hpp"
#include "Kit/Silkscreen.hpp"
#include "Kit/SilverKey.hpp"
#include "Kit/SilverKeyStyle.hpp"
#include "Kit/SystemSymbol.hpp"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

using namespace norvo;

namespace {

// A plain panel behind child widgets, so keys are seen on the surface they sit on.
class Backdrop : public QWidget {
public:
    enum class Finish { plain, brushedMetal };

    Backdrop(QSize size, QColor color, Finish finish = Finish::plain) : color_(color), finish_(finish) { resize(size); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), color_);
        if (finish_ == Finish::brushedMetal) BrushedMetal{.tint = KitColor::white(0.8)}.paint(p, QRectF(rect()));
    }

private:
    QColor color_;
    Finish finish_;
};

const QColor panel = KitColor::faceplateBlack;

void palette(gallery::Gallery& g) {
    const std::vector<std::pair<QString, QColor>> colors{{"studioBrown", KitColor::studioBrown},
                                                         {"studioBrownDark", KitColor::studioBrownDark},
                                                         {"faceplateBlack", KitColor::faceplateBlack},
                                                         {"silkscreenLight", KitColor::silkscreenLight},
                                                         {"silkscreenDark", KitColor::silkscreenDark},
                                                         {"displayGlass", KitColor::displayGlass},
                                                         {"displayCyan", KitColor::displayCyan},
                                                         {"amber", KitColor::amber},
                                                         {"ledRed", KitColor::ledRed},
                                                         {"ledGreen", KitColor::ledGreen}};
    g.paint("palette", QSize(520, 60), [&](QPainter& p, QSize) {
        for (size_t i = 0; i < colors.size(); ++i) {
            const QRectF swatch(10 + i * 50.0, 8, 44, 26);
            p.fillRect(swatch, colors[i].second);
            p.setPen(Qt::white);
            p.setFont(KitFont::system(6));
            p.drawText(QRectF(swatch.left() - 3, 38, 50, 14), Qt::AlignCenter, colors[i].first);
        }
    });
}

void fonts(gallery::Gallery& g) {
    g.paint("fonts", QSize(420, 262), [](QPainter& p, QSize) {
        p.setPen(Qt::white);
        qreal y = 20;
        const std::vector<std::pair<QFont::Weight, QString>> weights{
            {QFont::Thin, "thin"},     {QFont::Light, "light"},       {QFont::Normal, "regular"},
            {QFont::Medium, "medium"}, {QFont::DemiBold, "semibold"}, {QFont::Bold, "bold"},
            {QFont::Black, "black"}};
        for (const auto& [w, name] : weights) {
            p.setFont(KitFont::system(12, w));
            p.drawText(QPointF(10, y), "System " + name + " 0123456789");
            p.setFont(KitFont::system(12, w, KitFont::Width::expanded));
            p.drawText(QPointF(220, y), "EXPANDED " + name.toUpper());
            y += 18;
        }
        p.setFont(KitFont::monospaced(12));
        p.drawText(QPointF(10, y), QString::fromUtf8("Mono 12:34 ▮▮▯ ♪ -:-- ---"));
        y += 22;
        p.setFont(KitFont::brand(18));
        p.drawText(QPointF(10, y), "Norvo");
        p.setFont(KitFont::emoji(16));
        p.drawText(QPointF(120, y),
                   QString::fromUtf8("\U0001F1E9\U0001F1EA \U0001F1EF\U0001F1F5 \U0001F1FA\U0001F1F8"));
        y += 24;
        Silkscreen{"STUDIO CASSETTE DECK  NV-1", 8}.paintAtBaseline(p, QPointF(10, y));
        // Half points are their own sizes: 6.5 between 6 and 7, 7.5 between 7 and 8.
        y += 20;
        qreal x = 10;
        for (qreal size : {6.0, 6.5, 7.0, 7.5, 8.0}) {
            ExactFont(size, [](qreal s) {
                return KitFont::monospaced(s, QFont::Medium);
            }).draw(p, QPointF(x, y), QStringLiteral("-40 %1").arg(size));
            ExactFont(size, &KitFont::keyCaption).draw(p, QPointF(x, y + 12), QStringLiteral("REC LEVEL"));
            x += 80;
        }
    });
}

void surfaces(gallery::Gallery& g) {
    g.paint(
        "faceplate", QSize(360, 200),
        [](QPainter& p, QSize) {
            BlackFaceplate::paint(p, QRectF(20, 16, 320, 150));
            Silkscreen{"INTERNET RADIO TUNER  RO-01", 8}.paint(p, QRectF(40, 30, 280, 14), Qt::AlignLeft);
        },
        KitColor::studioBrown);
    g.paint("metal-light", QSize(300, 120), [](QPainter& p, QSize size) {
        BrushedMetal{.tint = KitColor::white(0.8)}.paint(p, QRectF(QPointF(), size));
        Silkscreen{"SOURCE PLAYER  DA-2", 8, Lettering::dark}.paint(p, QRectF(14, 10, 200, 14), Qt::AlignLeft);
        Silkscreen{"LINE OUT", 7, Lettering::dark}.paint(p, QRectF(14, 30, 200, 14), Qt::AlignLeft);
    });
    g.paint("metal-dark", QSize(300, 120), [](QPainter& p, QSize size) {
        // The tint is ignored by dark metal.
        BrushedMetal{.tint = QColor(Qt::red), .dark = true}.paint(p, QRectF(QPointF(), size));
    });
    g.paint("metal-height0", QSize(120, 20),
            [](QPainter& p, QSize) { BrushedMetal{.tint = KitColor::white(0.8)}.paint(p, QRectF(0, 10, 120, 0)); });
    g.paint(
        "display-window", QSize(330, 140),
        [](QPainter& p, QSize) {
            const QRectF window(15, 15, 300, 110);
            DisplayWindow::paintGlass(p, window);
            const QRectF content = DisplayWindow::contentRect(window);
            p.setFont(KitFont::monospaced(7));
            p.setPen(KitColor::faded(KitColor::displayCyan, 0.6));
            p.drawText(QPointF(content.left(), content.top() + 7), "COUNTER");
            GlowText{"042", 30, KitColor::amber}.paint(p, QRectF(content.left(), content.top() + 9, 120, 36));
            GlowText{.text = "888", .size = 30, .color = KitColor::amber, .lit = false}.paint(
                p, QRectF(content.left() + 100, content.top() + 9, 120, 36));
            GlowText{"RECORDING", 12, KitColor::ledRed}.paint(p, QRectF(content.left(), content.top() + 50, 140, 16));
            GlowText{"A", 15, KitColor::displayCyan}.paint(p, QRectF(content.left() + 150, content.top() + 50, 20, 18));
            GlowText{.text = "B", .size = 15, .color = KitColor::displayCyan, .lit = false}.paint(
                p, QRectF(content.left() + 170, content.top() + 50, 20, 18));
            GlowText{"A very long station title that will not fit", 12, KitColor::displayCyan}.paint(
                p, QRectF(content.left(), content.top() + 70, 200, 16));
            DisplayWindow::paintRim(p, window);
        },
        panel);
}

void lamps(gallery::Gallery& g) {
    g.paint(
        "leds", QSize(250, 70),
        [](QPainter& p, QSize) {
            const std::vector<QColor> colors{KitColor::ledRed, KitColor::ledGreen, KitColor::amber};
            qreal x = 16;
            for (qreal size : {5.0, 6.0, 8.0, 14.0}) {
                for (const QColor& c : colors) {
                    LED{.on = true, .color = c, .size = size}.paintCentred(p, QPointF(x, 20));
                    LED{.on = false, .color = c, .size = size}.paintCentred(p, QPointF(x, 50));
                    x += 20;
                }
            }
        },
        panel);
}

void symbols(gallery::Gallery& g) {
    const QStringList names = SystemSymbol::names();
    g.paint(
        "symbols", QSize(560, 40 + 34 * names.size() / 2),
        [&](QPainter& p, QSize) {
            for (int i = 0; i < names.size(); ++i) {
                const qreal x = (i % 2) * 280 + 10, y = (i / 2) * 34 + 14;
                p.setPen(QColor(150, 150, 150));
                p.setFont(KitFont::system(7));
                p.drawText(QRectF(x, y, 120, 20), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
                SystemSymbol::paint(p, names[i], QPointF(x + 140, y + 10), 10, QFont::Bold, Qt::white);
                SystemSymbol::paint(p, names[i], QPointF(x + 175, y + 10), 22, QFont::Light, KitColor::displayCyan);
                SystemSymbol::paint(p, names[i], QPointF(x + 235, y + 10), 26, QFont::Thin, Qt::white);
            }
        },
        panel);
}

void hardwareKeys(gallery::Gallery& g) {
    g.paint(
        "keycap", QSize(460, 70),
        [](QPainter& p, QSize) {
            KeyCap{.width = 64, .height = 38, .label = KeyLabel::symbolAbove("play.fill", "PLAY")}.paint(
                p, QPointF(12, 12));
            KeyCap{.down = true, .width = 64, .height = 38, .label = KeyLabel::symbolAbove("play.fill", "PLAY")}.paint(
                p, QPointF(86, 12));
            KeyCap{.accent = KitColor::ledRed,
                   .width = 64,
                   .height = 38,
                   .label = KeyLabel::symbolAbove("circle.fill", "REC")}
                .paint(p, QPointF(160, 12));
            KeyCap{.down = true,
                   .accent = KitColor::ledRed,
                   .width = 64,
                   .height = 38,
                   .label = KeyLabel::symbolAbove("circle.fill", "REC")}
                .paint(p, QPointF(234, 12));
            KeyCap{.width = 70,
                   .height = 38,
                   .label = KeyLabel::symbolAbove("arrow.triangle.2.circlepath", QString::fromUtf8("A ⇄ B"))}
                .paint(p, QPointF(308, 12));
            KeyCap{.width = 54, .height = 34, .label = KeyLabel::caption("MUTING")}.paint(p, QPointF(390, 14));
        },
        panel);

    auto row = std::make_unique<Backdrop>(QSize(520, 150), panel);
    auto* input1 = new HardwareKey(
        HardwareKeyStyle{.latched = true, .accent = KitColor::white(0.95), .width = 128, .height = 26},
        KeyLabel::lampBefore(LED{.on = true, .color = KitColor::amber, .size = 6}, QString::fromUtf8("CD · MP3")),
        row.get());
    input1->setKeyGeometry(QRect(12, 10, 128, 26));
    auto* input2 = new HardwareKey(HardwareKeyStyle{.accent = KitColor::white(0.6), .width = 128, .height = 26},
                                   KeyLabel::lampBefore(LED{.on = false, .color = KitColor::amber, .size = 6}, "TUNER"),
                                   row.get());
    input2->setKeyGeometry(QRect(12, 44, 128, 26));
    auto* eject = new HardwareKey(HardwareKeyStyle{.width = 64, .height = 38},
                                  KeyLabel::symbolAbove("eject.fill", "EJECT"), row.get());
    eject->setKeyGeometry(QRect(160, 10, 64, 38));
    auto* rec =
        new HardwareKey(HardwareKeyStyle{.latched = true, .accent = KitColor::ledRed, .width = 64, .height = 38},
                        KeyLabel::symbolAbove("circle.fill", "REC"), row.get());
    rec->setKeyGeometry(QRect(232, 10, 64, 38));
    auto* rew = new HoldKey(KeyLabel::symbolAbove("backward.fill", "REW"), 64, row.get());
    rew->setKeyGeometry(QRect(304, 10, 64, 38));
    auto* play = new HardwareKey(HardwareKeyStyle{.width = 64, .height = 38},
                                 KeyLabel::symbolAbove("play.fill", "PLAY"), row.get());
    play->setKeyGeometry(QRect(376, 10, 64, 38));
    play->setDown(true);  // pressed by the pointer
    auto* ff = new HoldKey(KeyLabel::symbolAbove("forward.fill", "FF"), 64, row.get());
    ff->setKeyGeometry(QRect(448, 10, 64, 38));
    ff->setLatched(true);
    auto* stop = new HardwareKey(HardwareKeyStyle{.width = 64, .height = 38},
                                 KeyLabel::symbolAbove("stop.fill", "STOP"), row.get());
    stop->setKeyGeometry(QRect(160, 64, 64, 38));
    auto* flip =
        new HardwareKey(HardwareKeyStyle{.width = 70, .height = 38},
                        KeyLabel::symbolAbove("arrow.triangle.2.circlepath", QString::fromUtf8("A ⇄ B")), row.get());
    flip->setKeyGeometry(QRect(232, 64, 70, 38));
    auto* power = new HardwareKey(HardwareKeyStyle{.latched = true, .width = 58, .height = 34},
                                  KeyLabel::symbolAbove("power", "POWER"), row.get());
    power->setKeyGeometry(QRect(310, 66, 58, 34));
    auto* memory =
        new HardwareKey(HardwareKeyStyle{.latched = true, .accent = KitColor::amber, .width = 54, .height = 34},
                        KeyLabel::caption("MEMORY"), row.get());
    memory->setKeyGeometry(QRect(376, 66, 54, 34));
    auto* held = new HoldKey(KeyLabel::symbolAbove("backward.fill", "REW"), 64, row.get());
    held->setKeyGeometry(QRect(448, 64, 64, 38));
    {
        const QPointF inside = QPointF(held->keyRect().center());
        QMouseEvent press(QEvent::MouseButtonPress, inside, held->mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(held, &press);
    }
    g.widget("hardware-keys", *row);
}

void silverKeys(gallery::Gallery& g) {
    auto row = std::make_unique<Backdrop>(QSize(420, 110), QColor(200, 200, 200), Backdrop::Finish::brushedMetal);
    const QFont caption = SilverKeyStyle::font();
    struct Spec {
        QString symbol, text;
        qreal width;
        bool lit, pressed;
    };
    const std::vector<Spec> keys{{"backward.end.fill", "PREV", 56, false, false},
                                 {"pause.fill", "PLAY/PAUSE", 74, true, false},
                                 {"stop.fill", "STOP", 56, false, true},
                                 {"forward.end.fill", "NEXT", 56, false, false},
                                 {"plus", "OPEN", 56, false, false},
                                 {"play.fill", "PLAY/PAUSE", 74, false, true},
                                 {"pause.fill", "PLAY/PAUSE", 74, true, true}};
    qreal x = 12, y = 10;
    for (const Spec& k : keys) {
        auto* key =
            new SilverKey(SilverKeyStyle{k.width, k.lit}, KeyLabel::symbolAbove(k.symbol, k.text, caption), row.get());
        if (x + k.width > 400) {
            x = 12;
            y += 52;
        }
        key->setKeyGeometry(QRect(int(x), int(y), int(k.width), 36));
        key->setDown(k.pressed);
        x += k.width + 8;
    }
    g.widget("silver-keys", *row);
}

void miniKeys(gallery::Gallery& g) {
    auto row = std::make_unique<Backdrop>(QSize(420, 80), panel);
    // caption, lit, pressed, width
    const std::vector<std::tuple<QString, bool, bool, int>> keys{
        {"WORLD", true, false, 60},
        {QString::fromUtf8("GENRE ▾"), false, false, 70},
        {QString::fromUtf8("COUNTRY ▾"), false, true, 80},
        {"jazz", true, true, 86},
        {"Try Again", false, false, 70},
        {"a caption far too long for its key", false, false, 90},
        {"classical", true, false, 86}};
    int x = 10, y = 10;
    for (const auto& [text, lit, pressed, width] : keys) {
        if (x + width > 410) {
            x = 10;
            y += 32;
        }
        auto* key = new MiniKey(MiniKeyStyle{.lit = lit}, KeyLabel::caption(text), row.get());
        key->setKeyGeometry(QRect(x, y, width, 20));
        key->setDown(pressed);
        x += width + 5;
    }
    g.widget("mini-keys", *row);
}

void knobs(gallery::Gallery& g) {
    g.paint(
        "knobs-light", QSize(330, 80),
        [](QPainter& p, QSize) {
            qreal x = 10;
            for (double v : {0.0, 0.25, 0.5, 2.0 / 3.0, 1.0}) {
                Knob::paint(p, QRectF(x, 10, 50, 60), "REC LEVEL", v, 40, Lettering::light);
                x += 62;
            }
        },
        panel);
    g.paint("knobs-dark", QSize(200, 80), [](QPainter& p, QSize size) {
        BrushedMetal{.tint = KitColor::white(0.8)}.paint(p, QRectF(QPointF(), size));
        Knob::paint(p, QRectF(10, 10, 60, 60), "VOLUME", 0.8, 40, Lettering::dark);
        Knob::paint(p, QRectF(80, 6, 60, 70), "TUNING", 0.5, 52, Lettering::dark);
    });
    auto row = std::make_unique<Backdrop>(QSize(160, 80), panel);
    auto* knob = new Knob("OUTPUT", 0.8, 40, Lettering::light, row.get());
    knob->setLayoutGeometry(QRect(QPoint(20, 8), knob->layoutRect().size()));
    auto* overdriven = new Knob("VOLUME", 0.8, 40, Lettering::light, row.get());
    overdriven->setValue(1.2);  // beyond the sweep, as an owner may set it
    overdriven->setLayoutGeometry(QRect(QPoint(90, 8), overdriven->layoutRect().size()));
    g.widget("knob-widgets", *row);
}

// Each kind of key and the knob as it is when it can be used and when it cannot.
void disabledControls(gallery::Gallery& g) {
    auto dark = std::make_unique<Backdrop>(QSize(470, 134), panel);
    int x = 12;
    for (bool enabled : {true, false}) {
        auto* eject = new HardwareKey(HardwareKeyStyle{.width = 64, .height = 38},
                                      KeyLabel::symbolAbove("eject.fill", "EJECT"), dark.get());
        eject->setKeyGeometry(QRect(x, 10, 64, 38));
        auto* flip = new HardwareKey(HardwareKeyStyle{.width = 70, .height = 38},
                                     KeyLabel::symbolAbove("arrow.triangle.2.circlepath", QString::fromUtf8("A ⇄ B")),
                                     dark.get());
        flip->setKeyGeometry(QRect(x + 72, 10, 70, 38));
        auto* rew = new HoldKey(KeyLabel::symbolAbove("backward.fill", "REW"), 64, dark.get());
        rew->setKeyGeometry(QRect(x, 60, 64, 38));
        auto* input = new HardwareKey(
            HardwareKeyStyle{.latched = true, .accent = KitColor::white(0.95), .width = 128, .height = 26},
            KeyLabel::lampBefore(LED{.on = true, .color = KitColor::amber, .size = 6}, "TUNER"), dark.get());
        input->setKeyGeometry(QRect(x, 106, 128, 26));
        auto* genre = new MiniKey(MiniKeyStyle{.lit = true}, KeyLabel::caption("JAZZ"), dark.get());
        genre->setKeyGeometry(QRect(x + 72, 68, 70, 20));
        auto* knob = new Knob("OUTPUT", 0.8, 40, Lettering::light, dark.get());
        knob->setLayoutGeometry(QRect(QPoint(x + 152, 10), knob->layoutRect().size()));
        for (QWidget* w : {static_cast<QWidget*>(eject), static_cast<QWidget*>(flip), static_cast<QWidget*>(rew),
                           static_cast<QWidget*>(input), static_cast<QWidget*>(genre), static_cast<QWidget*>(knob)})
            w->setEnabled(enabled);
        x += 230;
    }
    g.widget("disabled-dark", *dark);

    auto silver = std::make_unique<Backdrop>(QSize(300, 110), QColor(200, 200, 200), Backdrop::Finish::brushedMetal);
    x = 12;
    for (bool enabled : {true, false}) {
        auto* open = new SilverKey(SilverKeyStyle{.width = 56},
                                   KeyLabel::symbolAbove("plus", "OPEN", SilverKeyStyle::font()), silver.get());
        open->setKeyGeometry(QRect(x, 10, 56, 36));
        auto* play =
            new SilverKey(SilverKeyStyle{.width = 74, .lit = true},
                          KeyLabel::symbolAbove("pause.fill", "PLAY/PAUSE", SilverKeyStyle::font()), silver.get());
        play->setKeyGeometry(QRect(x, 56, 74, 36));
        auto* volume = new Knob("VOLUME", 0.8, 40, Lettering::dark, silver.get());
        volume->setLayoutGeometry(QRect(QPoint(x + 82, 20), volume->layoutRect().size()));
        for (QWidget* w : {static_cast<QWidget*>(open), static_cast<QWidget*>(play), static_cast<QWidget*>(volume)})
            w->setEnabled(enabled);
        x += 150;
    }
    g.widget("disabled-silver", *silver);
}

void meters(gallery::Gallery& g) {
    struct Case {
        QString name;
        double db, peak;
    };
    const std::vector<Case> cases{
        {"silence", -60, -60},  {"level-minus10", -10, -10}, {"level-0.5", 0.5, 0.5}, {"peak-minus5.5", -50, -5.5},
        {"peak-2.5", -50, 2.5}, {"peak-minus35", -50, -35},  {"full", 6.5, 6.5},      {"music", -4, -2}};
    const qreal width = 300;
    g.paint(
        "meters", QSize(int(width) + 120, int(cases.size() * 16 + 40)),
        [&](QPainter& p, QSize) {
            qreal y = 8;
            for (const Case& c : cases) {
                p.setPen(QColor(150, 150, 150));
                p.setFont(KitFont::system(8));
                p.drawText(QRectF(width + 20, y, 100, 12), Qt::AlignLeft | Qt::AlignVCenter, c.name);
                FLMeterBar{{c.db, c.peak}, "L"}.paint(p, QRectF(10, y, width, FLMeterBar::height()));
                y += 16;
            }
            FLMeterScale::paint(p, QRectF(10, y, width, FLMeterScale::height()));
        },
        KitColor::displayGlass);
}

void kit(gallery::Gallery& g) {
    palette(g);
    fonts(g);
    surfaces(g);
    lamps(g);
    symbols(g);
    hardwareKeys(g);
    silverKeys(g);
    miniKeys(g);
    knobs(g);
    disabledControls(g);
    meters(g);
}

gallery::Registrar reg("kit", &kit);

}  // namespace
