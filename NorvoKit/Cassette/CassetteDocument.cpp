#include "Cassette/CassetteDocument.hpp"

#include <algorithm>
#include <cctype>

#include "Platform/Iso8601.hpp"

namespace norvo {

CassetteDocument::CassetteDocument(const CassetteType& type, std::string name, CassetteDesign design,
                                   const Clock& clock)
    : id(Uuid::random()),
      serialNumber(serialNumberFor(id)),
      type(type),
      name(std::move(name)),
      createdAt(wholeSeconds(clock.now())),
      modifiedAt(createdAt),
      createdWith(applicationName),
      design(std::move(design)) {
    HistoryEvent created;
    created.type = "created";
    created.timestamp = createdAt;
    created.app = applicationName;
    history.push_back(std::move(created));
}

std::string CassetteDocument::serialNumberFor(const Uuid& id) {
    // Upper case: a serial number is read off a label, where capitals read better.
    std::string serial = "NV-" + id.text().substr(0, 8);
    for (auto& c : serial) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return serial;
}

void CassetteDocument::advanceWriteProtect(TapeSide which, Date at) {
    Side& target = side(which);
    target.writeProtect = target.writeProtect == WriteProtect::broken ? WriteProtect::tapedOver : WriteProtect::broken;
    HistoryEvent event;
    event.type = "write_protect_changed";
    event.timestamp = wholeSeconds(at);
    event.app = applicationName;
    event.side = which;
    event.state = target.writeProtect;
    history.push_back(std::move(event));
}

void CassetteDocument::noteRecording(TapeSide which, int64_t startFrame, int64_t endFrame, std::string source,
                                     std::optional<std::string> sourceFormat, std::vector<TrackMarker> markers,
                                     Date at) {
    auto& sideMarkers = side(which).markers;
    sideMarkers.insert(sideMarkers.end(), std::make_move_iterator(markers.begin()),
                       std::make_move_iterator(markers.end()));
    std::stable_sort(sideMarkers.begin(), sideMarkers.end(),
                     [](const TrackMarker& a, const TrackMarker& b) { return a.frame < b.frame; });
    HistoryEvent event;
    event.type = "recorded";
    event.timestamp = wholeSeconds(at);
    event.app = applicationName;
    event.side = which;
    event.startFrame = startFrame;
    event.endFrame = endFrame;
    event.source = std::move(source);
    event.sourceFormat = std::move(sourceFormat);
    history.push_back(std::move(event));
}

}  // namespace norvo
