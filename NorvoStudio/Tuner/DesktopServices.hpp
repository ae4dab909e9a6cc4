#pragma once
#include <QString>
#include <QUrl>

namespace norvo {

// The desktop's clipboard and browser, as the station guide uses them.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Replaces the clipboard's content with one plain-text item.
    virtual void copyPlainText(const QString& text) = 0;
    // Opens a web address in the user's browser; a failure is not reported.
    virtual void openInBrowser(const QUrl& url) = 0;
};

// The application's: QGuiApplication's clipboard and QDesktopServices.
class SystemDesktopServices final : public DesktopServices {
public:
    void copyPlainText(const QString& text) override;
    void openInBrowser(const QUrl& url) override;
};

}  // namespace norvo
