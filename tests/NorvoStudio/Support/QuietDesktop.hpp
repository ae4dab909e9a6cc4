#pragma once
#include <QString>
#include <QUrl>

#include "Tuner/DesktopServices.hpp"

namespace norvo::test {

// A desktop whose clipboard and browser are never reached.
class QuietDesktop final : public DesktopServices {
public:
    void copyPlainText(const QString&) override {}
    void openInBrowser(const QUrl&) override {}
};

}  // namespace norvo::test
