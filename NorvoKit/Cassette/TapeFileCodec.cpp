#include "Cassette/TapeFileCodec.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
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

// The most encoded audio a side of `frames` can need: AAC at the highest rate it allows
// for two channels at 44100 Hz (about 530 kbit/s), plus the container's own tables.
uint64_t audioBytesBound(int64_t frames) {
    constexpr uint64_t bytesPerSecond = 600000 / 8;
    const uint64_t seconds = static_cast<uint64_t>(std::max<int64_t>(frames, 0)) / 44100 + 1;
    return std::min(TapeFileCodec::maximumAudioBytes, seconds * bytesPerSecond + (uint64_t{1} << 20));
}

// A file mapped read-only for as long as this lives.
class MappedFile {
public:
    explicit MappedFile(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) throw CassetteFileError::unreadable(std::strerror(errno));
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_size > 0) {
            size_ = static_cast<std::size_t>(info.st_size);
            void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped == MAP_FAILED) {
                const int error = errno;
                ::close(fd);
                throw CassetteFileError::unreadable(std::strerror(error));
            }
            data_ = static_cast<const uint8_t*>(mapped);
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    std::span<const uint8_t> span() const { return {data_, data_ ? size_ : 0}; }

private:
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// The layout the writer gives a document whose sides hold `frames`.
ManifestLayout writtenLayout(const CassetteDocument& document, const std::array<int64_t, 2>& frames) {
    ManifestLayout layout;
    for (TapeSide side : allTapeSides) {
        layout.frames[rawValue(side)] = frames[rawValue(side)];
        if (frames[rawValue(side)] > 0) layout.audio[rawValue(side)] = TapeFileCodec::audioEntryName(side);
    }
    for (const auto& [role, data] : document.artwork)
        layout.artwork[role] =
            std::string(artworkFolder) + std::string(rawValue(role)) + "." + TapeFileCodec::imageExtension(data);
    for (std::size_t i = 0; i < document.bookletPanels.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "booklet-%02zu.", i + 1);
        layout.booklet.push_back(std::string(artworkFolder) + name +
                                 TapeFileCodec::imageExtension(document.bookletPanels[i]));
    }
    return layout;
}

