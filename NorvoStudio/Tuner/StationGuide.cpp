#include "Tuner/StationGuide.hpp"

#include "Kit/KitPicture.hpp"

#include <QAction>
#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>
#include <cmath>
#include <utility>

#include "Kit/KitColor.hpp"
#include "Kit/KitFont.hpp"
#include "Kit/MiniKey.hpp"
#include "Kit/Silkscreen.hpp"
#include "StudioModel/StudioCommands.hpp"
#include "Tuner/CountryPicker.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/GenrePicker.hpp"
#include "Tuner/PickerPopup.hpp"
#include "Tuner/PlainToolTip.hpp"
#include "Tuner/SearchField.hpp"
#include "Tuner/Spinner.hpp"
#include "Tuner/StationGuideRules.hpp"
#include "Tuner/StationList.hpp"
#include "Tuner/StatusOverlay.hpp"

namespace norvo {

namespace {

using Rules = StationGuideRules;

const Silkscreen header{QStringLiteral("STATION GUIDE"), 7};
const QString hint = QStringLiteral("double-click to tune");
QFont hintFont() { return KitFont::system(9); }
constexpr qreal listCorner = 6;

qreal headerHeight() { return std::max(header.sizeHint().height(), QFontMetricsF(hintFont()).height()); }

}  // namespace

// The list's rim, stroked over the rows.
class StationGuide::GlassRim final : public QWidget {
public:
    explicit GlassRim(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        picture_.paint(painter, QRectF(rect()), QString(), [this](QPainter& p) {
            const qreal line = 1.5;
            p.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.8f), line));
            p.drawRoundedRect(QRectF(rect()).adjusted(line / 2, line / 2, -line / 2, -line / 2), listCorner - line / 2,
                              listCorner - line / 2);
        });
    }

private:
    KitPicture picture_;  // a long antialiased outline costs more to stroke than to copy
};

StationGuide::StationGuide(TunerFacade& tuner, DesktopServices& desktop, const Clock& clock,
                           std::string localeIdentifier, QWidget* parent)
    : QWidget(parent),
      tuner_(tuner),
      desktop_(desktop),
      clock_(clock),
      localeIdentifier_(std::move(localeIdentifier)),
      homeCountry_(Rules::homeCountry(tuner.homeQuery())),
      world_(new MiniKey(QStringLiteral("WORLD"), this)),
      genres_(new MiniKey(QStringLiteral("GENRE \u25BE"), this)),
      countries_(new MiniKey(QStringLiteral("COUNTRY \u25BE"), this)),
      search_(new SearchField(this)),
      list_(new StationList(tuner, this)),
      rim_(new GlassRim(this)),
      overlay_(new StatusOverlay(clock, this)) {
    world_->setToolTip(QStringLiteral("The most listened-to stations worldwide right now"));
    connect(world_, &QAbstractButton::clicked, this, [this] { tuner_.loadBand(TunerFacade::Query::top()); });
    if (homeCountry_) {
        // The code itself is the caption, not translated.
        home_ = new MiniKey(QString::fromStdString(*homeCountry_), this);
        home_->setToolTip(plainToolTip(QString::fromStdString(Rules::homeHelp(*homeCountry_, localeIdentifier_))));
        connect(home_, &QAbstractButton::clicked, this,
                [this] { tuner_.loadBand(TunerFacade::Query::country(*homeCountry_)); });
    }
    connect(genres_, &QAbstractButton::clicked, this, &StationGuide::pressGenres);
    connect(countries_, &QAbstractButton::clicked, this, &StationGuide::pressCountries);

    connect(search_, &SearchField::submitted, this, &StationGuide::submitSearch);
    connect(search_, &SearchField::cleared, this, &StationGuide::clearSearch);

    list_->onDoubleClick = [this](const RadioStation& station) { tuner_.tune(station); };
    list_->onReturn = [this](const std::optional<std::string>& selection) { return tuneSelected(selection); };
    list_->onContextMenu = [this](const RadioStation& station, QPoint at) {
        auto menu = rowMenu(station);
        menu->exec(at);
    };
    connect(overlay_, &StatusOverlay::tryAgain, this, [this] { tuner_.reloadBand(); });
    rim_->raise();
    overlay_->raise();

    connect(&tuner_, &TunerFacade::changed, this, &StationGuide::refresh);
    lastDial_ = tuner_.dial();
    refresh();
}

