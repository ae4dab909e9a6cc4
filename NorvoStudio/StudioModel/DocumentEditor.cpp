#include "StudioModel/DocumentEditor.hpp"

#include <algorithm>

#include <QBuffer>
#include <QImageReader>

#include "Cassette/TapeFileCodec.hpp"
#include "Platform/RegularFile.hpp"
#include "StudioModel/AlertSlot.hpp"
#include "StudioModel/WindowTitle.hpp"

namespace norvo {
namespace {

// The image of artwork bytes: decoded by the worker that read the file, else here.
QImage decoded(const FileData& data, const DocumentEditor::DecodedImages& decodedAlready) {
    for (const auto& [bytes, image] : decodedAlready)
        if (bytes == data) return image;
    return DocumentEditor::decodeImage(data);
}

}  // namespace

DocumentEditor::DocumentEditor(StudioUi& ui, const Clock& clock, WindowTitle& title, AlertSlot& alerts, QObject* parent)
    : QObject(parent), ui_(ui), clock_(clock), title_(title), alerts_(alerts) {}

QImage DocumentEditor::decodeImage(const FileData& data) {
    if (data.empty()) return {};
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

void DocumentEditor::setDocument(std::optional<CassetteDocument> document, const DecodedImages& decoded) {
    std::optional<CassetteDocument> previous = std::move(document_);
    document_ = std::move(document);
    rebuildImages(previous, decoded);
    emit documentChanged();
    title_.noteMaybeChanged();
}

void DocumentEditor::rebuildImages(const std::optional<CassetteDocument>& previous,
                                   const DecodedImages& decodedAlready) {
    const auto* oldArtwork = previous ? &previous->artwork : nullptr;
    const auto* newArtwork = document_ ? &document_->artwork : nullptr;
    const bool artworkChanged =
        (oldArtwork == nullptr) != (newArtwork == nullptr) || (oldArtwork && !(*oldArtwork == *newArtwork));
    if (artworkChanged) {
        ArtworkImages rebuilt;
        if (newArtwork) {
            for (const auto& [role, data] : *newArtwork) {
                // Data that did not change keeps its decoded image.
                if (oldArtwork) {
                    auto old = oldArtwork->find(role);
                    auto image = images_.find(role);
                    if (old != oldArtwork->end() && old->second == data && image != images_.end()) {
                        rebuilt.emplace(role, image->second);
                        continue;
                    }
                }
                QImage image = decoded(data, decodedAlready);
                if (!image.isNull()) rebuilt.emplace(role, std::move(image));
            }
        }
        images_ = std::move(rebuilt);
        emit imagesChanged();
    }

    const auto* oldPanels = previous ? &previous->bookletPanels : nullptr;
    const auto* newPanels = document_ ? &document_->bookletPanels : nullptr;
    const bool panelsChanged =
        (oldPanels == nullptr) != (newPanels == nullptr) || (oldPanels && !(*oldPanels == *newPanels));
    if (panelsChanged) {
        std::vector<QImage> rebuilt;
        if (newPanels) {
            for (const auto& data : *newPanels) {
                QImage image = decoded(data, decodedAlready);
                if (!image.isNull()) rebuilt.push_back(std::move(image));
            }
        }
        bookletImages_ = std::move(rebuilt);
        emit bookletImagesChanged();
    }
}

void DocumentEditor::setMetadataEdited(bool edited) {
    if (metadataEdited_ == edited) return;
    metadataEdited_ = edited;
    emit metadataEditedChanged();
    title_.noteMaybeChanged();
}

std::optional<QByteArray> DocumentEditor::renderPNG(const CassetteDocument& document) {
    const QImage image = ui_.renderThumbnail(document, images_);
    if (image.isNull()) return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || bytes.isEmpty()) return std::nullopt;
    return bytes;
}

// MARK: - Edits

void DocumentEditor::updateDocument(const std::function<void(CassetteDocument&)>& edit) {
    if (!document_) return;
    WindowTitle::Hold hold(title_);
    CassetteDocument copy = *document_;
    edit(copy);
    if (copy == *document_) return;
    setDocument(std::move(copy));
    setMetadataEdited(true);
    emit edited();
}

void DocumentEditor::advanceWriteProtect(TapeSide side) {
    const Date now = clock_.now();
    updateDocument([&](CassetteDocument& document) { document.advanceWriteProtect(side, now); });
}

void DocumentEditor::setShellTransparent(bool transparent) {
    updateDocument([&](CassetteDocument& document) {
        document.design.shellTransparent = transparent;
        auto& alpha = document.design.shellColor.alpha;
        alpha = transparent ? std::min(alpha, 0.5) : 1.0;
    });
}

void DocumentEditor::setDesign(const CassetteStyle& style) {
    updateDocument([&](CassetteDocument& document) { document.design = style.design; });
}

void DocumentEditor::setDocumentColor(const QColor& color, const ColorField& field) {
    RGBAColor converted{0, 0, 0, 1};
    if (color.isValid()) {
        const QColor srgb = color.toRgb();
        converted = RGBAColor{srgb.redF(), srgb.greenF(), srgb.blueF(), srgb.alphaF()};
    }
    updateDocument([&](CassetteDocument& document) { field(document) = converted; });
}

void DocumentEditor::setDocumentLines(const QString& text, const LinesField& field) {
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::KeepEmptyParts)) lines.push_back(line.toStdString());
    updateDocument([&](CassetteDocument& document) { field(document) = lines; });
}

