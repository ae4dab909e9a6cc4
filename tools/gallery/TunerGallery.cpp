// The RO-01 face and its station guide in their states, over a scripted tuner.
#include "Gallery.hpp"

#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <chrono>

#include "AudioEngine/OfflineAudioOutput.hpp"
#include "Kit/MiniKey.hpp"
#include "NorvoStudio/Support/FakeTuner.hpp"
#include "NorvoStudio/Support/ManualAnimationDriver.hpp"
#include "NorvoStudio/Support/RackFaceServices.hpp"
#include "NorvoStudio/Support/ScriptedTunerStreams.hpp"
#include "NorvoStudio/Support/SilentStudioUi.hpp"
#include "NorvoStudioApp/StudioView.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/ManualExecutor.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Support/FakeClock.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/PickerPopup.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/StationList.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TunerView.hpp"

using namespace norvo;
using test::FakeTuner;

namespace {

using NoDesktop = test::QuietDesktop;

const char* const names[] = {"Radio Eins",
                             "Deutschlandfunk Kultur",
                             "SWR3",
                             "Bayern 3",
                             "1LIVE",
                             "Jazz Radio Berlin",
                             "Klassik Radio",
                             "FluxFM",
                             "Radio Paradise — Main Mix (Eclectic, Commercial Free)",
                             "NDR 2",
                             "WDR 4",
                             "Sunshine Live",
                             "<b>Rock</b> Antenne",
                             "Energy Hamburg"};
const char* const codecs[] = {"MP3", "AAC", "AAC+"};
const char* const tagSets[][3] = {{"pop", "rock", "news"}, {"culture", "talk", "classical"}, {"jazz", "swing", "soul"}};

RadioStation station(int i) {
    RadioStation s;
    s.id = "gallery-" + std::to_string(i);
    s.name = i < int(std::size(names)) ? names[i] : "Station " + std::to_string(i + 1);
    s.streamURL = *Url::parse("http://stream.invalid/" + std::to_string(i));
    s.countryCode = i % 7 == 3 ? "AT" : "DE";
    for (const char* tag : tagSets[i % 3]) s.tags.push_back(tag);
    s.codec = codecs[i % 3];
    s.bitrate = i % 5 == 4 ? 0 : (i % 3 == 2 ? 64 : 128);
    return s;
}

std::vector<RadioStation> band(int count) {
    std::vector<RadioStation> list;
    for (int i = 0; i < count; ++i) list.push_back(station(i));
    return list;
}

std::vector<TunerFacade::Country> countries() {
    return {{"AR", "Argentina", 412},       {"AU", "Australia", 640},     {"AT", "Austria", 702},
            {"BE", "Belgium", 388},         {"BR", "Brazil", 1920},       {"CA", "Canada", 905},
            {"FR", "France", 2311},         {"DE", "Germany", 4204},      {"GR", "Greece", 1220},
            {"IT", "Italy", 1705},          {"JP", "Japan", 140},         {"MX", "Mexico", 830},
            {"NL", "The Netherlands", 790}, {"US", "United States", 6511}};
}

Date at(double seconds) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds)));
}

// A full band, tuned to its ninth station, a few presets stored.
void tunedBand(FakeTuner& tuner) {
    tuner.on = true;
    tuner.bandState = {TunerFacade::Query::country("DE"), band(200)};
    tuner.current = tuner.bandState.stations[8];
    tuner.dialPosition = 8;
    tuner.presetSlots[0] = tuner.bandState.stations[0];
    tuner.presetSlots[1] = tuner.bandState.stations[5];
    tuner.presetSlots[2] = tuner.bandState.stations[8];
    tuner.presetSlots[4] = tuner.bandState.stations[12];
    tuner.receptionState = TunerFacade::Reception::tuned();
    tuner.stereo = true;
    tuner.signalLevel = 0.9;
    tuner.format = "MP3 128k";
    tuner.detents = 8;
}

struct Face {
    FakeTuner tuner;
    ManualExecutor executor;
    test::FakeClock clock{at(1.8e9)};
    NoDesktop desktop;
    Haptics haptics;
    MeterBallistics::Pair meter;
    std::unique_ptr<TunerView> view;

