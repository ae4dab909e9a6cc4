#include "NorvoStudioApp/FilePanelDialog.hpp"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <QToolButton>
#include <QVBoxLayout>

#include "StudioModel/LocalPath.hpp"
#include "StudioModel/ShownText.hpp"

namespace norvo {

namespace {

constexpr int entryRole = Qt::UserRole;  // index into shown_

std::filesystem::path homeFolder() { return LocalPath::home("/"); }

// A row draws its name isolated, as the faces draw names; the row's own text stays
// without the isolates, so that typing a name's first letters still finds it.
class IsolatedRows final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QString displayText(const QVariant& value, const QLocale& locale) const override {
        const QString text = QStyledItemDelegate::displayText(value, locale);
        return text.isEmpty() ? text : ShownText::firstStrongIsolate + text + ShownText::popDirectionalIsolate;
    }
};

// The folder as the location line shows it: every name drawable, and one in a
// right-to-left script isolated, so that two such names in a row keep their order.
QString shownLocation(const std::filesystem::path& folder) {
    QString shown;
    for (const std::filesystem::path& part : folder) {
        if (part == folder.root_directory()) {
            shown += QLatin1Char('/');
            continue;
        }
        if (!shown.isEmpty() && !shown.endsWith(QLatin1Char('/'))) shown += QLatin1Char('/');
        shown += ShownText::isolatedWhenRightToLeft(part.native());
    }
    return shown;
}

QString shownName(const QString& name) {
    const QByteArray bytes = name.toUtf8();
    return ShownText::plain(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

}  // namespace

FilePanelDialog::FilePanelDialog(Options options, QWidget* parent) : QDialog(parent), options_(std::move(options)) {
    const bool saving = options_.mode == Mode::save;
    setWindowTitle(options_.message.isEmpty() ? (saving ? tr("Save As") : tr("Open")) : options_.message);
    if (!options_.runInBackground)
        options_.runInBackground = [](std::function<void()> work) {
            QThreadPool::globalInstance()->start(std::move(work));
        };

    message_ = new QLabel(options_.message, this);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setVisible(!options_.message.isEmpty());

    auto* up = new QToolButton(this);
    up->setObjectName(QStringLiteral("up"));
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(tr("Enclosing folder"));
    connect(up, &QToolButton::clicked, this, &FilePanelDialog::goUp);
    auto* home = new QToolButton(this);
    home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    home->setToolTip(tr("Home folder"));
    connect(home, &QToolButton::clicked, this, [this] { setDirectory(homeFolder()); });
    location_ = new QLineEdit(this);
    location_->setObjectName(QStringLiteral("location"));
    connect(location_, &QLineEdit::returnPressed, this, [this] {
        // The isolates are the line's own; a name holding one shows U+FFFD in its place.
        QString typed = location_->text();
        goTo(typed.remove(ShownText::firstStrongIsolate).remove(ShownText::popDirectionalIsolate));
    });

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("entries"));
    list_->setSelectionMode(options_.multipleSelection && !saving ? QAbstractItemView::ExtendedSelection
                                                                  : QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    list_->setItemDelegate(new IsolatedRows(list_));
    list_->installEventFilter(this);
    connect(list_, &QListWidget::itemActivated, this, &FilePanelDialog::activate);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        // A save panel takes the name of a file clicked in the list.
        if (name_) {
            const auto selected = selectedEntries();
            if (selected.size() == 1 && !selected.front()->folder)
                name_->setText(ShownText::plain(selected.front()->name));
        }
        refreshButtons();
    });
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    status_->hide();

    filter_ = new QComboBox(this);
    filter_->addItems(options_.nameFilters);
    filter_->setVisible(!options_.nameFilters.isEmpty());
    connect(filter_, &QComboBox::currentIndexChanged, this, [this] { setDirectory(directory_); });

    buttons_ =
        new QDialogButtonBox((saving ? QDialogButtonBox::Save : QDialogButtonBox::Open) | QDialogButtonBox::Cancel,
                             this);
    accept_ = buttons_->button(saving ? QDialogButtonBox::Save : QDialogButtonBox::Open);
    connect(buttons_, &QDialogButtonBox::accepted, this, &FilePanelDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &FilePanelDialog::reject);
    if (saving && options_.canCreateDirectories) {
        QPushButton* newFolder = buttons_->addButton(tr("New Folder"), QDialogButtonBox::ActionRole);
        newFolder->setObjectName(QStringLiteral("newFolder"));
        connect(newFolder, &QPushButton::clicked, this, &FilePanelDialog::askForFolder);
    }

