#pragma once
#include <functional>

#include <QString>

namespace norvo {

// The window title's announcements: one whenever its text differs from the last one
// announced. An operation that changes several of the values the title shows holds the
// announcements back, and the title is announced once, at its end. Main thread only.
class WindowTitle {
public:
    // `text` gives the title now; `announce` tells the views it changed.
    WindowTitle(std::function<QString()> text, std::function<void()> announce);
    WindowTitle(const WindowTitle&) = delete;
    WindowTitle& operator=(const WindowTitle&) = delete;

    // Takes the title as it is now as announced (once everything it reads exists).
    void adoptCurrent();
    // Announces the title when it changed, unless held.
    void noteMaybeChanged();

    class Hold {
    public:
        explicit Hold(WindowTitle& title);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        WindowTitle& title_;
    };

private:
    std::function<QString()> text_;
    std::function<void()> announce_;
    QString published_;
    int holds_ = 0;
};

}  // namespace norvo
