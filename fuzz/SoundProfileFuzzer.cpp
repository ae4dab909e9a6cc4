// Feeds arbitrary bytes to the sound-profile reader. Whatever it accepts must export and
// read back to the same profile, and must drive the processor to finite output.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "AudioEngine/TapeSound/SoundProfile.hpp"
#include "AudioEngine/TapeSound/SoundProfileError.hpp"
#include "AudioEngine/TapeSound/TapeSoundProcessor.hpp"

using namespace norvo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SoundProfile::ParseResult result;
    try {
        result = SoundProfile::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const SoundProfileError& error) {
        if (error.issue.severity != SoundIssue::Severity::error || error.issue.message.empty()) std::abort();
        return 0;
    }
    for (const SoundIssue& warning : result.warnings)
        if (warning.severity != SoundIssue::Severity::warning || warning.path.rfind("tape", 0) != 0) std::abort();

    // The export is read from the document, not the bytes: it must always read back.
    // (Re-encoding may outgrow the size limit, so read it as a document.)
    auto again = SoundProfile::parseDocument(*JSONValue::parse(result.profile.encodedData()));
    if (!(again.profile == result.profile) || again.warnings != result.warnings) std::abort();
    (void)result.profile.suggestedFileName();

    TapeSoundProcessor processor(result.profile);
    float left[512], right[512];
    for (int i = 0; i < 512; ++i) {
        left[i] = (i % 7 == 0) ? 1.0f : -0.5f;
        right[i] = (i % 3 == 0) ? -1.0f : 0.25f;
    }
    processor.process(left, right, 512);
    for (int i = 0; i < 512; ++i)
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) std::abort();
    return 0;
}
