#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QStringList>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace norvo {

// The studio's open and save panels. Qt's own file dialog lists a folder through Qt's
// directory iterator, which leaves out every name that is not UTF-8, and it cannot even
// enter a folder so named: a file an old disk called "café" in Latin-1 could not be
// chosen, nor a cassette saved beside itself in such a folder. This panel reads folders
// itself: every entry keeps the bytes the system gave, is shown with U+FFFD where they
// are not UTF-8, and is opened or replaced by those bytes.
class FilePanelDialog final : public QDialog {
    Q_OBJECT
public:
    enum class Mode { open, save };

    struct Options {
        Mode mode = Mode::open;
        QString message;                    // the window's title and the line above the list
        QStringList nameFilters;            // "Audio (*.mp3 *.wav)"; the first applies at first
        bool multipleSelection = false;     // open panels
        std::filesystem::path directory;    // where it starts; the home folder when it is no folder
        QString proposedName;               // save panels: the name offered, extension included
        bool canCreateDirectories = false;  // save panels
        // Reads folders off the main thread (a slow disk must not stop the studio);
        // nothing means Qt's global thread pool.
        std::function<void(std::function<void()>)> runInBackground;
    };

    struct Entry {
        std::string name;  // the bytes
        bool folder = false;
        bool operator==(const Entry&) const = default;
    };
    struct Listing {
        std::vector<Entry> entries;
        QString error;  // why the folder cannot be read; empty when it could
    };

    explicit FilePanelDialog(Options options, QWidget* parent = nullptr);
    ~FilePanelDialog() override;

    const std::filesystem::path& directory() const { return directory_; }
    // Shows a folder; its entries arrive once it has been read (then `listed` is emitted).
    void setDirectory(const std::filesystem::path& folder);
    // What the list shows, in order.
    const std::vector<Entry>& entries() const { return shown_; }
    // Selects the listed entries with these names.
    void selectNames(const std::vector<std::string>& names);
    // Save panels: the name typed.
    QString name() const;
    void setName(const QString& name);
    // Save panels: makes a folder in the one shown and goes into it; false when it cannot.
    bool createFolder(const QString& name);
    // The files chosen when the panel was accepted (one for a save panel), in list order.
    std::vector<std::filesystem::path> chosenFiles() const { return chosen_; }

    // The hidden entries (a leading dot) left out, folders first, each group by shown name
    // without regard to case; files only when a pattern matches (case-insensitively).
    static Listing list(const std::filesystem::path& folder, const QStringList& patterns);
    // "Audio (*.mp3 *.wav)" gives "*.mp3" and "*.wav".
    static QStringList patterns(const QString& nameFilter);
    // The extension a save panel adds to a name typed without it: that of the first filter.
    static QString defaultSuffix(const QStringList& nameFilters);

    void accept() override;

signals:
    void listed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showListing(uint64_t serial, const Listing& listing);
    void activate(QListWidgetItem* item);
    void goUp();
    void goTo(const QString& typed);
    void acceptOpen();
    void acceptSave();
    void askForFolder();
    void refreshButtons();
    std::vector<const Entry*> selectedEntries() const;

    Options options_;
    std::filesystem::path directory_;
    std::vector<Entry> shown_;
    std::vector<std::filesystem::path> chosen_;
    uint64_t serial_ = 0;

    QLabel* message_;
    QLineEdit* location_;
    QLineEdit* name_ = nullptr;
    QListWidget* list_;
    QLabel* status_;
    QComboBox* filter_;
    QDialogButtonBox* buttons_;
    QPushButton* accept_;
};

}  // namespace norvo
