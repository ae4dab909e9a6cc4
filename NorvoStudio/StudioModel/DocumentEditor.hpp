#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QObject>
#include <QString>

#include "AudioEngine/TapeSide.hpp"
#include "Cassette/ArtworkRole.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/CassetteStyle.hpp"
#include "Cassette/FileData.hpp"
#include "Platform/Clock.hpp"
#include "StudioModel/StudioUi.hpp"

namespace norvo {

class AlertSlot;
class WindowTitle;

// The document of the cassette in the deck and every edit of it: texts, design, record
// tabs, artwork and booklet panels, with the decoded images the views draw. Each edit
// changes a copy and publishes it only when it differs. What edits only the document
// (the designer's pages, the preview) needs this, not the engines. Main thread only.
class DocumentEditor final : public QObject {
    Q_OBJECT
public:
    // Where in the document a colour or a list of lines lives (the designer's fields).
    using ColorField = std::function<RGBAColor&(CassetteDocument&)>;
    using LinesField = std::function<std::vector<std::string>&(CassetteDocument&)>;
    // Artwork bytes with their image, decoded already by the worker that read the file.
    using DecodedImages = std::vector<std::pair<FileData, QImage>>;

    DocumentEditor(StudioUi& ui, const Clock& clock, WindowTitle& title, AlertSlot& alerts, QObject* parent = nullptr);

    const std::optional<CassetteDocument>& document() const { return document_; }
    const ArtworkImages& images() const { return images_; }
    const std::vector<QImage>& bookletImages() const { return bookletImages_; }
    bool metadataEdited() const { return metadataEdited_; }

    void updateDocument(const std::function<void(CassetteDocument&)>& edit);
    // The record tab's next state (intact/taped over → broken → taped over).
    void advanceWriteProtect(TapeSide side);
    void setShellTransparent(bool transparent);
    void setDesign(const CassetteStyle& style);
    void setDocumentColor(const QColor& color, const ColorField& field);
    void setDocumentLines(const QString& text, const LinesField& field);
    void setArtwork(const FileData& image, ArtworkRole role);
    void removeArtwork(ArtworkRole role);
    void appendBookletPanel(const FileData& image);
    // A position that does not exist does nothing.
    void removeBookletPanel(int index);
    // Runs the image panel for a slot (none: a booklet panel), checks the image and hands
    // the accepted bytes to `accepted` at most once, before returning.
    void chooseArtwork(std::optional<ArtworkRole> role, const std::function<void(const FileData&)>& accepted);

    // A track the deck recorded joins the side's J-card list unless it is its last line
    // already. Recording made the cassette unsaved, so it counts as edited either way.
    void addRecordedTrack(TapeSide side, const std::string& title);

    // The cassette's document put in or taken out whole (its images from `decoded` where
    // they are there), and whether it was edited since it was opened or saved.
    void setDocument(std::optional<CassetteDocument> document, const DecodedImages& decoded = {});
    void setMetadataEdited(bool edited);

    // PNG of the cassette (side A, head 0) drawn by the desktop, or nothing.
    std::optional<QByteArray> renderPNG(const CassetteDocument& document);
    // Image bytes as they are shown: orientation applied, within Qt's allocation limit,
    // so a huge image is refused instead of exhausting memory. Any thread.
    static QImage decodeImage(const FileData& data);

signals:
    void documentChanged();
    void imagesChanged();
    void bookletImagesChanged();
    void metadataEditedChanged();
    // An edit was published: the deck takes the record tabs from it.
    void edited();

private:
    void rebuildImages(const std::optional<CassetteDocument>& previous, const DecodedImages& decoded);

    StudioUi& ui_;
    const Clock& clock_;
    WindowTitle& title_;
    AlertSlot& alerts_;
    std::optional<CassetteDocument> document_;
    ArtworkImages images_;
    std::vector<QImage> bookletImages_;
    bool metadataEdited_ = false;
};

}  // namespace norvo
