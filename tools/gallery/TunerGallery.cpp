// The RO-01 face and its station guide in their states, over a scripted tuner.
#include "Gallery.hpp"

#include <QApplication>
#include <chrono>

#include "NorvoStudio/Support/FakeTuner.hpp"
#include "Platform/ManualExecutor.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/PickerPopup.hpp"
#include "Tuner/StationGuide.hpp"
#include "Tuner/StationList.hpp"
#include "Tuner/TunerDisplay.hpp"
#include "Tuner/TunerView.hpp"
#include "Rack/Kit/MiniKey.hpp"

using namespace norvo;
using test::FakeTuner;

namespace {

class NoDesktop final : public DesktopServices {
public:
    void copyPlainText(const QString&) override {}
    void openInBrowser(const QUrl&) override {}
};

const char* const names[] = {"Radio Eins",        "Deutschlandfunk Kultur", "SWR3",        "Bayern 3",
                             "1LIVE",             "Jazz Radio Berlin",      "Klassik Radio", "FluxFM",
                             "Radio Paradise — Main Mix (Eclectic, Commercial Free)", "NDR 2",
                             "WDR 4",             "Sunshine Live",          "<b>Rock</b> Antenne", "Energy Hamburg"};
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
    return {{"AR", "Argentina", 412},    {"AU", "Australia", 640}, {"AT", "Austria", 702},   {"BE", "Belgium", 388},
            {"BR", "Brazil", 1920},      {"CA", "Canada", 905},    {"FR", "France", 2311},   {"DE", "Germany", 4204},
            {"GR", "Greece", 1220},      {"IT", "Italy", 1705},    {"JP", "Japan", 140},     {"MX", "Mexico", 830},
            {"NL", "The Netherlands", 790}, {"US", "United States", 6511}};
}

Date at(double seconds) { return Date(std::chrono::duration_cast<Date::duration>(std::chrono::duration<double>(seconds))); }

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
    FakeClock clock{at(1.8e9)};
    NoDesktop desktop;
    MeterBallistics::Pair meter;
    std::unique_ptr<TunerView> view;

    Face() {
        meter.left = {-9, -4, 0};
        meter.right = {-12, -6, 0};
    }
    // Builds the face after the tuner's state was set, as the rack shows it.
    TunerView& build() {
        view = std::make_unique<TunerView>(
            TunerView::Services{tuner, executor, clock, desktop, "en_US", Haptics::none(), [this] { return meter; }});
        view->resize(view->sizeHint());
        return *view;
    }
};

void guidePictures(gallery::Gallery& g) {
    auto guideIn = [](FakeTuner& tuner, NoDesktop& desktop) {
        auto guide = std::make_unique<StationGuide>(tuner, desktop, "en_US");
        guide->resize(266, 300);
        guide->setAttribute(Qt::WA_DontShowOnScreen);
        guide->show();
        return guide;
    };
    // Guides are drawn on the faceplate's black, as the face shows them.
    auto onPanel = [&g](const QString& name, QWidget& widget, QSize size, QPoint offset = {12, 12},
                        std::function<void(QPainter&)> over = {}) {
        QCoreApplication::processEvents();
        g.paint(name, size, [&](QPainter& p, QSize) {
            widget.render(&p, offset, QRegion(), QWidget::DrawChildren);
            if (over) over(p);
        }, QColor(18, 18, 20));
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
    {
        FakeTuner tuner;
        NoDesktop desktop;
        tunedBand(tuner);
        tuner.bandState.query = TunerFacade::Query::genre("jazz");
        auto guide = guideIn(tuner, desktop);
        guide->pressGenres();
        PickerPopup* popup = guide->genrePopup();
        const QPoint at = popup->pos() - guide->mapToGlobal(QPoint()) + QPoint(12, 12);
        onPanel("guide-genre-picker", *guide, QSize(std::max(290, at.x() + popup->width() + 12), at.y() + popup->height() + 12),
                {12, 12}, [&](QPainter& p) { popup->render(&p, at, QRegion(), QWidget::DrawChildren); });
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

void tuner(gallery::Gallery& g) {
    guidePictures(g);
    facePictures(g);
}

gallery::Registrar reg("tuner", &tuner);

}  // namespace
