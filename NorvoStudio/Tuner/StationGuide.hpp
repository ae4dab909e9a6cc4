#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "Kit/KitPicture.hpp"
#include "Platform/Clock.hpp"
#include "Tuner/PickerPopup.hpp"
#include "Tuner/TunerFacade.hpp"

class QMenu;

namespace norvo {

class CountryPicker;
class DesktopServices;
class GenrePicker;
class MiniKey;
class SearchField;
class StationList;
class StatusOverlay;

// The RO-01's station guide: band keys, search, the band's station list with its status
// overlay, the genre and country pickers and each row's menu. It keeps only view state
// (search text, selection, open pickers); every action is one call on the tuner.
class StationGuide final : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal spacing = 6;
    static constexpr qreal keySpacing = 5;

    // The spinners turn with `clock`; `localeIdentifier` names the home country in its help.
    StationGuide(TunerFacade& tuner, DesktopServices& desktop, const Clock& clock, std::string localeIdentifier,
                 QWidget* parent = nullptr);
    ~StationGuide() override;

    // Controls, for the face and for tests.
    MiniKey* worldKey() const { return world_; }
    MiniKey* homeKey() const { return home_; }  // none without a home country
    MiniKey* genreKey() const { return genres_; }
    MiniKey* countryKey() const { return countries_; }
    SearchField* searchField() const { return search_; }
    StationList* list() const { return list_; }
    StatusOverlay* overlay() const { return overlay_; }
    bool showingGenres() const { return genrePopup_ != nullptr; }
    bool showingCountries() const { return countryPopup_ != nullptr; }
    GenrePicker* genrePicker() const;
    CountryPicker* countryPicker() const;
    // The open popups, for the gallery's pictures.
    PickerPopup* genrePopup() const { return genrePopup_; }
    PickerPopup* countryPopup() const { return countryPopup_; }

    // The actions of the controls.
    void pressGenres();
    void pressCountries();
    void pickGenre(const std::string& tag);
    void pickCountry(const std::string& code);
    void submitSearch();
    void clearSearch();
    // Return in the list: whether it was taken.
    bool tuneSelected(const std::optional<std::string>& selection);
    // The row's context menu (the caller shows it).
    std::unique_ptr<QMenu> rowMenu(const RadioStation& station);

    // Repaints what moves by itself (spinners); the face calls it on the studio's tick.
    void animate();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    class GlassRim;
    void refresh();
    void followDial(std::optional<int> dial);
    QRectF listRect() const;

    TunerFacade& tuner_;
    DesktopServices& desktop_;
    const Clock& clock_;
    std::optional<int> overlayPhase_, pickerPhase_;  // the spinners' spokes as last repainted
    std::string localeIdentifier_;
    std::optional<std::string> homeCountry_;

    MiniKey* world_;
    MiniKey* home_ = nullptr;
    MiniKey* genres_;
    MiniKey* countries_;
    SearchField* search_;
    StationList* list_;
    GlassRim* rim_;
    StatusOverlay* overlay_;
    KitPicture picture_;  // header lettering and the list's glass
    QPointer<PickerPopup> genrePopup_;
    QPointer<PickerPopup> countryPopup_;

    // What the rows were last drawn from.
    struct RowState {
        bool isOn = false;
        std::string tuned;
        std::array<std::string, TunerEngine::presetCount> presets;
        TunerFacade::Query::Kind band = TunerFacade::Query::Kind::top;
        bool operator==(const RowState&) const = default;
    };
    RowState rows_;
    std::optional<int> lastDial_;
    bool shownOnce_ = false;
};

}  // namespace norvo
