#pragma once
#include "AudioEngine/SourceStreamFactory.hpp"

namespace norvo {

// Opens DecodedSourceStreams of audio files; the source player's real factory.
class DecodedSourceStreamFactory final : public SourceStreamFactory {
public:
    std::unique_ptr<SourceStream> open(const std::filesystem::path& file, int64_t startFrame) override;
    std::optional<int64_t> probeDuration(const std::filesystem::path& file) override;
};

}  // namespace norvo
