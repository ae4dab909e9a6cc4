#pragma once
#include <QInputMethodEvent>

namespace norvo {

// An input method's composition in a text input bound to the document: while it runs,
// a refresh from the document waits, and it is applied once the composition ends.
class TextComposition {
public:
    bool active() const { return active_; }

    // Before the input handles the event: a preedit text starts or continues the
    // composition. False when the event ends it (a commit or a cancel); the caller then
    // calls end() after handling it.
    bool note(const QInputMethodEvent& event) {
        const bool preedit = !event.preeditString().isEmpty();
        if (preedit) active_ = true;
        return preedit;
    }
    // On a refresh: true when it has to wait for the composition to end.
    bool holdsRefresh() {
        refreshWaiting_ = active_;
        return active_;
    }
    // Ends a running composition; false when none was running.
    bool end() {
        if (!active_) return false;
        active_ = false;
        return true;
    }
    // Whether a refresh waited for the composition that just ended.
    bool refreshWaiting() const { return refreshWaiting_; }

private:
    bool active_ = false;
    bool refreshWaiting_ = false;
};

}  // namespace norvo