void DocumentEditor::setArtwork(const FileData& image, ArtworkRole role) {
    updateDocument([&](CassetteDocument& document) { document.artwork[role] = image; });
}

void DocumentEditor::removeArtwork(ArtworkRole role) {
    updateDocument([&](CassetteDocument& document) { document.artwork.erase(role); });
}

void DocumentEditor::appendBookletPanel(const FileData& image) {
    updateDocument([&](CassetteDocument& document) { document.bookletPanels.push_back(image); });
}

void DocumentEditor::removeBookletPanel(int index) {
    if (!document_ || index < 0 || std::size_t(index) >= document_->bookletPanels.size()) return;
    updateDocument([&](CassetteDocument& document) {
        document.bookletPanels.erase(document.bookletPanels.begin() + index);
    });
}

void DocumentEditor::addRecordedTrack(TapeSide side, const std::string& title) {
    if (!document_) return;
    CassetteDocument copy = *document_;
    auto& tracks = side == TapeSide::a ? copy.jcard.sideATracks : copy.jcard.sideBTracks;
    if (tracks.empty() || tracks.back() != title) tracks.push_back(title);
    WindowTitle::Hold hold(title_);
    if (!(copy == *document_)) setDocument(std::move(copy));
    setMetadataEdited(true);
}

// MARK: - Artwork import

void DocumentEditor::chooseArtwork(std::optional<ArtworkRole> role,
                                   const std::function<void(const FileData&)>& accepted) {
    StudioUi::FilePanel panel;
    panel.kind = StudioUi::FilePanel::Kind::chooseArtwork;
    panel.nameFilters = {QStringLiteral("PNG or JPEG image (*.png *.jpg *.jpeg)")};
    panel.mimeTypes = {QStringLiteral("image/png"), QStringLiteral("image/jpeg")};
    if (role) {
        const auto title = norvo::title(*role);
        const auto size = millimetreSize(*role).value_or(MillimetreSize{});
        const auto pixels = recommendedPixels(*role);
        // asprintf formats numbers in the C locale, as the slot sizes are printed.
        panel.message =
            QString::asprintf("%s: %.1f \u00D7 %.1f mm \u2014 %d \u00D7 %d px recommended (PNG or JPEG, sRGB)",
                              std::string(title).c_str(), size.width, size.height, pixels.width, pixels.height);
    } else {
        panel.message = QStringLiteral(
            "Booklet panel: 63.5 \u00D7 101.6 mm \u2014 1524 \u00D7 2438 px recommended (PNG or JPEG, sRGB)");
    }
    const auto files = ui_.runOpenPanel(panel);
    if (files.empty()) return;

    // A file that cannot be read, or is no image that decodes within Qt's allocation limit
    // (a 30000 × 30000 PNG), is passed over without an alert and nothing is stored.
    // Only a regular file: a FIFO picked in the panel would never end.
    RegularFile file(files.front());
    const auto read = file.read(TapeFileCodec::maximumArtworkBytes);
    if (!read || read->size() > TapeFileCodec::maximumArtworkBytes) return;
    const QByteArray bytes = QByteArray::fromStdString(*read);
    const FileData data(*read);

    // Checked as displayed: a photo stored sideways with an orientation tag is upright on screen.
    const QImage image = decodeImage(data);
    if (image.isNull()) return;

    const ArtworkCheck result = check(role.value_or(ArtworkRole::jcardFront), image.width(), image.height());
    if (result.kind == ArtworkCheck::Kind::wrongAspect) {
        alerts_.raise(QStringLiteral("Wrong proportions"),
                      QString::asprintf("This slot needs an aspect ratio of %.3f (width \u00F7 height); the image is "
                                        "%.3f. NORVO artwork must match the physical size \u2014 see ",
                                        result.expected, result.actual) +
                          QStringLiteral("section 12 of the NORVO cassette format."));
        return;
    }
    if (result.kind == ArtworkCheck::Kind::tooSmall) {
        alerts_.raise(
            QStringLiteral("Image is small"),
            QStringLiteral("It was added, but it is below the NORVO minimum of %1 \u00D7 %2 px and may look soft.")
                .arg(result.minimumWidth)
                .arg(result.minimumHeight));
    }

    static const QByteArray pngSignature("\x89PNG", 4);
    if (TapeFileCodec::imageExtension(data) == "jpg" || bytes.startsWith(pngSignature)) {
        accepted(data);
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || png.isEmpty()) return;
    accepted(FileData(std::string_view(png.constData(), std::size_t(png.size()))));
}

}  // namespace norvo
