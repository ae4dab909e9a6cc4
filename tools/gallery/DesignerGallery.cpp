// The cassette designer sheet: each page with a blank cassette and with a full one.
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>

#include "AudioEngine/TapeClock.hpp"
#include "Cassette/CassetteStyleCatalog.hpp"
#include "Designer/CassetteDesignerView.hpp"
#include "Designer/DesignerForm.hpp"
#include "Designer/DesignerPreview.hpp"
#include "Gallery.hpp"
#include "GalleryStudio.hpp"
#include "GradientPicture.hpp"
#include "NorvoStudio/Support/PngData.hpp"
#include "Platform/Iso8601.hpp"

namespace {

using namespace norvo;

FileData png(QSize size, QColor from, QColor to, const QString& text) {
    QFont f;
    f.setPixelSize(std::max(10, std::min(size.width(), size.height()) / 5));
    return test::pngData(gallery::gradientPicture(size, from, to, text, f));
}

// Recommended pixels scaled down: the proportions are what the drawing needs.
QSize quarter(ArtworkRole role) {
    const PixelSize px = recommendedPixels(role);
    return {px.width / 4, px.height / 4};
}

enum class Artwork { none, images };

void fill(StudioModel& model, Artwork artwork) {
    const auto frames = [](double seconds) { return TapeClock::frames(seconds); };
    model.editor().setDesign(*CassetteStyleCatalog::style("sunset"));
    model.editor().updateDocument([&](CassetteDocument& d) {
        d.name = "Summer Drive '89 \u2014 the long way home along the coast road";
        d.sideA.title = "Sunset boulevard mix, with the extended versions of everything";
        d.sideB.title = "Night ride home";
        d.creator = "Maren Okafor-Lindqvist";
        d.genre = "City pop / Yacht rock / Synth-funk";
        d.description = "Recorded off the radio and the record shelf over one long summer.\nSecond line of the "
                        "description, which is long enough to wrap inside the field at least once.";
        d.notes = "Dolby B off. Levels set by ear.";
        d.jcard.title = "Summer Drive";
        d.jcard.subtitle = "Volume 2 \u00B7 1989";
        d.jcard.spineText = "Summer Drive '89 \u00B7 Vol. 2";
        d.jcard.flapText = "For the road, with love";
        d.jcard.sideATracks = {"Plastic Love",
                               "",
                               "Stay With Me\u00A0(Extended)",
                               "Ride on Time",
                               "Sparkle",
                               "Summer Connection",
                               "Mayonaka no Door",
                               "Tokyo Nights",
                               "Windy Summer",
                               "Last Summer Whisper"};
        d.jcard.sideBTracks = {"Night Cruising", "4:00 A.M.", "Telephone Number"};
        d.jcard.dedication = "For J. \u2014 who always took the long way home, and always had the aux cable.";
        d.sideA.markers = {{0, "Plastic Love", "track", {}},
                           {frames(7 * 60 + 54), "Stay With Me (Extended)", "track", {}},
                           {frames(14 * 60 + 3), "Ride on Time", "track", {}}};
        d.sideB.markers = {{0, "Night Cruising", "title", {}}, {frames(3 * 60 + 30), "4:00 A.M.", "title", {}}};
        const Date start = d.createdAt;
        for (int i = 0; i < 12; ++i) {
            HistoryEvent e;
            e.timestamp = start + std::chrono::hours(20 * (i + 1));
            e.app = CassetteDocument::applicationName;
            e.side = i % 2 ? TapeSide::b : TapeSide::a;
            if (i % 3 == 2) {
                e.type = "write_protect_changed";
                e.state = i % 2 ? WriteProtect::tapedOver : WriteProtect::broken;
            } else {
                e.type = "recorded";
                e.startFrame = frames(i * 95);
                e.endFrame = frames(i * 95 + 210);
                e.source = i % 2 ? "tuner" : "file";
            }
            d.history.push_back(e);
        }
        HistoryEvent repaired;
        repaired.type = "tape_repaired";
        repaired.timestamp = start + std::chrono::hours(300);
        d.history.push_back(repaired);
        d.sideB.writeProtect = WriteProtect::broken;
    });
    model.cassetteSlot().media()->noteWritten(TapeSide::a, frames(17 * 60 + 42));
    model.cassetteSlot().media()->noteWritten(TapeSide::b, frames(44 * 60 + 5));
    if (artwork == Artwork::none) return;
    const QColor colours[][2] = {{QColor(230, 90, 60), QColor(60, 30, 120)},
                                 {QColor(30, 140, 200), QColor(20, 40, 60)}};
    int n = 0;
    for (ArtworkRole role : allArtworkRoles) {
        if (role == ArtworkRole::thumbnail) continue;
        const auto& c = colours[n++ % 2];
        model.editor().setArtwork(png(quarter(role), c[0], c[1],
                                      QString::fromLatin1(rawValue(role).data(), qsizetype(rawValue(role).size()))),
                                  role);
    }
    model.editor().setArtwork(png({256, 256}, Qt::black, Qt::gray, "thumb"), ArtworkRole::thumbnail);
    for (int i = 1; i <= 5; ++i)
        model.editor().appendBookletPanel(png({381, 610}, QColor(40 * i, 90, 160), QColor(250, 200, 40 * i),
                                              QString::number(i)));
}

// The same cassette every run: a fixed identity and fixed dates, so the details page's
// pictures can be compared from one run to the next.
void fixIdentity(StudioModel& model) {
    const Date created = *parseISO8601("1989-07-14T18:30:00Z");
    model.editor().updateDocument([&](CassetteDocument& d) {
        d.id = *Uuid::parse("0b5e55ed-c0de-4a11-8e5a-7a9e5ca55e77");
        d.serialNumber = CassetteDocument::serialNumberFor(d.id);
        const auto shift = created - d.createdAt;
        for (HistoryEvent& e : d.history) e.timestamp = e.timestamp + shift;
        d.createdAt = created;
        d.modifiedAt = created;
    });
}

// Lets the layouts settle (editors grow with their text, forms follow).
void settle() {
    for (int i = 0; i < 12; ++i) QCoreApplication::processEvents();
}

void pages(gallery::Gallery& g, const QString& prefix, gallery::GalleryStudio& studio) {
    CassetteDesignerView sheet(*studio.model);
    sheet.setAttribute(Qt::WA_DeleteOnClose, false);
    for (auto tab : CassetteDesignerView::allTabs) {
        sheet.setTab(tab);
        sheet.setAttribute(Qt::WA_DontShowOnScreen);
        sheet.show();
        settle();
        const QString name = prefix + "-" + CassetteDesignerView::rawValue(tab).toLower();
        g.widget(name, sheet);
        // The rest of a long page, scrolled to its end.
        auto* pages = sheet.findChild<QStackedWidget*>();
        auto* form = qobject_cast<QScrollArea*>(pages->currentWidget());
        if (form && form->verticalScrollBar()->maximum() > 0) {
            form->verticalScrollBar()->setValue(form->verticalScrollBar()->maximum());
            g.widget(name + "-end", sheet);
            form->verticalScrollBar()->setValue(0);
        }
    }
    sheet.preview()->setSide(TapeSide::b);
    sheet.setTab(CassetteDesignerView::Tab::cassette);
    g.widget(prefix + "-side-b", sheet);
    auto* previewScroll = sheet.preview()->findChild<QScrollArea*>();
    if (previewScroll && previewScroll->verticalScrollBar()->maximum() > 0) {
        previewScroll->verticalScrollBar()->setValue(previewScroll->verticalScrollBar()->maximum());
        g.widget(prefix + "-preview-end", sheet);
    }
    sheet.hide();
}

void designer(gallery::Gallery& g) {
    {
        gallery::GalleryStudio studio;
        studio.model->cassetteSlot().newCassette(CassetteType::c60());
        studio.runBackground();
        fixIdentity(*studio.model);
        pages(g, "blank", studio);

        // One booklet panel makes the preview scroll: its views keep their widths.
        studio.model->editor().appendBookletPanel(png({381, 610}, QColor(40, 90, 160), QColor(250, 200, 40), "1"));
        CassetteDesignerView sheet(*studio.model);
        sheet.setAttribute(Qt::WA_DeleteOnClose, false);
        sheet.setAttribute(Qt::WA_DontShowOnScreen);
        sheet.setTab(CassetteDesignerView::Tab::artwork);
        sheet.show();
        settle();
        g.widget("blank-booklet-panel", sheet);
        sheet.hide();
    }
    {
        // Long texts without artwork: the drawn label and J-card show them.
        gallery::GalleryStudio studio;
        studio.model->cassetteSlot().newCassette(*CassetteType::make("C90", 2700));
        studio.runBackground();
        fixIdentity(*studio.model);
        fill(*studio.model, Artwork::none);
        pages(g, "texts", studio);
    }
    gallery::GalleryStudio studio;
    studio.model->cassetteSlot().newCassette(*CassetteType::make("C90", 2700));
    studio.runBackground();
    fixIdentity(*studio.model);
    fill(*studio.model, Artwork::images);
    pages(g, "full", studio);
}

gallery::Registrar reg("designer", &designer);

}  // namespace