StationGuide::~StationGuide() {
    if (genrePopup_) delete genrePopup_;
    if (countryPopup_) delete countryPopup_;
}

GenrePicker* StationGuide::genrePicker() const {
    return genrePopup_ ? static_cast<GenrePicker*>(genrePopup_->content()) : nullptr;
}

CountryPicker* StationGuide::countryPicker() const {
    return countryPopup_ ? static_cast<CountryPicker*>(countryPopup_->content()) : nullptr;
}

void StationGuide::pressGenres() {
    if (genrePopup_) {
        genrePopup_->close();
        return;
    }
    auto* picker =
        new GenrePicker(Rules::currentGenre(tuner_.band().query), [this](const std::string& tag) { pickGenre(tag); });
    genrePopup_ = new PickerPopup(picker, genres_, PickerPopup::Content::whole);
    connect(genrePopup_, &PickerPopup::closed, this, [this] { genrePopup_ = nullptr; });
    connect(genrePopup_, &PickerPopup::anchorPressed, this, &StationGuide::pressGenres);
    genrePopup_->open();
}

void StationGuide::pressCountries() {
    // Every press while the list is still missing asks again, the closing one included.
    if (tuner_.countries().empty()) tuner_.startCountriesLoad();
    if (countryPopup_) {
        countryPopup_->close();
        return;
    }
    auto* picker = new CountryPicker(
        tuner_.countries(), Rules::currentCountry(tuner_.band().query),
        [this](const std::string& code) { pickCountry(code); }, clock_);
    picker->setLoadError(tuner_.countriesError());
    picker->onTryAgain = [this] { tuner_.startCountriesLoad(); };
    countryPopup_ = new PickerPopup(picker, countries_, PickerPopup::Content::scrolls);
    connect(countryPopup_, &PickerPopup::closed, this, [this] { countryPopup_ = nullptr; });
    connect(countryPopup_, &PickerPopup::anchorPressed, this, &StationGuide::pressCountries);
    countryPopup_->open();
}

void StationGuide::pickGenre(const std::string& tag) {
    if (genrePopup_) genrePopup_->close();
    search_->setText({});
    tuner_.loadBand(TunerFacade::Query::genre(tag));
}

void StationGuide::pickCountry(const std::string& code) {
    if (countryPopup_) countryPopup_->close();
    search_->setText({});
    tuner_.loadBand(TunerFacade::Query::country(code));
}

void StationGuide::submitSearch() {
    if (auto query = Rules::submittedSearch(search_->text().toStdString())) tuner_.loadBand(*query);
}

void StationGuide::clearSearch() {
    search_->setText({});
    if (auto query = Rules::clearedSearch(tuner_.band().query, tuner_.homeQuery())) tuner_.loadBand(*query);
}

bool StationGuide::tuneSelected(const std::optional<std::string>& selection) {
    const auto station = Rules::selectedStation(selection, tuner_.band().stations);
    if (!station) return false;
    tuner_.tune(*station);
    return true;
}

std::unique_ptr<QMenu> StationGuide::rowMenu(const RadioStation& station) {
    auto menu = std::make_unique<QMenu>();
    // Every action captures its own copy of the station: the band may change meanwhile.
    connect(menu->addAction(QStringLiteral("Tune In")), &QAction::triggered, this,
            [this, station] { tuner_.tune(station); });
    QMenu* store = menu->addMenu(QStringLiteral("Store in Preset"));
    for (int slot = 0; slot < TunerEngine::presetCount; ++slot) {
        const QString title = QString::fromStdString(Rules::storeItemTitle(slot, tuner_.presets()));
        connect(store->addAction(StudioCommands::menuText(title)), &QAction::triggered, this,
                [this, station, slot] { tuner_.store(station, slot); });
    }
    menu->addSeparator();
    if (Rules::opensWebsite(station.homepage)) {
        const QUrl url(QString::fromStdString(station.homepage->absoluteString()));
        connect(menu->addAction(QStringLiteral("Open Station Website")), &QAction::triggered, this,
                [this, url] { desktop_.openInBrowser(url); });
    }
    const QString address = QString::fromStdString(station.streamURL.absoluteString());
    connect(menu->addAction(QStringLiteral("Copy Stream Address")), &QAction::triggered, this,
            [this, address] { desktop_.copyPlainText(address); });
    return menu;
}