    Face() {
        meter.left = {-9, -4, 0};
        meter.right = {-12, -6, 0};
    }
    // Builds the face after the tuner's state was set, as the rack shows it.
    TunerView& build() {
        view = std::make_unique<TunerView>(TunerView::Services{tuner, executor, clock, desktop, "en_US", haptics,
                                                               [this] { return meter; }});
        view->resize(view->sizeHint());
        return *view;
    }
};

// A guide in a window of faceplate black, roomy enough for its popovers.
struct GuideWindow {
    std::unique_ptr<QWidget> window;
    StationGuide* guide;
    StationGuide* operator->() const { return guide; }
    StationGuide& operator*() const { return *guide; }
};

void guidePictures(gallery::Gallery& g) {
    // The guides' spinners stand still at the faces' time.
    const test::FakeClock clock{at(1.8e9)};
    auto guideIn = [&clock](FakeTuner& tuner, NoDesktop& desktop) {
        auto window = std::make_unique<QWidget>();
        window->resize(900, 900);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, QColor(18, 18, 20));
        window->setPalette(palette);
        window->setAutoFillBackground(true);
        auto* guide = new StationGuide(tuner, desktop, clock, "en_US", window.get());
        guide->setGeometry(12, 12, 266, 300);
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        return GuideWindow{std::move(window), guide};
    };
    // Guides are drawn on the faceplate's black, as the face shows them.
    auto onPanel = [&g](const QString& name, QWidget& widget, QSize size, QPoint offset = {12, 12},
                        std::function<void(QPainter&)> over = {}) {
        QCoreApplication::processEvents();
        g.paint(
            name, size,
            [&](QPainter& p, QSize) {
                widget.render(&p, offset, QRegion(), QWidget::DrawChildren);
                if (over) over(p);
            },
            QColor(18, 18, 20));
    };

    {
        FakeTuner tuner;
        NoDesktop desktop;
        tunedBand(tuner);
        auto guide = guideIn(tuner, desktop);
        tuner.dialPosition = 12;
        tuner.publish();
        QCoreApplication::processEvents();
        onPanel("guide-band-200", *guide, QSize(290, 324));
    }
    // The genre grid below its key, and above it where the guide stands near the screen's
    // bottom edge: whole either way, the arrow on the key's edge.
    for (const bool nearTheBottom : {false, true}) {
        FakeTuner tuner;
        NoDesktop desktop;
        tunedBand(tuner);
        tuner.bandState.query = TunerFacade::Query::genre("jazz");
        auto guide = guideIn(tuner, desktop);
        if (const QScreen* screen = guide.window->screen(); nearTheBottom && screen) {
            guide.window->move(0, screen->availableGeometry().bottom() + 1 - 200);
            QCoreApplication::processEvents();
        }
        guide->pressGenres();
        PickerPopup* popup = guide->genrePopup();
        QPoint at = popup->pos() - guide->mapToGlobal(QPoint()) + QPoint(12, 12);
        // The picture holds the guide and the popover, wherever it stands.
        const QRect shown = QRect(0, 0, 290, 324).united(QRect(at, popup->size()).adjusted(-12, -12, 12, 12));
        at -= shown.topLeft();
        // Drawn whole: a popover reaching past its window's top keeps only its panel there (its
        // mask), and a masked render would start at the mask's top.
        onPanel(nearTheBottom ? "guide-genre-picker-above" : "guide-genre-picker", *guide, shown.size(),
                QPoint(12, 12) - shown.topLeft(),
                [&](QPainter& p) { popup->render(&p, at, QRegion(), QWidget::DrawChildren | QWidget::IgnoreMask); });
    }
    {
        FakeTuner tuner;
        NoDesktop desktop;
        tunedBand(tuner);
        tuner.bandState.query = TunerFacade::Query::country("FR");
        tuner.countryList = countries();
        auto guide = guideIn(tuner, desktop);
        guide->pressCountries();
        PickerPopup* popup = guide->countryPopup();
        const QPoint at = popup->pos() - guide->mapToGlobal(QPoint()) + QPoint(12, 12);
        const QSize size(std::max(290, at.x() + popup->width() + 12), at.y() + popup->height() + 12);
        onPanel("guide-country-picker", *guide, size, {12, 12},
                [&](QPainter& p) { popup->render(&p, at, QRegion(), QWidget::DrawChildren); });
        guide->countryPicker()->setFilter("us");
        onPanel("guide-country-picker-filtered", *guide, size, {12, 12},
                [&](QPainter& p) { popup->render(&p, at, QRegion(), QWidget::DrawChildren); });
    }
    {
        FakeTuner tuner;
        NoDesktop desktop;
        tuner.bandState.query = TunerFacade::Query::country("DE");
        auto guide = guideIn(tuner, desktop);
        guide->pressCountries();
        PickerPopup* popup = guide->countryPopup();
        const QPoint at = popup->pos() - guide->mapToGlobal(QPoint()) + QPoint(12, 12);
        onPanel("guide-country-picker-loading", *guide,
                QSize(std::max(290, at.x() + popup->width() + 12), at.y() + popup->height() + 12), {12, 12},
                [&](QPainter& p) { popup->render(&p, at, QRegion(), QWidget::DrawChildren); });
    }
    struct Overlay {
        const char* name;
        std::function<void(FakeTuner&)> set;
    };
    const Overlay overlays[] = {
        {"guide-overlay-off", [](FakeTuner&) {}},
        {"guide-overlay-scanning", [](FakeTuner& t) { t.on = true, t.loading = true; }},
        {"guide-overlay-error", [](FakeTuner& t) { t.error = TunerEngine::bandErrorText; }},
        {"guide-overlay-empty", [](FakeTuner& t) { t.on = true; }},
    };
    for (const Overlay& overlay : overlays) {
        FakeTuner tuner;
        NoDesktop desktop;
        tuner.bandState.query = TunerFacade::Query::search("  jazz");
        overlay.set(tuner);
        auto guide = guideIn(tuner, desktop);
        onPanel(overlay.name, *guide, QSize(290, 324));
    }
}