    auto* locationRow = new QHBoxLayout;
    locationRow->addWidget(up);
    locationRow->addWidget(home);
    locationRow->addWidget(location_, 1);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(filter_, 1);
    bottomRow->addWidget(buttons_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    if (saving) {
        name_ = new QLineEdit(shownName(options_.proposedName), this);
        name_->setObjectName(QStringLiteral("name"));
        connect(name_, &QLineEdit::textChanged, this, &FilePanelDialog::refreshButtons);
        auto* nameRow = new QFormLayout;
        nameRow->addRow(tr("Save as:"), name_);
        layout->addLayout(nameRow);
    }
    layout->addLayout(locationRow);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    layout->addLayout(bottomRow);
    resize(720, 480);

    setDirectory(LocalPath::isDirectory(options_.directory) ? options_.directory : homeFolder());
    if (name_) {
        // The name without its extension is selected, ready to be typed over.
        const int dot = name_->text().lastIndexOf(QLatin1Char('.'));
        name_->setSelection(0, dot > 0 ? dot : int(name_->text().size()));
        name_->setFocus();
    } else {
        list_->setFocus();
    }
}

FilePanelDialog::~FilePanelDialog() = default;

QStringList FilePanelDialog::patterns(const QString& nameFilter) {
    static const QRegularExpression inParentheses(QStringLiteral("\\(([^)]*)\\)"));
    const auto match = inParentheses.match(nameFilter);
    const QString list = match.hasMatch() ? match.captured(1) : nameFilter;
    return list.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString FilePanelDialog::defaultSuffix(const QStringList& nameFilters) {
    if (nameFilters.isEmpty()) return {};
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9+_-]+)"));
    const auto match = pattern.match(nameFilters.first());
    return match.hasMatch() ? match.captured(1) : QString();
}

FilePanelDialog::Listing FilePanelDialog::list(const std::filesystem::path& folder, const QStringList& patterns) {
    Listing listing;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        listing.error = QString::fromStdString(std::generic_category().message(errno));
        return listing;
    }
    std::vector<QByteArray> globs;
    for (const QString& pattern : patterns) globs.push_back(pattern.toUtf8());
    while (const dirent* entry = ::readdir(directory)) {
        const std::string name(entry->d_name);
        if (name.empty() || name.front() == '.') continue;
        const bool folderEntry = LocalPath::isDirectory(folder / name);
        if (!folderEntry && !globs.empty() && std::none_of(globs.begin(), globs.end(), [&](const QByteArray& glob) {
                return ::fnmatch(glob.constData(), name.c_str(), FNM_CASEFOLD) == 0;
            }))
            continue;
        listing.entries.push_back({name, folderEntry});
    }
    ::closedir(directory);
    // Each name decoded once, not at every comparison.
    struct Sorted {
        QString shown;
        Entry entry;
    };
    std::vector<Sorted> sorted;
    sorted.reserve(listing.entries.size());
    for (Entry& entry : listing.entries) sorted.push_back({ShownText::plain(entry.name), std::move(entry)});
    std::sort(sorted.begin(), sorted.end(), [](const Sorted& a, const Sorted& b) {
        if (a.entry.folder != b.entry.folder) return a.entry.folder;
        const int order = a.shown.compare(b.shown, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.entry.name < b.entry.name;
    });
    for (std::size_t i = 0; i < sorted.size(); ++i) listing.entries[i] = std::move(sorted[i].entry);
    return listing;
}

void FilePanelDialog::setDirectory(const std::filesystem::path& folder) {
    directory_ = folder;
    location_->setText(shownLocation(folder));
    shown_.clear();
    list_->clear();
    status_->hide();
    refreshButtons();
    const uint64_t serial = ++serial_;
    const QStringList patterns =
        options_.nameFilters.isEmpty() ? QStringList() : FilePanelDialog::patterns(filter_->currentText());
    options_.runInBackground([panel = QPointer<FilePanelDialog>(this), folder, patterns, serial] {
        auto listing = std::make_shared<Listing>(list(folder, patterns));
        // The panel may be gone by now; the guarded pointer is only read on the main thread.
        QMetaObject::invokeMethod(
            qApp,
            [panel, serial, listing] {
                if (panel) panel->showListing(serial, *listing);
            },
            Qt::QueuedConnection);
    });
}

void FilePanelDialog::showListing(uint64_t serial, const Listing& listing) {
    if (serial != serial_) return;  // a folder left before it was read
    shown_ = listing.entries;
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        auto* item =
            new QListWidgetItem(shown_[i].folder ? folderIcon : fileIcon, ShownText::plain(shown_[i].name), list_);
        item->setData(entryRole, qulonglong(i));
    }
    if (!listing.error.isEmpty()) {
        status_->setText(tr("This folder cannot be read: %1").arg(listing.error));
        status_->show();
    }
    if (list_->count() > 0) list_->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    refreshButtons();
    emit listed();
}

void FilePanelDialog::selectNames(const std::vector<std::string>& names) {
    list_->clearSelection();
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const Entry& entry = shown_[item->data(entryRole).toULongLong()];
        if (std::find(names.begin(), names.end(), entry.name) != names.end()) item->setSelected(true);
    }
}

QString FilePanelDialog::name() const { return name_ ? name_->text() : QString(); }

void FilePanelDialog::setName(const QString& name) {
    if (name_) name_->setText(name);
}

