// The drawn cassette, its label styles and lettering, and the J-card, in their states.
#include <QPainter>

#include "AudioEngine/TapeClock.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "CassetteDrawing/CassetteRenderer.hpp"
#include "CassetteDrawing/CassetteView.hpp"
#include "CassetteDrawing/HandwritingFont.hpp"
#include "CassetteDrawing/JCardRenderer.hpp"
#include "CassetteDrawing/JCardView.hpp"
#include "Gallery.hpp"
#include "GradientPicture.hpp"

namespace {

using namespace norvo;

CassetteDocument cassette(const CassetteDesign& design, CassetteType type = CassetteType::c60()) {
    CassetteDocument document(type, "Summer Drive '89", design);
    document.sideA.title = "Sunset boulevard mix";
    document.sideB.title = "Night ride home";
    return document;
}

QImage gradientImage(QSize size, QColor from, QColor to, const QString& text) {
    return gallery::gradientPicture(size, from, to, text, HandwritingFont::system(size.height() / 6, QFont::Bold));
}

void paintCassette(gallery::Gallery& g, const QString& name, const CassetteDocument& document, TapeSide side,
                   int64_t head, const std::map<ArtworkRole, QImage>& images = {}, int width = 502) {
    const QSize size(width, static_cast<int>(std::lround(width / cassetteAspectRatio)));
    g.paint(name, size, [&](QPainter& p, QSize s) {
        renderCassette(p, QSizeF(s.width(), s.width() / cassetteAspectRatio), document, side, head, images);
    });
}

void cassettes(gallery::Gallery& g) {
    const CassetteDesign ferro = CassetteStyleCatalog::defaultStyle().design;

    for (const auto& style : CassetteStyleCatalog::all())
        paintCassette(g, "style-" + QString::fromStdString(style.id), cassette(style.design), TapeSide::a, 0);

    for (LabelStyle label : allLabelStyles) {
        CassetteDesign design = ferro;
        design.labelStyle = label;
        paintCassette(g, "label-" + QString::fromStdString(std::string(rawValue(label))), cassette(design), TapeSide::a,
                      0, {}, 1004);
    }

    for (FontRole role : allFontRoles) {
        CassetteDesign design = ferro;
        design.labelFont = role;
        for (TapeSide side : allTapeSides)
            paintCassette(g,
                          "font-" + QString::fromStdString(std::string(rawValue(role))) + "-" +
                              QString::fromStdString(letter(side)),
                          cassette(design), side, 0);
    }

    for (const auto& type : CassetteType::standard()) {
        const CassetteDocument document = cassette(ferro, type);
        const QString id = QString::fromStdString(type.name);
        paintCassette(g, "head-" + id + "-start", document, TapeSide::a, 0);
        paintCassette(g, "head-" + id + "-middle", document, TapeSide::a, type.sideFrames() / 2);
        paintCassette(g, "head-" + id + "-end", document, TapeSide::a, type.sideFrames());
    }
    paintCassette(g, "head-negative", cassette(ferro), TapeSide::a, -TapeClock::frames(600));
    paintCassette(g, "head-beyond-end", cassette(ferro), TapeSide::a, TapeClock::frames(2400));
    paintCassette(g, "custom-15s-C1", cassette(ferro, CassetteType::custom(15)), TapeSide::a, 0);
    paintCassette(g, "custom-2250s-C75", cassette(ferro, CassetteType::custom(2250)), TapeSide::b, 0);

    CassetteDocument empty = cassette(ferro);
    empty.name.clear();
    empty.sideA.title.clear();
    paintCassette(g, "empty-texts", empty, TapeSide::a, 0);
    CassetteDocument longName = cassette(ferro);
    longName.name = "A very long cassette name that runs on past the window and the edge";
    longName.sideA.title = "<b>not bold</b> & a side title that is also far too long for its line";
    paintCassette(g, "long-texts-plain", longName, TapeSide::a, 0);

    CassetteDesign clear = ferro;
    clear.shellColor = {0.2, 0.3, 0.5, 0.35};
    clear.shellTransparent = true;
    paintCassette(g, "shell-translucent", cassette(clear), TapeSide::a, TapeClock::frames(700));

    std::map<ArtworkRole, QImage> images{
        {ArtworkRole::cassetteFaceA, gradientImage({400, 254}, QColor(200, 40, 90), QColor(40, 40, 160), "FACE A")},
        {ArtworkRole::labelB, gradientImage({300, 300}, QColor(250, 220, 80), QColor(40, 160, 90), "LABEL B")},
    };
    paintCassette(g, "image-face-A", cassette(ferro), TapeSide::a, 0, images);
    paintCassette(g, "image-label-B", cassette(ferro), TapeSide::b, 0, images);

    for (int width : {72, 120, 200})
        paintCassette(g, "swatch-" + QString::number(width), cassette(CassetteStyleCatalog::all()[4].design),
                      TapeSide::a, 0, {}, width);

    CassetteView view(cassette(ferro), TapeSide::b, TapeClock::frames(900), {});
    view.resize(420, 200);
    g.widget("view-wide-420x200", view);
}

void jcards(gallery::Gallery& g) {
    const CassetteDesign ferro = CassetteStyleCatalog::defaultStyle().design;
    const auto paint = [&](const QString& name, const CassetteDocument& document,
                           const std::map<ArtworkRole, QImage>& images = {}, QSize size = {400, 400}) {
        g.paint(name, size, [&](QPainter& p, QSize s) { renderJCard(p, QSizeF(s), document, images); });
    };

    CassetteDocument blank(CassetteType::c60(), "Summer Drive '89", ferro);
    paint("jcard-blank-named", blank);
    CassetteDocument nameless = blank;
    nameless.name.clear();
    paint("jcard-blank-nameless", nameless);

    CassetteDocument normal = blank;
    normal.creator = "Made by Ana";
    normal.jcard.title = "Summer Drive";
    normal.jcard.subtitle = "Songs for the coast road";
    normal.jcard.flapText = "Recorded on a hot August night";
    normal.jcard.sideATracks = {"Ocean Avenue", "", "Radio Waves", "Golden Hour"};
    normal.jcard.sideBTracks = {"Night Drive", "Neon Lights"};
    normal.jcard.dedication = "For Sam, who always picks the music.";
    for (FontRole role : allFontRoles) {
        CassetteDocument d = normal;
        d.jcard.font = role;
        paint("jcard-normal-" + QString::fromStdString(std::string(rawValue(role))), d);
    }
    CassetteDocument coloured = normal;
    coloured.jcard.cardColor = {0.12, 0.2, 0.35, 1};
    coloured.jcard.inkColor = {0.98, 0.85, 0.5, 1};
    coloured.jcard.spineText = "Mix No. 7";
    paint("jcard-coloured-spine-text", coloured);

    // Every field full: a long title, subtitle, creator, eight rows a side and a dedication.
    CassetteDocument full = normal;
    full.creator = "Maren Okafor-Lindqvist";
    full.jcard.title = "Summer Drive '89 \u2014 the long way home along the coast road";
    full.jcard.subtitle = "Volume 2 \u00B7 City pop, yacht rock and synth-funk";
    full.jcard.spineText = "Summer Drive '89 \u00B7 Vol. 2";
    full.jcard.sideATracks = {"Plastic Love",      "Stay With Me (Extended)", "Ride on Time", "Sparkle",
                              "Summer Connection", "Mayonaka no Door",        "Tokyo Nights", "Windy Summer"};
    full.jcard.sideBTracks = {"Night Cruising",    "4:00 A.M.",           "Telephone Number", "Midnight Pretenders",
                              "Fly-Day Chinatown", "Last Summer Whisper", "Lonely Night",     "Magic Ways"};
    full.jcard.dedication = "For J. \u2014 who always took the long way home, and always had the aux cable.";
    paint("jcard-full", full);
    full.jcard.font = FontRole::typewriter;
    paint("jcard-full-typewriter", full);

    CassetteDocument overflow = normal;
    overflow.jcard.title = "An extraordinarily long mixtape title that keeps going and going well beyond three lines "
                           "of the front cover";
    overflow.jcard.subtitle = "A subtitle that is long enough to wrap onto a second line of the cover";
    overflow.jcard.flapText =
        "A back flap text far too long for the card's height, it runs past the top and the bottom";
    overflow.jcard.spineText = "A spine text too long for the card that runs off both ends";
    overflow.jcard.sideATracks.clear();
    overflow.jcard.sideBTracks.clear();
    for (int i = 1; i <= 10; ++i) {
        overflow.jcard.sideATracks.push_back("Track number " + std::to_string(i) + " with a rather long title indeed");
        overflow.jcard.sideBTracks.push_back("B-side " + std::to_string(i));
    }
    overflow.jcard.dedication = "For everyone who ever waited by the radio with a finger on the record key, this one "
                                "is for you, all of you, every single one, always and forever and ever.";
    paint("jcard-overflow", overflow);

    const std::map<ArtworkRole, QImage> front{
        {ArtworkRole::jcardFront, gradientImage({300, 300}, QColor(230, 90, 50), QColor(60, 20, 90), "FRONT")}};
    paint("jcard-image-front", normal, front);
    const std::map<ArtworkRole, QImage> spine{
        {ArtworkRole::jcardSpine, gradientImage({60, 480}, QColor(30, 120, 200), QColor(20, 40, 60), "S")}};
    paint("jcard-image-spine", normal, spine);
    paint("jcard-wide-space-300x200", normal, {}, {300, 200});

    JCardView view(normal, {});
    view.resize(180, 260);
    g.widget("jcard-view-180x260", view);
}

void fonts(gallery::Gallery& g) {
    g.paint("font-roles", {520, 300}, [](QPainter& p, QSize) {
        int y = 40;
        for (FontRole role : allFontRoles) {
            p.setPen(Qt::white);
            p.setFont(fontForRole(role, 28));
            p.drawText(QPointF(16, y), QString::fromStdString(std::string(rawValue(role))) + " — " +
                                           HandwritingFont::family(role) + " Aa 0123");
            y += 44;
        }
    });
}

void area(gallery::Gallery& g) {
    cassettes(g);
    jcards(g);
    fonts(g);
}

gallery::Registrar reg("cassette", &area);

}  // namespace
