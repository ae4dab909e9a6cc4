#pragma once
#include "AudioEngine/SourceStreamFactory.hpp"

namespace norvo {

// Opens DecodedSourceStreams of audio files; the source player's real factory.
class DecodedSourceStreamFactory final : public SourceStreamFactory {
public:
    std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame,
                                       std::optional<int64_t> measuredFrames = std::nullopt) override;
    std::optional<int64_t> probeDuration(const std::filesystem::path& file,
                                         const std::atomic<bool>* cancelled = nullptr) override;
};

}  // namespace norvo
