#pragma once
#include <stdexcept>
#include <string>

namespace norvo {

// The engine's error; what() is the sentence a user sees.
class NorvoAudioError : public std::runtime_error {
public:
    enum class Kind { unsupportedFormat, conversionFailed, storage, fileUnavailable };

    static NorvoAudioError unsupportedFormat(const std::string& detail) { return {Kind::unsupportedFormat, detail}; }
    static NorvoAudioError conversionFailed(const std::string& detail) { return {Kind::conversionFailed, detail}; }
    static NorvoAudioError storage(const std::string& detail) { return {Kind::storage, detail}; }
    // The file itself cannot be had (missing, not a regular file, no permission): a whole
    // sentence of its own, since nothing is wrong with its format.
    static NorvoAudioError fileUnavailable(const std::string& sentence) { return {Kind::fileUnavailable, sentence}; }

    Kind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }

private:
    NorvoAudioError(Kind kind, const std::string& detail)
        : std::runtime_error(prefix(kind) + detail), kind_(kind), detail_(detail) {}

    static std::string prefix(Kind kind) {
        switch (kind) {
        case Kind::unsupportedFormat: return "Unsupported audio format: ";
        case Kind::conversionFailed: return "Audio conversion failed: ";
        case Kind::storage: return "Tape storage error: ";
        case Kind::fileUnavailable: return "";
        }
        return "";
    }

    Kind kind_;
    std::string detail_;
};

}  // namespace norvo
