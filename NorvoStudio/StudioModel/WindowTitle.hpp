#pragma once
#include <functional>
#include <optional>

#include <QObject>
#include <QString>

namespace norvo {

// The window's title and its announcements: the cassette in the deck by name, marked
// while it has unsaved changes, or the studio's name. Whatever changes what it shows
// notes it, and the title announces itself whenever its text differs from the last one
// announced. An operation that changes several of those values holds the announcements
// back, and the title is announced once, at its end. Main thread only.
class WindowTitle final : public QObject {
    Q_OBJECT
public:
    // What the title shows of the cassette in the deck.
    struct Cassette {
        QString name;
        bool edited = false;
    };

    explicit WindowTitle(QObject* parent = nullptr) : QObject(parent) {}

    // The text last announced.
    const QString& text() const { return text_; }
    // Where the title learns about the cassette in the deck (nothing there: none is). The
    // text as it is then counts as announced.
    void follow(std::function<std::optional<Cassette>()> cassette);
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

signals:
    void changed();

private:
    QString current() const;

    std::function<std::optional<Cassette>()> cassette_;
    QString text_ = current();
    int holds_ = 0;
};

}  // namespace norvo
