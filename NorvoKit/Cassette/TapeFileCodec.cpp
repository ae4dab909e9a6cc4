#include "Cassette/TapeFileCodec.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/AacSideDecoder.hpp"
#include "Cassette/AacSideEncoder.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Cassette/DurableReplace.hpp"
#include "Cassette/EncodedSideCache.hpp"
#include "Cassette/ManifestCodec.hpp"
#include "Cassette/SideWorkers.hpp"
#include "Cassette/ZipArchiveReader.hpp"
#include "Cassette/ZipArchiveWriter.hpp"
#include "Platform/Iso8601.hpp"

namespace norvo {

namespace {

constexpr const char* mimetypeEntry = "mimetype";
constexpr const char* manifestEntry = "manifest.json";
constexpr std::string_view audioFolder = "audio/";
constexpr std::string_view artworkFolder = "artwork/";

using Compression = ZipArchiveWriter::Compression;

// Maps the progress of one stage onto its share of the whole.
TapeFileCodec::Progress stage(const TapeFileCodec::Progress& progress, double from, double to) {
    if (!progress) return {};
    return [&progress, from, to](double fraction) { progress(from + (to - from) * std::clamp(fraction, 0.0, 1.0)); };
}

// A name that cannot reach outside the folder it is extracted into.
bool isSafeEntryName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find('\\') != std::string_view::npos) return false;
    for (std::size_t start = 0;;) {
        const std::size_t end = name.find('/', start);
        if (name.substr(start, end == std::string_view::npos ? end : end - start) == "..") return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool isReferenceable(std::string_view path, std::string_view folder) {
    return isSafeEntryName(path) && path.size() > folder.size() && path.substr(0, folder.size()) == folder;
}

// Decoding writes every page of a fresh side file once; faulting the pages in ahead of
// the decoder, a stretch at a time, costs a fraction of a fault per page. Only a hint:
// older kernels refuse it, and the decoder then takes the faults itself.
void prepareForWriting(int16_t* frames, int64_t count) {
#ifdef MADV_POPULATE_WRITE
    if (!frames || count <= 0) return;
    const auto page = static_cast<uintptr_t>(::getpagesize());
    constexpr uintptr_t stretch = uintptr_t{8} << 20;
    const auto end = reinterpret_cast<uintptr_t>(frames + count * 2);
    for (auto start = reinterpret_cast<uintptr_t>(frames) & ~(page - 1); start < end; start += stretch)
        if (::madvise(reinterpret_cast<void*>(start), std::min(stretch, end - start), MADV_POPULATE_WRITE) != 0) return;
#else
    (void)frames;
    (void)count;
#endif
}

// Adds declared sizes without letting a huge one wrap the sum below the limit.
void addWithin(uint64_t& total, uint64_t size, uint64_t limit) {
    if (size > limit - total) throw CassetteFileError::tooLarge();
    total += size;
}

FileData readWithin(const ZipArchiveReader& zip, std::size_t index, uint64_t limit) {
    auto data = zip.read(index, limit);
    if (!data) throw CassetteFileError::tooLarge();
    return std::move(*data);
}

TapeFileCodec::ReadResult readContainer(const ZipArchiveReader& zip, const TapeFileCodec::Progress& progress,
                                        const TapeFileCodec::MediaFactory& makeMedia) {
    const auto& entries = zip.entries();
    for (const auto& entry : entries)
        if (entry.encrypted) throw CassetteFileError::notCassette();

    const auto mimeIndex = zip.find(mimetypeEntry);
    if (!mimeIndex) throw CassetteFileError::notCassette();
    if (*mimeIndex != 0) throw CassetteFileError::damaged();
    const auto mime = zip.read(*mimeIndex, 256);
    if (!mime || mime->text() != TapeFileCodec::mimeType) throw CassetteFileError::notCassette();

    const auto manifestIndex = zip.find(manifestEntry);
    if (!manifestIndex) throw CassetteFileError::noManifest();
    const auto manifestBytes = zip.read(*manifestIndex, TapeFileCodec::maximumManifestBytes);
    if (!manifestBytes) throw CassetteFileError::manifestTooLarge();
    const auto json = JSONValue::parse(manifestBytes->text());
    if (!json) throw CassetteFileError::manifestDamaged();
    auto [document, layout] = ManifestCodec::decode(*json, SystemClock::shared().now());

    // Every entry the manifest names must be a plain file inside its folder.
    std::vector<bool> referenced(entries.size(), false);
    referenced[*mimeIndex] = referenced[*manifestIndex] = true;
    auto resolve = [&](const std::string& path, std::string_view folder) {
        if (!isReferenceable(path, folder)) throw CassetteFileError::missingEntry(path);
        const auto index = zip.find(path);
        if (!index || entries[*index].symbolicLink || entries[*index].directory)
            throw CassetteFileError::missingEntry(path);
        referenced[*index] = true;
        return *index;
    };
    std::array<std::optional<std::size_t>, 2> audio;
    for (TapeSide side : allTapeSides) {
        const auto& path = layout.audio[rawValue(side)];
        if (!path) continue;
        audio[rawValue(side)] = resolve(*path, audioFolder);
        if (entries[*audio[rawValue(side)]].size > TapeFileCodec::maximumAudioBytes)
            throw CassetteFileError::tooLarge();
    }
    std::map<ArtworkRole, std::size_t> artwork;
    for (const auto& [role, path] : layout.artwork) artwork[role] = resolve(path, artworkFolder);
    std::vector<std::size_t> booklet;
    for (const auto& path : layout.booklet) booklet.push_back(resolve(path, artworkFolder));

    // Counted per slot, not per entry: a slot holds its own copy of the image and writes
    // it back as its own entry, so one small entry named by many slots adds up.
    uint64_t imageBytes = 0;
    constexpr uint64_t imageLimit = TapeFileCodec::maximumArtworkBytes;
    for (const auto& [role, index] : artwork) addWithin(imageBytes, entries[index].size, imageLimit);
    for (std::size_t index : booklet) addWithin(imageBytes, entries[index].size, imageLimit);

    // What is left is carried along: a later version's data. Folders, links and names
    // that could escape a folder are not data worth carrying into our files.
    std::vector<std::size_t> carried;
    uint64_t carriedBytes = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        if (referenced[i] || entry.directory || entry.symbolicLink || !isSafeEntryName(entry.name)) continue;
        carried.push_back(i);
        addWithin(carriedBytes, entry.size, TapeFileCodec::maximumUnknownBytes);
    }

    for (const auto& [role, index] : artwork)
        document.artwork[role] = readWithin(zip, index, TapeFileCodec::maximumArtworkBytes);
    for (std::size_t index : booklet)
        document.bookletPanels.push_back(readWithin(zip, index, TapeFileCodec::maximumArtworkBytes));
    for (std::size_t index : carried)
        document.carriedEntries.push_back(
            {entries[index].name, readWithin(zip, index, TapeFileCodec::maximumUnknownBytes)});
    if (progress) progress(0.05);

    std::shared_ptr<TapeMedia> media = makeMedia ? makeMedia(document.type) : std::make_shared<TapeMedia>(document.type);
    if (!media) throw NorvoAudioError::storage("no workspace for the cassette");
    if (media->type() != document.type) throw NorvoAudioError::storage("the workspace is for another cassette type");

    // Both sides at once: libzip is not thread-safe, so extraction takes turns, and
    // each side decodes into its own side file while the other is extracted.
    std::mutex zipMutex;
    SideWorkers workers;
    for (TapeSide side : allTapeSides) {
        if (!audio[rawValue(side)]) continue;
        const std::size_t index = *audio[rawValue(side)];
        const int64_t frames = layout.frames[rawValue(side)];
        workers.add(frames, [&, side, index, frames](const auto& done, const auto&) {
            FileData encoded;
            {
                std::lock_guard lock(zipMutex);
                encoded = readWithin(zip, index, TapeFileCodec::maximumAudioBytes);
            }
            TapeSideStorage& storage = media->storage(side);
            const int64_t length = std::min(frames, storage.capacity());
            const EncodedSideCache cache(*media);
            // Beside the decoder: the side file's pages, then a copy of the encoded audio
            // so that saving the side unchanged needs no encoder.
            bool kept = false;
            std::jthread helper([&] {
                prepareForWriting(storage.frames(), length);
                kept = cache.storeAudio(side, encoded);
            });
            int64_t decoded = 0;
            try {
                decoded = AacSideDecoder::decode(encoded, storage.frames(), length, done);
            } catch (const NorvoAudioError& error) {
                throw CassetteFileError::undecodableAudio(side, error.detail());
            }
            // The recorded length rules: a shorter stream ends in silence.
            std::fill(storage.frames() + decoded * 2, storage.frames() + length * 2, int16_t{0});
            helper.join();
            media->setUsedClean(side, length);
            if (kept) cache.markCurrent(side, media->writeGeneration(side), length);
        });
    }
    workers.run(stage(progress, 0.05, 1.0));
    if (progress) progress(1.0);
    return {std::move(document), std::move(media)};
}

struct SideSnapshot {
    uint64_t generation = 0;
    int64_t frames = 0;
    std::filesystem::path audio;
};

// The side's length and write generation as one consistent pair.
SideSnapshot snapshot(const TapeMedia& media, TapeSide side) {
    for (;;) {
        SideSnapshot state;
        state.generation = media.writeGeneration(side);
        state.frames = media.used(side);
        if (media.writeGeneration(side) == state.generation) return state;
    }
}

// Beside the target, so the rename stays within one file system; short whatever the
// target's name, which may already be as long as a name can be.
std::filesystem::path temporaryFileFor(const std::filesystem::path& target) {
    return target.parent_path() / (".norvo-" + Uuid::random().text().substr(0, 8) + ".partial");
}

}  // namespace

