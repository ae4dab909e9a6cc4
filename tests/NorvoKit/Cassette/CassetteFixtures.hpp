#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteDocument.hpp"
#include "Cassette/TapeFileCodec.hpp"

namespace norvo::test {

// One entry of a ZIP built byte by byte, so tests can make the archives no sane
// writer makes: lying sizes and CRCs, duplicate names, NUL bytes, encryption flags.
struct RawZipEntry {
    enum class Method { stored, deflated };

    RawZipEntry(std::string name, std::string data, Method method = Method::stored)
        : name(std::move(name)), data(std::move(data)), deflate(method == Method::deflated) {}
    // A deflated entry whose headers claim `declaredSize` bytes.
    static RawZipEntry claiming(std::string name, std::string data, uint32_t declaredSize) {
        RawZipEntry entry(std::move(name), std::move(data), Method::deflated);
        entry.declaredSize = declaredSize;
        return entry;
    }
    // A deflated entry of `mebibytes` MiB of zeros, built without holding them: about a
    // kilobyte in the archive for every mebibyte it inflates to.
    static RawZipEntry inflatingZeros(std::string name, uint32_t mebibytes);
    static RawZipEntry symbolicLink(std::string name, std::string target) {
        RawZipEntry entry(std::move(name), std::move(target));
        entry.unixMode = 0120777;
        return entry;
    }

    std::string name;
    std::string data;
    bool deflate = false;
    std::optional<uint32_t> crc;           // instead of the real CRC-32, in both headers
    std::optional<uint32_t> declaredSize;  // instead of the real size, in both headers
    uint16_t flags = 0;                    // general purpose flags; bit 0 marks encryption
    uint32_t unixMode = 0100644;           // S_IFLNK | 0777 makes a symbolic link
    std::optional<std::string> deflated;   // written as the deflated data (crc and declaredSize given)
};

std::string buildZip(const std::vector<RawZipEntry>& entries);
std::string rawDeflate(const std::string& data);

std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::string& bytes);

// A short custom cassette, so encoding both sides takes a fraction of a second.
CassetteType shortType();
// A document with every field set: texts, design, J-card, markers on both sides,
// artwork of every role, booklet panels, history with extra keys, carried manifest
// keys and a carried container entry.
CassetteDocument fullDocument();
// A tiny valid PNG and JPEG header, enough for the container (which never decodes images).
FileData pngBytes(int seed);
FileData jpegBytes(int seed);

// A quiet tone with a one-frame click at `clickFrame` on the side, `frames` long.
void recordTone(TapeMedia& media, TapeSide side, int64_t frames, int64_t clickFrame, double frequency);
// The frame at which the decoded side departs most from the tone recorded by recordTone.
int64_t findClick(const TapeMedia& media, TapeSide side, int64_t frames, double frequency);

// Workspaces of read cassettes under a folder of the test's own.
TapeFileCodec::MediaFactory mediaFactory(const std::filesystem::path& root);

struct CommandResult {
    int status = -1;
    std::string output;
};
// Runs a shell command and collects its standard output and error.
CommandResult runCommand(const std::string& command);

}  // namespace norvo::test
