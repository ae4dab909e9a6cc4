#include "StudioModel/RecoveryCopy.hpp"

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "AudioEngine/RecordedLengths.hpp"
#include "Cassette/ManifestCodec.hpp"
#include "Cassette/TapeFileCodec.hpp"
#include "Platform/Iso8601.hpp"
#include "Platform/JSONValue.hpp"
#include "Platform/PercentEncoding.hpp"
#include "Platform/RegularFile.hpp"

namespace norvo {

namespace {

using Array = JSONValue::Array;

std::string sideKey(TapeSide side) { return side == TapeSide::a ? "a" : "b"; }

// What the manifest names as a side's audio: the side file beside the copy.
using norvo::sideFileName;

std::runtime_error damaged() { return std::runtime_error("The recovery copy of this cassette is damaged."); }

// The largest copy read: the manifest at its limit, with room for what surrounds it.
constexpr std::uintmax_t maximumCopyBytes = TapeFileCodec::maximumManifestBytes + (std::uintmax_t{1} << 20);

std::string readWithin(const std::filesystem::path& file, std::uintmax_t limit) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, ec))) throw damaged();
    auto bytes = RegularFile(file).read(limit);
    if (!bytes || bytes->size() > limit) throw damaged();
    return std::move(*bytes);
}

// Bytes stored beside the copy; `path` is as the copy names them, inside its folder.
class StoredBytes {
public:
    explicit StoredBytes(std::filesystem::path workspace) : workspace_(std::move(workspace)) {}

    FileData load(const std::string& path, std::uintmax_t& budget) const {
        const std::string prefix = std::string(RecoveryCopy::folderName) + "/";
        if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) throw damaged();
        const std::string name = path.substr(prefix.size());
        if (name == "." || name == ".." || name.find('/') != std::string::npos) throw damaged();
        std::string bytes = readWithin(workspace_ / RecoveryCopy::folderName / name, budget);
        budget -= bytes.size();
        return FileData(std::string_view(bytes));
    }

private:
    std::filesystem::path workspace_;
};

const JSONValue& member(const JSONValue& object, const char* key) {
    const JSONValue* value = object.find(key);
    if (!value) throw damaged();
    return *value;
}

}  // namespace

std::string RecoveryCopy::encode(const RecoveryCopy& copy,
                                 const std::function<std::string(const FileData&)>& storedAs) {
    const std::string folder = std::string(folderName) + "/";
    ManifestLayout layout;
    for (TapeSide side : allTapeSides) {
        layout.frames[rawValue(side)] = copy.used[rawValue(side)];
        if (copy.used[rawValue(side)] > 0) layout.audio[rawValue(side)] = sideFileName(side);
    }
    for (const auto& [role, data] : copy.document.artwork) layout.artwork[role] = folder + storedAs(data);
    for (const auto& panel : copy.document.bookletPanels) layout.booklet.push_back(folder + storedAs(panel));
    JSONValue carried = Array{};
    for (const auto& entry : copy.document.carriedEntries) {
        JSONValue item;
        item["name"] = entry.name;
        item["stored_as"] = folder + storedAs(entry.data);
        carried.array()->push_back(std::move(item));
    }

    JSONValue root;
    root["recovery_version"] = version;
    root["manifest"] = ManifestCodec::encode(copy.document, layout);
    root["carried_entries"] = std::move(carried);
    for (TapeSide side : allTapeSides) root["sides"][sideKey(side)]["dirty"] = copy.dirty[rawValue(side)];
    root["head"]["side"] = sideKey(copy.side);
    root["head"]["frame"] = copy.head;
    root["saved_at"] = formatISO8601(copy.savedAt);
    // Percent-encoded: a file name need not be UTF-8, and JSON text must be.
    if (copy.file) root["file"] = PercentEncoding::encodePath(copy.file->native());
    return root.compact() + "\n";
}

std::optional<RecoveryCopy> RecoveryCopy::read(const std::filesystem::path& workspace, Images images) {
    const std::filesystem::path path = workspace / fileName;
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found) return std::nullopt;
    const auto root = JSONValue::parse(readWithin(path, maximumCopyBytes));
    if (!root || !root->isObject()) throw damaged();
    const auto copyVersion = member(*root, "recovery_version").integer();
    if (!copyVersion || *copyVersion < 1) throw damaged();
    if (*copyVersion > version) throw std::runtime_error("This cassette was kept by a newer Norvo Studio.");

    RecoveryCopy copy;
    auto [document, layout] = ManifestCodec::decode(member(*root, "manifest"), SystemClock::shared().now());
    copy.document = std::move(document);
    copy.used = layout.frames;

    const JSONValue& sides = member(*root, "sides");
    for (TapeSide side : allTapeSides) {
        const auto dirty = member(member(sides, sideKey(side).c_str()), "dirty").boolValue();
        if (!dirty) throw damaged();
        copy.dirty[rawValue(side)] = *dirty;
    }
    // The workspace keeps its sides' lengths after every recorded buffer, the copy only
    // now and then: what was recorded past the copy is there too, and in no file yet.
    if (const auto kept = RecordedLengths::read(workspace)) {
        const int64_t capacity = copy.document.type.sideFrames();
        for (TapeSide side : allTapeSides) {
            const int64_t length = std::clamp<int64_t>((*kept)[rawValue(side)], 0, capacity);
            if (length <= copy.used[rawValue(side)]) continue;
            copy.used[rawValue(side)] = length;
            copy.dirty[rawValue(side)] = true;
        }
    }
    const JSONValue& head = member(*root, "head");
    const JSONValue& headSide = member(head, "side");
    const auto side = headSide.string() ? tapeSideFromLetter(*headSide.string()) : std::nullopt;
    const auto frame = member(head, "frame").integer();
    if (!side || !frame) throw damaged();
    copy.side = *side;
    copy.head = *frame;
    const JSONValue& savedAt = member(*root, "saved_at");
    const auto date = savedAt.string() ? parseISO8601(*savedAt.string()) : std::nullopt;
    if (!date) throw damaged();
    copy.savedAt = *date;
    if (const JSONValue* file = root->find("file")) {
        if (!file->string() || file->string()->empty()) throw damaged();
        copy.file = std::filesystem::path(PercentEncoding::decode(*file->string()));
    }

    const JSONValue& carried = member(*root, "carried_entries");
    if (!carried.array()) throw damaged();
    if (images == Images::skipped) return copy;

    // The limits a container's reader keeps.
    const StoredBytes stored(workspace);
    std::uintmax_t imageBudget = TapeFileCodec::maximumArtworkBytes;
    for (const auto& [role, name] : layout.artwork) copy.document.artwork[role] = stored.load(name, imageBudget);
    for (const auto& name : layout.booklet) copy.document.bookletPanels.push_back(stored.load(name, imageBudget));
    std::uintmax_t carriedBudget = TapeFileCodec::maximumUnknownBytes;
    for (const JSONValue& entry : *carried.array()) {
        const JSONValue& name = member(entry, "name");
        const JSONValue& storedAs = member(entry, "stored_as");
        if (!name.string() || !storedAs.string()) throw damaged();
        copy.document.carriedEntries.push_back({*name.string(), stored.load(*storedAs.string(), carriedBudget)});
    }
    return copy;
}

}  // namespace norvo