void facePictures(gallery::Gallery& g) {
    {
        Face face;
        face.tuner.bandState = {TunerFacade::Query::country("DE"), band(200)};
        face.tuner.current = station(8);
        face.tuner.presetSlots[2] = station(8);
        face.meter = {};
        g.widget("face-off", face.build());
    }
    {
        Face face;
        face.tuner.on = true;
        face.tuner.bandState = {TunerFacade::Query::country("DE"), band(200)};
        face.tuner.receptionState = TunerFacade::Reception::standby();
        face.tuner.signalLevel = 0;
        face.meter = {};
        g.widget("face-on-no-station", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.stereo = false;
        face.tuner.current = station(5);
        face.tuner.dialPosition = 5;
        face.tuner.format = station(5).formatLabel();
        face.tuner.signalLevel = 0.55;
        g.widget("face-tuned-mono", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.receptionState = TunerFacade::Reception::buffering(0.45);
        face.tuner.signalLevel = 0.45;
        face.tuner.stereo = false;
        face.tuner.format.reset();
        face.meter = {};
        g.widget("face-buffering", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.title = "Miles Davis Quintet — So What (Live at the Plugged Nickel, Chicago, Second Set)";
        TunerView& view = face.build();
        face.clock.advance(std::chrono::milliseconds(4000));  // 2.4 s into the scroll
        g.widget("face-tuned-scrolling", view);
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.reconnectingFlag = true;
        face.tuner.receptionState = TunerFacade::Reception::buffering(0.1);
        face.tuner.signalLevel = 0.05;
        face.meter = {};
        g.widget("face-reconnecting", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.receptionState = TunerFacade::Reception::noSignal("The station sent no audio");
        face.tuner.stereo = false;
        face.tuner.signalLevel = 0;
        face.meter = {};
        g.widget("face-no-signal", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.armed = true;
        face.clock.set(at(1.8e9 + 0.1));  // a lit period of the blink
        g.widget("face-memory-armed", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.flashText = "STORED IN P3";
        face.tuner.mutingFlag = true;
        g.widget("face-flash", face.build());
    }
    {
        Face face;
        tunedBand(face.tuner);
        face.tuner.bandState = {TunerFacade::Query::genre("electronic"), {}};
        face.tuner.loading = true;
        face.tuner.dialPosition.reset();
        face.tuner.receptionState = TunerFacade::Reception::tuning();
        g.widget("face-scanning", face.build());
    }
}

// A station directory that answers at once from the gallery's lists: nothing leaves the machine.
class GalleryDirectory final : public TunerDirectory {
public:
    void stations(const Query&, int,
                  std::function<void(std::optional<std::vector<RadioStation>>)> completion) override {
        completion(band(200));
    }
    void countries(std::function<void(std::optional<std::vector<Country>>)> completion) override {
        completion(::countries());
    }
    void countClick(const RadioStation&) override {}
};

// The whole studio on the real model, its tuner asking the gallery's directory.
struct RackStudio {
    QTemporaryDir dir;
    QtMainExecutor executor;
    InMemoryDefaultsStore defaults;
    StandardStudioServices standard;
    GalleryDirectory directory;
    test::ScriptedTunerStreamFactory streams;
    test::SilentStudioUi ui{StudioUi::SaveChoice::dontSave};
    std::unique_ptr<StudioModel> model;
    std::unique_ptr<test::RackFaceServices> faces;

    RackStudio() {
        const StudioServices base = standard.services(executor, defaults, ui);
        StudioServices services{executor, defaults, base.sourceStreams, directory, streams, ui, {}, {}, {}};
        services.workspacesRoot = std::filesystem::path(dir.path().toStdString()) / "Workspaces";
        services.makeOutput = [](AudioCore& core) -> std::unique_ptr<AudioOutput> {
            return std::make_unique<OfflineAudioOutput>(core);
        };
        model = std::make_unique<StudioModel>(services);
        faces = std::make_unique<test::RackFaceServices>(*model, executor);
    }
    ~RackStudio() { faces.reset(); }
};

// The studio window with a picker open, as the user sees it: at the design size the popover
// is a window of its own over the studio, in a smaller window it is part of the scaled rack.
void pictureWithPopover(gallery::Gallery& g, const QString& name, StudioView& view, PickerPopup* popup) {
    QCoreApplication::processEvents();
    const bool window = popup && !popup->graphicsProxyWidget();
    const QPoint at = window ? popup->pos() - view.mapToGlobal(QPoint()) : QPoint();
    // A popover window may reach past the studio's window: the picture shows all of it.
    const QRect canvas = window ? view.rect().united(QRect(at, popup->size())) : view.rect();
    g.paint(name, canvas.size(), [&](QPainter& p, QSize) {
        p.translate(-canvas.topLeft());
        view.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        if (window) popup->render(&p, at, QRegion(), QWidget::DrawChildren);
    });
}

// The pickers as they open over the rack: from the face's own keys, in the studio window.
void rackPictures(gallery::Gallery& g) {
    for (const QSize size : {QSize(1232, 920), QSize(924, 690)}) {
        // Qt's animations move only when told, whatever the machine's speed: the genre picker
        // opens as the keys that power and the band latch start their travel, the country
        // picker once they have come down.
        test::ManualAnimationDriver animations;
        RackStudio studio;
        StudioView view(*studio.model, studio.faces->faces());
        view.resize(size);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        studio.model->tuner().togglePower();  // the band arrives, auto memory tunes its first station
        QCoreApplication::processEvents();
        if (auto stream = studio.streams.last()) stream->play(std::nullopt);
        for (int i = 0; i < 3; ++i) {
            studio.model->tick();
            QCoreApplication::processEvents();
        }
        StationGuide* guide = view.rack()->tuner()->guide();
        const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
        // The headless screen is smaller than the rack: the window stands at its top, the keys
        // across its middle, as a user would place it. There the genre grid has no room below
        // its key and opens above it; in the scaled rack it has room below.
        if (const QScreen* screen = view.screen(); screen && view.rack()->window() == view.window()) {
            const MiniKey* key = guide->genreKey();
            const QPoint centre = key->mapTo(&view, key->keyRect().center());
            view.move(screen->availableGeometry().center().x() - centre.x(), 0);
            QCoreApplication::processEvents();
        }
        guide->pressGenres();
        // Whole either way: below the key where it fits, else above it.
        const bool above = guide->genrePopup() && guide->genrePopup()->side() == PickerPopup::Side::above;
        pictureWithPopover(g, "rack-genre-popover" + suffix + (above ? "-above" : "-below"), view, guide->genrePopup());
        guide->pressGenres();
        guide->pressCountries();  // starts the countries' load; the list arrives on the next turn
        QCoreApplication::processEvents();
        animations.pass(1000);
        pictureWithPopover(g, "rack-country-popover" + suffix, view, guide->countryPopup());
        guide->pressCountries();
    }
}

void tuner(gallery::Gallery& g) {
    guidePictures(g);
    facePictures(g);
    rackPictures(g);
}

gallery::Registrar reg("tuner", &tuner);

}  // namespace
