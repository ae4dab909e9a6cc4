#include "NorvoStudio/Support/ScriptedStudioUi.hpp"

namespace norvo::test {

StudioUi::SaveChoice ScriptedStudioUi::askToSaveChanges(const QString& message, const QString& informativeText) {
    prompts.push_back({message, informativeText});
    if (whileModal) whileModal();
    if (saveChoices.empty()) return SaveChoice::cancel;
    const SaveChoice choice = saveChoices.front();
    saveChoices.pop_front();
    return choice;
}

StudioUi::RecoverChoice ScriptedStudioUi::askToRecover(const QString& message, const QString& informativeText) {
    recoverPrompts.push_back({message, informativeText});
    if (whileModal) whileModal();
    if (recoverChoices.empty()) return RecoverChoice::keep;
    const RecoverChoice choice = recoverChoices.front();
    recoverChoices.pop_front();
    return choice;
}

std::vector<std::filesystem::path> ScriptedStudioUi::runOpenPanel(const FilePanel& panel) {
    openPanels.push_back(panel);
    if (whileModal) whileModal();
    if (openAnswers.empty()) return {};
    auto answer = std::move(openAnswers.front());
    openAnswers.pop_front();
    return answer;
}

std::optional<std::filesystem::path> ScriptedStudioUi::runSavePanel(const FilePanel& panel) {
    savePanels.push_back(panel);
    if (whileModal) whileModal();
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = std::move(saveAnswers.front());
    saveAnswers.pop_front();
    return answer;
}

QImage ScriptedStudioUi::renderThumbnail(const CassetteDocument&, const ArtworkImages&) {
    ++thumbnails;
    if (thumbnailFails) return {};
    QImage image(1024, 1024, QImage::Format_ARGB32);
    image.fill(QColor(0x30, 0x60, 0x90));
    return image;
}

}  // namespace norvo::test
