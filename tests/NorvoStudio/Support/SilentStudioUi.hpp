#pragma once
#include <filesystem>
#include <optional>
#include <vector>

#include "StudioModel/StudioUi.hpp"

namespace norvo::test {

// A desktop that shows nothing: panels are cancelled, prompts get one fixed answer.
// For benchmarks and the gallery, where nobody is there to answer.
class SilentStudioUi final : public StudioUi {
public:
    explicit SilentStudioUi(SaveChoice answer = SaveChoice::cancel) : answer_(answer) {}

    SaveChoice askToSaveChanges(const QString&, const QString&) override { return answer_; }
    // Nobody is there to decide: cassettes of earlier runs stay for later.
    RecoverChoice askToRecover(const QString&, const QString&) override { return RecoverChoice::keep; }
    std::vector<std::filesystem::path> runOpenPanel(const FilePanel&) override { return {}; }
    std::optional<std::filesystem::path> runSavePanel(const FilePanel&) override { return std::nullopt; }
    void beep() override {}
    void noteRecentDocument(const std::filesystem::path&) override {}
    QImage renderThumbnail(const CassetteDocument&, const ArtworkImages&) override { return {}; }

private:
    SaveChoice answer_;
};

}  // namespace norvo::test