void StationGuide::animate() {
    // A spinner's spoke moves every 100 ms: a frame in between has nothing new to show.
    const auto turned = [phase = Spinner::phase(clock_.now())](bool spins, std::optional<int>& shown) {
        if (!spins) {
            shown.reset();
            return false;
        }
        return std::exchange(shown, phase) != phase;
    };
    if (turned(overlay_->shownCase() == StatusOverlay::Case::scanning, overlayPhase_)) overlay_->update();
    auto* picker = countryPicker();
    if (turned(picker && picker->showsSpinner(), pickerPhase_)) picker->update();
}

void StationGuide::refresh() {
    const auto& band = tuner_.band();
    const auto home = tuner_.homeQuery();
    world_->setLit(Rules::worldLit(band.query));
    if (home_) home_->setLit(Rules::homeLit(band.query, home));
    genres_->setLit(Rules::genreLit(band.query));
    countries_->setLit(Rules::countryLit(band.query, home));
    search_->setLit(band.query.kind == TunerFacade::Query::Kind::search);

    const auto selected = list_->selection();
    const bool newList = list_->stations().setStations(band.stations);
    if (newList && selected) list_->select(*selected);
    // Rows show the tuned station, the presets and whether the country is shown.
    RowState rows{tuner_.isOn(), tuner_.station() ? tuner_.station()->id : std::string(), {}, band.query.kind};
    for (std::size_t i = 0; i < rows.presets.size(); ++i)
        rows.presets[i] = tuner_.presets()[i] ? tuner_.presets()[i]->id : std::string();
    if (newList || rows != rows_) {
        rows_ = std::move(rows);
        list_->viewport()->update();
    }

    overlay_->show(StatusOverlay::caseFor(band.stations.empty(), tuner_.bandLoading(), tuner_.bandError(),
                                          tuner_.isOn()),
                   tuner_.bandError());
    if (auto* picker = countryPicker()) {
        picker->setCountries(tuner_.countries());
        picker->setLoadError(tuner_.countriesError());
    }

    const auto dial = tuner_.dial();
    if (dial != lastDial_) {
        lastDial_ = dial;
        followDial(dial);
    }
}

void StationGuide::followDial(std::optional<int> dial) {
    if (auto id = Rules::followedSelection(dial, tuner_.band().stations)) list_->selectAndCentre(*id);
}

QRectF StationGuide::listRect() const {
    const qreal top = headerHeight() + spacing + 20 + spacing + SearchField::height + spacing;
    return QRectF(0, top, width(), std::max<qreal>(0, height() - top));
}

void StationGuide::resizeEvent(QResizeEvent*) {
    std::vector<MiniKey*> keys{world_};
    if (home_) keys.push_back(home_);
    keys.push_back(genres_);
    keys.push_back(countries_);
    const qreal keysTop = headerHeight() + spacing;
    // Equal keys on fractional points: whole pixels would leave one key or gap a point off.
    const qreal keyWidth = (width() - keySpacing * qreal(keys.size() - 1)) / qreal(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i]->setKeyGeometry(QRectF(qreal(i) * (keyWidth + keySpacing), std::round(keysTop), keyWidth, 20));
    search_->setGeometry(QRectF(0, keysTop + 20 + spacing, width(), SearchField::height).toRect());
    const QRect list = listRect().toRect();
    // Rows stay inside the rim's rounded corners.
    list_->setGeometry(list.adjusted(2, 4, -2, -4));
    rim_->setGeometry(list);
    overlay_->setGeometry(list);
}

void StationGuide::showEvent(QShowEvent*) {
    if (shownOnce_) return;
    shownOnce_ = true;
    if (auto text = Rules::restoredSearch(tuner_.band().query)) search_->setText(QString::fromStdString(*text));
}

void StationGuide::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    picture_.paint(painter, QRectF(rect()), QString(), [this](QPainter& p) {
        // Header: lettering and hint on one baseline.
        const QFontMetricsF hintMetrics(hintFont());
        const qreal baseline = headerHeight() - hintMetrics.descent();
        header.paintAtBaseline(p, QPointF(0, baseline));
        p.setFont(hintFont());
        p.setPen(KitColor::white(0.42));
        p.drawText(QPointF(width() - hintMetrics.horizontalAdvance(hint), baseline), hint);

        QPainterPath glass;
        glass.addRoundedRect(listRect(), listCorner, listCorner);
        p.fillPath(glass, KitColor::displayGlass);
    });
}

}  // namespace norvo