// The manifest as the writer stores it: on one line (keys sorted, slashes as they are),
// so that as much of a document as the format allows fits; nothing when it does not.
std::optional<std::string> storedManifest(const JSONValue& manifest) {
    std::string text = manifest.compact();
    if (text.size() > TapeFileCodec::maximumManifestBytes) return std::nullopt;
    return text;
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
        const auto& entry = entries[*audio[rawValue(side)]];
        if (entry.size > audioBytesBound(layout.frames[rawValue(side)])) throw CassetteFileError::tooLarge();
        // Compressed audio hardly deflates: a large entry that inflates many times over
        // is a bomb, refused before any of it is inflated.
        if (entry.size > (uint64_t{1} << 20) && entry.size / std::max<uint64_t>(entry.compressedSize, 1) > 16)
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
        document.carriedEntries.push_back({entries[index].name,
                                           readWithin(zip, index, TapeFileCodec::maximumUnknownBytes)});
    if (progress) progress(0.05);

    std::shared_ptr<TapeMedia> media =
        makeMedia ? makeMedia(document.type) : std::make_shared<TapeMedia>(document.type);
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
            TapeSideStorage& storage = media->storage(side);
            const int64_t length = std::min(frames, storage.capacity());
            const EncodedSideCache cache(*media);
            // Beside the extraction and the decoder, the side file's pages.
            std::jthread helper([&] { prepareForWriting(storage.frames(), length); });
            // Streamed into the workspace, where it stays as the side's encoded audio:
            // saving the side unchanged then needs no encoder.
            const std::filesystem::path staged = cache.stagingFile(side);
            {
                std::lock_guard lock(zipMutex);
                if (!zip.extract(index, audioBytesBound(frames), staged)) throw CassetteFileError::tooLarge();
            }
            int64_t decoded = 0;
            try {
                const MappedFile encoded(staged);
                decoded = AacSideDecoder::decode(encoded.span(), storage.frames(), length, done);
            } catch (const NorvoAudioError& error) {
                std::error_code ec;
                std::filesystem::remove(staged, ec);
                throw CassetteFileError::undecodableAudio(side, error.detail());
            }
            // The recorded length rules: a shorter stream ends in silence.
            std::fill(storage.frames() + decoded * 2, storage.frames() + length * 2, int16_t{0});
            helper.join();
            media->setUsedClean(side, length);
            try {
                cache.commit(side, media->writeGeneration(side), length);
            } catch (const CassetteFileError&) {
                cache.discard(side);  // only means that the next save encodes
            }
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

constexpr std::string_view temporaryPrefix = ".norvo-";
constexpr std::string_view temporarySuffix = ".partial";

// Beside the target, so the rename stays within one file system; short whatever the
// target's name, which may already be as long as a name can be. The writing process's
// id is part of the name, so that a later save can tell a leftover from a save in progress.
std::filesystem::path temporaryFileFor(const std::filesystem::path& target) {
    return target.parent_path() / (std::string(temporaryPrefix) + std::to_string(::getpid()) + "-" +
                                   Uuid::random().text().substr(0, 8) + std::string(temporarySuffix));
}

// The process id in a name of ours (".norvo-<pid>-<8 hex>.partial", with the ZIP library's
// own ".XXXXXX" after it while it writes), or nothing for any other name.
std::optional<pid_t> temporaryOwner(std::string_view name) {
    if (name.substr(0, temporaryPrefix.size()) != temporaryPrefix) return std::nullopt;
    name.remove_prefix(temporaryPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10) return std::nullopt;
    int64_t pid = 0;
    for (char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return std::nullopt;
        pid = pid * 10 + (c - '0');
    }
    name.remove_prefix(dash + 1);
    if (name.size() < 8 || name.substr(0, 8).find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
        return std::nullopt;
    name.remove_prefix(8);
    if (name.substr(0, temporarySuffix.size()) != temporarySuffix) return std::nullopt;
    name.remove_prefix(temporarySuffix.size());
    if (!name.empty() && (name.size() != 7 || name[0] != '.')) return std::nullopt;
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return std::nullopt;
    return static_cast<pid_t>(pid);
}

// Removes what a save that was killed left in `folder`: files of our naming whose process
// is gone and that nobody has written to for a while (a folder shared with another
// machine may hold a save in progress whose process this machine cannot see).
void sweepLeftoverTemporaries(const std::filesystem::path& folder) {
    std::error_code ec;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto owner = temporaryOwner(it->path().filename().native());
        if (!owner || *owner == ::getpid()) continue;
        if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || entryError) continue;
        const auto written = it->last_write_time(entryError);
        if (entryError || now - written < std::chrono::minutes(5)) continue;
        std::filesystem::remove(it->path(), entryError);
    }
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

    // The manifest depends only on the document and the sides' lengths, so a document
    // whose manifest cannot be stored is refused before anything is encoded or written.
    std::array<SideSnapshot, 2> sides;
    std::array<int64_t, 2> frames{};
    for (TapeSide side : allTapeSides) {
        sides[rawValue(side)] = snapshot(media, side);
        frames[rawValue(side)] = sides[rawValue(side)].frames;
    }
    const ManifestLayout layout = writtenLayout(document, frames);
    const auto manifestText = [&] {
        CassetteDocument written = document;
        written.modifiedAt = wholeSeconds(clock.now());
        return storedManifest(ManifestCodec::encode(written, layout));
    }();
    if (!manifestText) throw CassetteFileError::writeFailed("its manifest would be larger than 1 MiB.");
    const FileData manifest(*manifestText);
    const FileData mimetype(std::string_view{mimeType});

    const std::filesystem::path folder = file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
    // First, so that what a killed save left does not take the room this one needs.
    sweepLeftoverTemporaries(folder);

    // Audio that must be encoded is staged beside the target, named like the save's own
    // temporary file: a save needs room only where it writes, never in the workspace.
    const EncodedSideCache cache(media);
    std::array<std::filesystem::path, 2> staged;
    struct StagedFiles {
        std::array<std::filesystem::path, 2>& files;
        ~StagedFiles() {
            std::error_code ec;
            for (const auto& file : files)
                if (!file.empty()) std::filesystem::remove(file, ec);
        }
    } removeStaged{staged};
    SideWorkers workers;
    for (TapeSide side : allTapeSides) {
        SideSnapshot& state = sides[rawValue(side)];
        if (state.frames == 0) continue;
        if (auto encoded = cache.lookup(side, state.generation, state.frames)) {
            state.audio = *encoded;
            continue;
        }
        staged[rawValue(side)] = temporaryFileFor(file);
        state.audio = staged[rawValue(side)];
        workers.add(state.frames, [&, side](const auto& done, const auto& cancelled) {
            AacSideEncoder::encode(media.storage(side).frames(), state.frames, state.audio, done, &cancelled);
        });
    }
    workers.run(stage(progress, 0.0, 0.85));

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
            zip.add(layout.artwork.at(role), data, Compression::stored);
            names.insert(layout.artwork.at(role));
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
    // The next save of an unchanged side copies this audio instead of encoding again.
    for (TapeSide side : allTapeSides)
        if (!staged[rawValue(side)].empty())
            cache.adopt(side, sides[rawValue(side)].generation, sides[rawValue(side)].frames, staged[rawValue(side)]);
    for (TapeSide side : allTapeSides) media.clearDirty(side, sides[rawValue(side)].generation);
    if (progress) progress(1.0);
}

}  // namespace norvo
