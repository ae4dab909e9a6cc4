// The whole studio: empty and recording from the player, at the design size and at the
// smallest window.
#include "Gallery.hpp"
#include "GalleryStudio.hpp"

#include "NorvoStudioApp/StudioView.hpp"

#include <QThread>

using namespace norvo;

namespace {

void studioPictures(gallery::Gallery& g) {
    for (const QSize size : {QSize(1232, 920), QSize(924, 690)}) {
        gallery::GalleryStudio studio;
        StudioView view(*studio.model, studio.faces->faces());
        view.resize(size);
        g.widget(QStringLiteral("studio-empty-%1x%2").arg(size.width()).arg(size.height()), view);
    }
    for (const QSize size : {QSize(1232, 920), QSize(924, 690)}) {
        gallery::GalleryStudio studio;
        StudioView view(*studio.model, studio.faces->faces());
        view.resize(size);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();  // starts the model with the offline output

        studio.model->cassetteSlot().newCassette(CassetteType::c60());
        studio.runBackground();
        const auto song = studio.file("Morning Tide.wav");
        gallery::writeWav(song, 20, 14000);
        SourcePlayerEngine& source = studio.model->source();
        source.add({song});
        studio.settle([&] { return !source.tracks().empty() && source.tracks()[0].durationFrames.has_value(); });
        source.play(source.tracks()[0].id);
        studio.settle([&] { return source.state() == SourcePlayerEngine::State::playing; });
        studio.model->tick();
        studio.model->transport(TransportCommand::record);
        // Four seconds of recording, ticked as the application would.
        for (int i = 0; i < 240 && studio.output; ++i) {
            QThread::usleep(300);               // the decoder thread keeps ahead of this offline render
            QCoreApplication::processEvents();  // the player installs its stream from a worker
            studio.output->renderFrames(735);
            studio.model->tick();
        }
        QCoreApplication::processEvents();
        g.widget(QStringLiteral("studio-recording-%1x%2").arg(size.width()).arg(size.height()), view);
        studio.model->transport(TransportCommand::stop);
        studio.model->tick();
    }
}

static gallery::Registrar area("studio", &studioPictures);

}  // namespace