std::vector<const FilePanelDialog::Entry*> FilePanelDialog::selectedEntries() const {
    std::vector<const Entry*> selected;
    for (int row = 0; row < list_->count(); ++row) {
        const QListWidgetItem* item = list_->item(row);
        if (item->isSelected()) selected.push_back(&shown_[item->data(entryRole).toULongLong()]);
    }
    return selected;
}

void FilePanelDialog::refreshButtons() {
    accept_->setEnabled(name_ ? !name_->text().trimmed().isEmpty() : !list_->selectedItems().isEmpty());
}

void FilePanelDialog::activate(QListWidgetItem* item) {
    // Return among several selected rows means them all, as the Open button does.
    if (selectedEntries().size() > 1) {
        accept();
        return;
    }
    const Entry& entry = shown_[item->data(entryRole).toULongLong()];
    if (entry.folder) {
        setDirectory(directory_ / entry.name);
        return;
    }
    list_->clearSelection();
    item->setSelected(true);
    accept();
}

bool FilePanelDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace || (key->key() == Qt::Key_Up && key->modifiers() & Qt::AltModifier)) {
            goUp();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FilePanelDialog::goUp() {
    if (directory_.has_relative_path()) setDirectory(directory_.parent_path());
}

void FilePanelDialog::goTo(const QString& typed) {
    // Typed text is UTF-8; a name shown with U+FFFD is found again among the real entries.
    std::filesystem::path target = LocalPath::resolve(typed.trimmed());
    if (target.is_relative()) target = directory_ / target;
    if (LocalPath::isDirectory(target)) {
        setDirectory(target);
        return;
    }
    if (options_.mode == Mode::open && LocalPath::onDisk(target)) {
        chosen_ = {target};
        QDialog::accept();
    }
}

void FilePanelDialog::accept() {
    if (options_.mode == Mode::save) acceptSave();
    else acceptOpen();
}

void FilePanelDialog::acceptOpen() {
    const auto selected = selectedEntries();
    std::vector<std::filesystem::path> files;
    for (const Entry* entry : selected)
        if (!entry->folder) files.push_back(directory_ / entry->name);
    if (files.empty()) {
        // Open on a folder alone goes into it.
        if (selected.size() == 1) setDirectory(directory_ / selected.front()->name);
        return;
    }
    chosen_ = std::move(files);
    QDialog::accept();
}

void FilePanelDialog::acceptSave() {
    const QString typed = name_->text().trimmed();
    if (typed.isEmpty()) return;
    std::filesystem::path target;
    if (typed.contains(QLatin1Char('/'))) {
        target = LocalPath::resolve(typed);
        if (target.is_relative()) target = directory_ / target;
    } else {
        // A name shown with U+FFFD stands for the entry it was read from.
        auto listed = std::find_if(shown_.begin(), shown_.end(),
                                   [&](const Entry& entry) { return ShownText::plain(entry.name) == typed; });
        target = directory_ / (listed != shown_.end() ? listed->name : typed.toStdString());
    }
    if (LocalPath::isDirectory(target)) {
        setDirectory(target);
        name_->clear();
        return;
    }
    // A document saved under another extension could not be opened again as one:
    // "notes.txt" becomes "notes.txt.norvo".
    const QString suffix = defaultSuffix(options_.nameFilters);
    if (!suffix.isEmpty() &&
        LocalPath::shown(target.extension()).compare(QLatin1Char('.') + suffix, Qt::CaseInsensitive) != 0)
        target += (QLatin1Char('.') + suffix).toStdString();
    if (LocalPath::onDisk(target)) {
        const QString shown = ShownText::inSentence(target.filename().native());
        QMessageBox question(QMessageBox::Question, QString(),
                             tr("\u201C%1\u201D already exists. Do you want to replace it?").arg(shown),
                             QMessageBox::Yes | QMessageBox::No, this);
        question.setTextFormat(Qt::PlainText);  // a file's name is never markup
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() != QMessageBox::Yes) return;
    }
    chosen_ = {target};
    QDialog::accept();
}

bool FilePanelDialog::createFolder(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('/')) || trimmed == QLatin1String(".") ||
        trimmed == QLatin1String(".."))
        return false;
    const std::filesystem::path folder = directory_ / trimmed.toStdString();
    if (::mkdir(folder.c_str(), 0777) != 0) {
        const int error = errno;
        QMessageBox warning(
            QMessageBox::Warning, QString(),
            tr("The folder cannot be made: %1").arg(QString::fromStdString(std::generic_category().message(error))),
            QMessageBox::Ok, this);
        warning.setTextFormat(Qt::PlainText);
        warning.exec();
        return false;
    }
    setDirectory(folder);
    return true;
}

void FilePanelDialog::askForFolder() {
    bool given = false;
    const QString name = QInputDialog::getText(this, tr("New Folder"), tr("Name of the new folder:"), QLineEdit::Normal,
                                               tr("untitled folder"), &given);
    if (given) createFolder(name);
}

}  // namespace norvo
