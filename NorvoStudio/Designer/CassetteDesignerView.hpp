#pragma once
#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/RGBAColor.hpp"
#include "StudioModel/DocumentEditor.hpp"

class QLabel;
class QPushButton;
class QStackedWidget;

namespace norvo {

class DesignerArtworkPage;
class DesignerCassettePage;
class DesignerDetailsPage;
class DesignerJCardPage;
class DesignerPreview;
class DesignerSegmentedControl;
class StudioModel;

// The cassette designer: a window-modal sheet over the studio window with the preview on
// the left and four pages of editors on the right. It keeps no copy of the document:
// every editor reads the loaded document and writes each change at once through one of
// the document editor's operations. Made fresh for every showing; closing it (Done,
// Return, Esc, the window's close) clears the model's showingDesigner flag, and it closes
// itself when the flag is cleared elsewhere or the document goes away. Deletes itself on close.
class CassetteDesignerView : public QDialog {
    Q_OBJECT
public:
    enum class Tab { cassette, jcard, artwork, details };
    static constexpr Tab allTabs[] = {Tab::cassette, Tab::jcard, Tab::artwork, Tab::details};
    // "Cassette", "J-card", "Artwork", "Details": the segment titles.
    static QString rawValue(Tab tab);
    static std::optional<Tab> tabFromRaw(const QString& raw);

    static constexpr int sheetWidth = 988;
    static constexpr int sheetHeight = 720;

    CassetteDesignerView(StudioModel& model, QWidget* parent = nullptr);
    ~CassetteDesignerView() override;

    Tab tab() const { return tab_; }
    void setTab(Tab tab);
    TapeSide previewSide() const;
    DesignerPreview* preview() const { return preview_; }
    QPushButton* doneKey() const { return done_; }

    // Two-way bindings of one document field. `read` gives the field of the loaded
    // document now (empty without one); `write` goes through an editor operation, which
    // ignores an edit that leaves the document as it is.
    struct TextBinding {
        std::function<QString()> read;
        std::function<void(const QString&)> write;
    };
    struct ChoiceBinding {
        std::function<int()> read;  // the case's position, -1 without a document
        std::function<void(int)> write;
    };
    struct ColorBinding {
        std::function<std::optional<RGBAColor>()> read;
        std::function<void(const QColor&)> write;
    };

    // `field` maps a document to a reference of the field, const or not:
    // [](auto& d) -> auto& { return d.jcard.title; }.
    template <class Field>
    static TextBinding stringBinding(DocumentEditor& editor, Field field) {
        return {[&editor, field]() -> QString {
                    const auto& document = editor.document();
                    return document ? QString::fromStdString(field(*document)) : QString();
                },
                [&editor, field](const QString& text) {
                    const std::string value = text.toStdString();
                    editor.updateDocument([&](CassetteDocument& d) { field(d) = value; });
                }};
    }
    // The titles joined with one line feed between neighbours; a write splits at every
    // line feed, empty pieces included.
    template <class Field>
    static TextBinding linesBinding(DocumentEditor& editor, Field field) {
        return {[&editor, field]() -> QString {
                    const auto& document = editor.document();
                    return document ? joinedLines(field(*document)) : QString();
                },
                [&editor, field](const QString& text) {
                    editor.setDocumentLines(text, [field](CassetteDocument& d) -> std::vector<std::string>& {
                        return field(d);
                    });
                }};
    }
    // A field of an enumeration whose cases are listed in `cases` (the picker's rows).
    template <class Enum, std::size_t N, class Field>
    static ChoiceBinding choiceBinding(DocumentEditor& editor, const std::array<Enum, N>& cases, Field field) {
        return {[&editor, cases, field]() -> int {
                    const auto& document = editor.document();
                    if (!document) return -1;
                    for (std::size_t i = 0; i < N; ++i)
                        if (cases[i] == field(*document)) return int(i);
                    return -1;
                },
                [&editor, cases, field](int index) {
                    if (index < 0 || std::size_t(index) >= N) return;
                    const Enum value = cases[std::size_t(index)];
                    editor.updateDocument([&](CassetteDocument& d) { field(d) = value; });
                }};
    }
    // A colour whose #RRGGBBAA text equals the stored one is not written: Qt's colour
    // keeps 16 bits per component, so a round trip through it is not exact.
    template <class Field>
    static ColorBinding colorBinding(DocumentEditor& editor, Field field) {
        return {[&editor, field]() -> std::optional<RGBAColor> {
                    const auto& document = editor.document();
                    if (!document) return std::nullopt;
                    return field(*document);
                },
                [&editor, field](const QColor& color) {
                    const auto& document = editor.document();
                    if (!document) return;
                    if (hexText(color) == field(*document).hexText()) return;
                    editor.setDocumentColor(color, [field](CassetteDocument& d) -> RGBAColor& { return field(d); });
                }};
    }

    static QString joinedLines(const std::vector<std::string>& lines);
    // The #RRGGBBAA text of a colour after its conversion to sRGB (black when it has none).
    static std::string hexText(const QColor& color);

protected:
    void done(int result) override;

private:
    void documentChanged();
    void showingDesignerChanged();

    StudioModel& model_;
    Tab tab_ = Tab::cassette;
    QWidget* content_ = nullptr;
    DesignerPreview* preview_ = nullptr;
    DesignerSegmentedControl* pageSwitch_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    DesignerCassettePage* cassettePage_ = nullptr;
    DesignerJCardPage* jcardPage_ = nullptr;
    DesignerArtworkPage* artworkPage_ = nullptr;
    DesignerDetailsPage* detailsPage_ = nullptr;
    QPushButton* done_ = nullptr;
    bool closing_ = false;
};

}  // namespace norvo
