// libFuzzer target: the cassette container reader fed hostile bytes, from memory and
// through a file. Any outcome but a clean CassetteFileError (or a good cassette) is a bug.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <system_error>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "AudioEngine/NorvoAudioError.hpp"
#include "AudioEngine/TapeMedia.hpp"
#include "Cassette/CassetteFileError.hpp"
#include "Cassette/TapeFileCodec.hpp"

namespace {

// Never destroyed, so the exit handler that removes it can still read it.
const std::filesystem::path& scratchFolder() {
    static const std::filesystem::path* folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvo-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) abort();
        return new std::filesystem::path(pattern);
    }();
    static const bool removedAtExit = [] {
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(*folder, ec);
        });
        return true;
    }();
    (void)removedAtExit;
    return *folder;
}

// Short cassettes only: a mutated manifest asking for a C120 would otherwise reserve
// over a gigabyte of side files per input.
std::shared_ptr<norvo::TapeMedia> smallMedia(const norvo::CassetteType& type) {
    if (type.sideSeconds > 30) throw norvo::NorvoAudioError::storage("too long for fuzzing");
    return std::make_shared<norvo::TapeMedia>(type, scratchFolder() / "workspaces");
}

void readQuietly(const std::function<void()>& read) {
    try {
        read();
    } catch (const norvo::CassetteFileError&) {
    } catch (const norvo::NorvoAudioError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const norvo::FileData bytes(std::string_view(reinterpret_cast<const char*>(data), size));
    readQuietly([&] { norvo::TapeFileCodec::read(bytes, {}, smallMedia); });

    // The file path reads the archive through its own descriptor; feed it the same bytes.
    const auto file = scratchFolder() / "input.norvo";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    readQuietly([&] { norvo::TapeFileCodec::read(file, {}, smallMedia); });
    return 0;
}
