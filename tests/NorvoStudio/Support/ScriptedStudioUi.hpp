#pragma once
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include <QColor>

#include "StudioModel/StudioUi.hpp"

namespace norvo::test {

// The desktop as a test scripts it: answers are taken from the queues in order; with
// none left a prompt answers cancel and a panel is cancelled. Every question is kept.
class ScriptedStudioUi final : public StudioUi {
public:
    struct Prompt {
        QString message;
        QString informativeText;
    };

    SaveChoice askToSaveChanges(const QString& message, const QString& informativeText) override;
    RecoverChoice askToRecover(const QString& message, const QString& informativeText) override;
    std::vector<std::filesystem::path> runOpenPanel(const FilePanel& panel) override;
    std::optional<std::filesystem::path> runSavePanel(const FilePanel& panel) override;
    void beep() override { ++beeps; }
    void noteRecentDocument(const std::filesystem::path& file) override { recentDocuments.push_back(file); }
    QImage renderThumbnail(const CassetteDocument& document, const ArtworkImages& images) override;

    // Scripted answers.
    std::deque<SaveChoice> saveChoices;
    // With none left, a cassette offered back is kept for later.
    std::deque<RecoverChoice> recoverChoices;
    std::deque<std::vector<std::filesystem::path>> openAnswers;
    std::deque<std::optional<std::filesystem::path>> saveAnswers;
    // Runs inside a prompt or panel, as the tick and finished work do in a modal loop.
    std::function<void()> whileModal;
    bool thumbnailFails = false;

    // What was asked.
    std::vector<Prompt> prompts;
    std::vector<Prompt> recoverPrompts;
    std::vector<FilePanel> openPanels;
    std::vector<FilePanel> savePanels;
    std::vector<std::filesystem::path> recentDocuments;
    int beeps = 0;
    int thumbnails = 0;
};

}  // namespace norvo::test
