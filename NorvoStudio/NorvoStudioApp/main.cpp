#include <cstdio>

#include <QApplication>
#include <QIcon>

#include "NorvoStudioApp/ProcessLocale.hpp"
#include "NorvoStudioApp/QtStudioUi.hpp"
#include "NorvoStudioApp/RackFaces.hpp"
#include "NorvoStudioApp/SingleInstance.hpp"
#include "NorvoStudioApp/StudioShell.hpp"
#include "NorvoStudioApp/StudioWindow.hpp"
#include "NorvoStudioApp/TerminationSignals.hpp"
#include "Platform/DefaultsStore.hpp"
#include "Platform/ShownName.hpp"
#include "Platform/StudioVersion.hpp"
#include "Rack/EnginePlayer.hpp"
#include "Rack/ModelDeck.hpp"
#include "StudioModel/QtMainExecutor.hpp"
#include "StudioModel/StandardStudioServices.hpp"
#include "StudioModel/StudioModel.hpp"
#include "Tuner/DesktopServices.hpp"
#include "Tuner/EngineTuner.hpp"
#include "Tuner/Haptics.hpp"
#include "Tuner/TunerServices.hpp"

namespace {

// Why a launch that found a running studio opened nothing, for the terminal or the
// desktop's log.
QString notHandedOver(norvo::SingleInstance::HandOver outcome, std::size_t documents) {
    const QString given = documents == 1 ? QStringLiteral("the document given to this launch")
                                         : QStringLiteral("the %1 documents given to this launch").arg(documents);
    if (outcome == norvo::SingleInstance::HandOver::refused)
        return documents == 0 ? QStringLiteral("Norvo Studio is already running and turned this launch down.")
                              : QStringLiteral("Norvo Studio is already running and turned down ") + given +
                                    QStringLiteral("; nothing was opened.");
    return documents == 0
               ? QStringLiteral("Norvo Studio is already running but did not answer.")
               : QStringLiteral("Norvo Studio is already running but did not answer; ") + given +
                     (documents == 1 ? QStringLiteral(" was not opened.") : QStringLiteral(" were not opened."));
}

// Names, for the terminal, a document the hand-over left out.
void sayLeftOut(const std::filesystem::path& path) {
    std::fprintf(stderr, "Norvo Studio: \u201C%s\u201D was not handed over: its path is longer than %zu bytes.\n",
                 norvo::ShownName::inSentence(path.filename().native()).c_str(), norvo::SingleInstance::longestPath);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace norvo;
    Q_INIT_RESOURCE(NorvoStudioApp);

    QApplication app(argc, argv);
    // Before any window has a title: the same texts whatever locale the system has.
    ProcessLocale::makeUniform();
    QApplication::setApplicationName(QStringLiteral("Norvo Studio"));
    QApplication::setApplicationVersion(QStringLiteral(NORVO_STUDIO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.norvo.Studio"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/norvo/org.norvo.Studio.svg")));
    // Closing the window runs the quit decision, which may keep the studio running.
    QApplication::setQuitOnLastWindowClosed(false);

    // Documents come as arguments, from the desktop's "Exec=norvo-studio %F", as the
    // system's bytes: QApplication::arguments() would decode a name that is not UTF-8
    // beyond repair. Qt has taken out the arguments it handles itself.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const std::vector<std::filesystem::path> documents = SingleInstance::documentPaths(arguments);
    const QString socketPath = SingleInstance::standardSocketPath();
    const SingleInstance::HandOver handed = SingleInstance::handOver(socketPath, documents);
    if (handed == SingleInstance::HandOver::delivered) {
        for (const std::filesystem::path& path : SingleInstance::leftOut(documents)) sayLeftOut(path);
        return 0;
    }
    if (handed != SingleInstance::HandOver::noStudio) {
        // A second studio would take the socket from the first: later launches would reach
        // whichever started last, and both would write the same settings.
        std::fprintf(stderr, "%s\n", notHandedOver(handed, documents.size()).toUtf8().constData());
        return 1;
    }
    QtMainExecutor executor;
    SingleInstance instance(socketPath, executor);
    if (!instance.listen())
        qWarning("Norvo Studio: later launches cannot hand documents to this one: %s",
                 qPrintable(instance.errorString()));

    FileDefaultsStore defaults(FileDefaultsStore::standardLocation());
    QtStudioUi ui(defaults);
    StandardStudioServices standard;
    StudioModel model(standard.services(executor, defaults, ui));

    // The faces' inputs: the player over its engine, the deck over the model, the tuner's engine behind its facade with
    // the desktop's clipboard and browser.
    EnginePlayer player(model);
    ModelDeck deck(model, SystemClock::shared());
    EngineTuner tuner(model.tuner());
    SystemDesktopServices desktop;
    Haptics haptics;
    const TunerServices tunerFace{
        tuner, executor, SystemClock::shared(), desktop, Locale::current().identifier(), haptics, [&model] {
            return model.live().tunerMeter();
        }};
    const RackFaces faces{.player = player, .deck = deck, .tuner = tunerFace};

    StudioShell shell(model, faces, [](int status) { QCoreApplication::exit(status); });
    ui.setWindow(&shell.window());
    shell.openDocuments(documents);
    shell.acceptHandOvers(instance);
    shell.window().show();

    TerminationSignals termination;
    shell.acceptTermination(termination);

    const int status = QApplication::exec();
    // A moment for a recent-document note or a beep still under way; one stuck in a read
    // that never ends (a list on a share that hangs) is left behind.
    ui.waitForIdle(std::chrono::seconds(1));
    // Destroyed in reverse order: the window, what its faces read, then the model, which waits
    // for the saves and workspace releases still running (they use the executor, the settings
    // and the model's media) and leaves a read that hangs behind; then what the model was built on.
    return status;
}
