#include "Tuner/DesktopServices.hpp"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>

namespace norvo {

void SystemDesktopServices::copyPlainText(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data);
}

void SystemDesktopServices::openInBrowser(const QUrl& url) { QDesktopServices::openUrl(url); }

}  // namespace norvo