std::string TapeFileCodec::imageExtension(const FileData& image) {
    const auto bytes = image.span();
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "jpg";
    return "png";
}

std::string TapeFileCodec::audioEntryName(TapeSide side) {
    return std::string(audioFolder) + (side == TapeSide::a ? "side-a.m4a" : "side-b.m4a");
}

TapeFileCodec::ReadResult TapeFileCodec::read(const std::filesystem::path& file, const Progress& progress,
                                              const MediaFactory& makeMedia) {
    const auto zip = ZipArchiveReader::open(file);
    return readContainer(*zip, progress, makeMedia);
}

TapeFileCodec::ReadResult TapeFileCodec::read(const FileData& container, const Progress& progress,
                                              const MediaFactory& makeMedia) {
    const auto zip = ZipArchiveReader::open(container);
    return readContainer(*zip, progress, makeMedia);
}

void TapeFileCodec::write(const CassetteDocument& document, TapeMedia& media, const std::filesystem::path& file,
                          const Progress& progress, const Clock& clock) {
    if (document.type != media.type())
        throw CassetteFileError::writeFailed("the cassette's type does not match its tape.");
    // The reader refuses more; a file that could not be opened again is not written at all.
    uint64_t imageBytes = 0;
    for (const auto& [role, data] : document.artwork) imageBytes += data.size();
    for (const auto& panel : document.bookletPanels) imageBytes += panel.size();
    if (imageBytes > maximumArtworkBytes)
        throw CassetteFileError::writeFailed("its artwork and booklet panels come to more than 64 MiB.");
    // The encoded-side files of a workspace are shared by its saves; one save at a time.
    static std::mutex writing;
    std::lock_guard writeLock(writing);

    const EncodedSideCache cache(media);
    std::array<SideSnapshot, 2> sides;
    SideWorkers workers;
    for (TapeSide side : allTapeSides) {
        SideSnapshot& state = sides[rawValue(side)];
        state = snapshot(media, side);
        if (state.frames == 0) continue;
        if (auto encoded = cache.lookup(side, state.generation, state.frames)) {
            state.audio = *encoded;
            continue;
        }
        workers.add(state.frames, [&, side](const auto& done, const auto& cancelled) {
            AacSideEncoder::encode(media.storage(side).frames(), state.frames, cache.stagingFile(side), done,
                                   &cancelled);
            state.audio = cache.commit(side, state.generation, state.frames);
        });
    }
    workers.run(stage(progress, 0.0, 0.85));

    ManifestLayout layout;
    for (TapeSide side : allTapeSides) {
        layout.frames[rawValue(side)] = sides[rawValue(side)].frames;
        if (sides[rawValue(side)].frames > 0) layout.audio[rawValue(side)] = audioEntryName(side);
    }
    for (const auto& [role, data] : document.artwork)
        layout.artwork[role] = std::string(artworkFolder) + std::string(rawValue(role)) + "." + imageExtension(data);
    for (std::size_t i = 0; i < document.bookletPanels.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "booklet-%02zu.", i + 1);
        layout.booklet.push_back(std::string(artworkFolder) + name + imageExtension(document.bookletPanels[i]));
    }
    CassetteDocument written = document;
    written.modifiedAt = wholeSeconds(clock.now());
    const FileData manifest(ManifestCodec::encode(written, layout).serialized() + "\n");
    if (manifest.size() > maximumManifestBytes)
        throw CassetteFileError::writeFailed("its manifest would be larger than 1 MiB.");
    const FileData mimetype(std::string_view{mimeType});

    const std::filesystem::path temporary = temporaryFileFor(file);
    try {
        ZipArchiveWriter zip(temporary);
        std::set<std::string> names{mimetypeEntry, manifestEntry};
        zip.add(mimetypeEntry, mimetype, Compression::stored);
        for (TapeSide side : allTapeSides) {
            if (!layout.audio[rawValue(side)]) continue;
            zip.addFile(*layout.audio[rawValue(side)], sides[rawValue(side)].audio, Compression::stored);
            names.insert(*layout.audio[rawValue(side)]);
        }
        // Images are compressed already; deflating them again gains nothing.
        for (const auto& [role, data] : document.artwork) {
            zip.add(layout.artwork[role], data, Compression::stored);
            names.insert(layout.artwork[role]);
        }
        for (std::size_t i = 0; i < document.bookletPanels.size(); ++i) {
            zip.add(layout.booklet[i], document.bookletPanels[i], Compression::stored);
            names.insert(layout.booklet[i]);
        }
        for (const auto& entry : document.carriedEntries)
            if (names.insert(entry.name).second) zip.add(entry.name, entry.data, Compression::deflated);
        zip.add(manifestEntry, manifest, Compression::deflated);
        zip.close(stage(progress, 0.85, 0.99));
        durablyReplace(temporary, file);
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
        throw;
    }
    for (TapeSide side : allTapeSides) media.clearDirty(side, sides[rawValue(side)].generation);
    if (progress) progress(1.0);
}

}  // namespace norvo
