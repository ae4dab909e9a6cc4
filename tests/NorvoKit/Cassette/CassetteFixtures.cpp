#include "CassetteFixtures.hpp"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <zlib.h>

#include "Cassette/CassetteStyleCatalog.hpp"
#include "Support/FakeClock.hpp"

namespace norvo::test {

namespace {

void put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

constexpr double toneLevel = 0.1;

int16_t toneSample(int64_t frame, double frequency) {
    return static_cast<int16_t>(std::lround(toneLevel * 32767.0 *
                                            std::sin(2.0 * M_PI * frequency * static_cast<double>(frame) / 44100.0)));
}

}  // namespace

std::string rawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

RawZipEntry RawZipEntry::inflatingZeros(std::string name, uint32_t mebibytes) {
    // A mebibyte of zeros as a self-contained block (a full flush forgets the history, so
    // every repetition of the block inflates alike), repeated, then the final block.
    constexpr uInt chunk = 1u << 20;
    const std::vector<Bytef> zeros(chunk, 0);
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string block(deflateBound(&stream, chunk) + 64, '\0');
    stream.next_in = const_cast<Bytef*>(zeros.data());
    stream.avail_in = chunk;
    stream.next_out = reinterpret_cast<Bytef*>(block.data());
    stream.avail_out = static_cast<uInt>(block.size());
    ::deflate(&stream, Z_FULL_FLUSH);
    block.resize(block.size() - stream.avail_out);
    std::string end(64, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(end.data());
    stream.avail_out = static_cast<uInt>(end.size());
    ::deflate(&stream, Z_FINISH);
    end.resize(end.size() - stream.avail_out);
    deflateEnd(&stream);

    RawZipEntry entry(std::move(name), "", RawZipEntry::Method::deflated);
    std::string data;
    data.reserve(block.size() * mebibytes + end.size());
    const uLong chunkCRC = crc32(0, zeros.data(), chunk);
    uLong crc = crc32(0, Z_NULL, 0);
    for (uint32_t i = 0; i < mebibytes; ++i) {
        data += block;
        crc = crc32_combine(crc, chunkCRC, chunk);
    }
    entry.deflated = data + end;
    entry.crc = static_cast<uint32_t>(crc);
    entry.declaredSize = mebibytes * chunk;
    return entry;
}

std::string buildZip(const std::vector<RawZipEntry>& entries) {
    std::string out;
    std::string directory;
    for (const auto& entry : entries) {
        const std::string stored = entry.deflated  ? *entry.deflated
                                   : entry.deflate ? rawDeflate(entry.data)
                                                   : entry.data;
        const uint32_t crc = entry.crc.value_or(static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size()))));
        const uint32_t size = entry.declaredSize.value_or(static_cast<uint32_t>(entry.data.size()));
        const uint16_t method = entry.deflate || entry.deflated ? 8 : 0;
        const uint32_t offset = static_cast<uint32_t>(out.size());

        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, entry.flags);
        put16(out, method);
        put16(out, 0);     // time
        put16(out, 0x21);  // date: 1980-01-01
        put32(out, crc);
        put32(out, static_cast<uint32_t>(stored.size()));
        put32(out, size);
        put16(out, static_cast<uint32_t>(entry.name.size()));
        put16(out, 0);
        out += entry.name;
        out += stored;

        put32(directory, 0x02014b50);
        put16(directory, (3 << 8) | 20);  // made by Unix
        put16(directory, 20);
        put16(directory, entry.flags);
        put16(directory, method);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, static_cast<uint32_t>(stored.size()));
        put32(directory, size);
        put16(directory, static_cast<uint32_t>(entry.name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, entry.unixMode << 16);
        put32(directory, offset);
        directory += entry.name;
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<uint32_t>(entries.size()));
    put16(out, static_cast<uint32_t>(entries.size()));
    put32(out, static_cast<uint32_t>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

std::string readFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

CassetteType shortType() { return CassetteType::custom(3); }

FileData pngBytes(int seed) {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    bytes += "image-" + std::to_string(seed);
    return FileData(bytes);
}

FileData jpegBytes(int seed) {
    std::string bytes = "\xFF\xD8\xFF\xE0";
    bytes += "jpeg-" + std::to_string(seed);
    return FileData(bytes);
}

CassetteDocument fullDocument() {
    test::FakeClock clock(Date{std::chrono::seconds(1'780'000'000)});
    CassetteDocument document(shortType(), "Summer mix", CassetteStyleCatalog::all()[3].design, clock);
    document.creator = "Ana";
    document.description = "Songs for the drive";
    document.genre = "Synth-pop";
    document.notes = "Side B needs a better ending";
    document.sideA.title = "Morning";
    document.sideB.title = "Evening";
    document.sideB.writeProtect = WriteProtect::tapedOver;
    document.sideA.markers = {{0, "Opening", "file", {}}, {44100, "Second", "radio", {{"x_confidence", 0.5}}}};
    document.sideB.markers = {{22050, "Late", "file", {}}};
    document.design.labelColor = *RGBAColor::fromHex("#10203040");
    document.jcard.title = "Summer";
    document.jcard.subtitle = "2026";
    document.jcard.spineText = "SUMMER MIX";
    document.jcard.flapText = "for Ana";
    document.jcard.sideATracks = {"Opening", "Second"};
    document.jcard.sideBTracks = {"Late"};
    document.jcard.dedication = "With love";
    document.jcard.cardColor = *RGBAColor::fromHex("#FFEEDDFF");
    document.jcard.font = FontRole::typewriter;
    int seed = 0;
    for (ArtworkRole role : allArtworkRoles) document.artwork[role] = seed % 2 ? jpegBytes(seed++) : pngBytes(seed++);
    document.bookletPanels = {pngBytes(100), jpegBytes(101)};
    document.noteRecording(TapeSide::a, 0, 88200, "file", "MP3 44.1 kHz", {}, clock.now());
    HistoryEvent future;
    future.type = "mastered";
    future.timestamp = clock.now();
    future.extra = {{"engineer", "Bo"}, {"loudness", -14}};
    document.history.push_back(future);
    document.carriedManifest = {{"x_future", JSONValue::Object{{"level", 3}}},
                                {"design", JSONValue::Object{{"x_sparkle", true}}}};
    document.carriedEntries = {{"extras/liner-notes.txt", FileData(std::string_view("Recorded in one take."))}};
    return document;
}

void recordTone(TapeMedia& media, TapeSide side, int64_t frames, int64_t clickFrame, double frequency) {
    int16_t* out = media.storage(side).frames();
    for (int64_t i = 0; i < frames; ++i) out[2 * i] = out[2 * i + 1] = toneSample(i, frequency);
    if (clickFrame < frames) out[2 * clickFrame] = out[2 * clickFrame + 1] = 30000;
    media.noteWritten(side, frames);
}

int64_t findClick(const TapeMedia& media, TapeSide side, int64_t frames, double frequency) {
    const int16_t* in = media.storage(side).frames();
    int64_t best = -1;
    int bestDifference = -1;
    for (int64_t i = 0; i < frames; ++i) {
        const int difference = std::abs(in[2 * i] - toneSample(i, frequency));
        if (difference > bestDifference) {
            bestDifference = difference;
            best = i;
        }
    }
    return best;
}

TapeFileCodec::MediaFactory mediaFactory(const std::filesystem::path& root) {
    return [root](const CassetteType& type) { return std::make_shared<TapeMedia>(type, root); };
}

CommandResult runCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace norvo::test
