#include "NorvoStudioApp/RecentDocuments.hpp"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include "NorvoStudioApp/ApplicationLifetime.hpp"
#include "Platform/FileReplacement.hpp"
#include "Platform/RegularFile.hpp"

namespace norvo {

namespace {

const QString bookmarkNS = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString mimeNS = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

// Far more history than any desktop keeps; a larger list is left alone.
constexpr std::size_t maximumListBytes = std::size_t{64} << 20;

QString stamp(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }

void writeApplication(QXmlStreamWriter& out, const QString& time, int count) {
    out.writeEmptyElement(bookmarkNS, QStringLiteral("application"));
    out.writeAttribute(QStringLiteral("name"), QString::fromUtf8(RecentDocuments::applicationName));
    out.writeAttribute(QStringLiteral("exec"), QString::fromUtf8(RecentDocuments::applicationExec));
    out.writeAttribute(QStringLiteral("modified"), time);
    out.writeAttribute(QStringLiteral("count"), QString::number(count));
}

void writeMetadata(QXmlStreamWriter& out, const QString& mimeType, const QString& time) {
    out.writeStartElement(QStringLiteral("info"));
    out.writeStartElement(QStringLiteral("metadata"));
    out.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    out.writeEmptyElement(mimeNS, QStringLiteral("mime-type"));
    out.writeAttribute(QStringLiteral("type"), mimeType);
    out.writeStartElement(bookmarkNS, QStringLiteral("applications"));
    writeApplication(out, time, 1);
    out.writeEndElement();  // applications
    out.writeEndElement();  // metadata
    out.writeEndElement();  // info
}

void writeBookmark(QXmlStreamWriter& out, const QString& href, const QString& mimeType, const QString& time) {
    out.writeStartElement(QStringLiteral("bookmark"));
    out.writeAttribute(QStringLiteral("href"), href);
    out.writeAttribute(QStringLiteral("added"), time);
    out.writeAttribute(QStringLiteral("modified"), time);
    out.writeAttribute(QStringLiteral("visited"), time);
    writeMetadata(out, mimeType, time);
    out.writeEndElement();
}

void declareNamespaces(QXmlStreamWriter& out) {
    out.writeNamespace(bookmarkNS, QStringLiteral("bookmark"));
    out.writeNamespace(mimeNS, QStringLiteral("mime"));
}

// Copies the existing list token by token, touching only this file's entry.
bool merge(const QByteArray& existing, QXmlStreamWriter& out, const QString& href, const QString& mimeType,
           const QString& time) {
    QXmlStreamReader in(existing);
    bool sawRoot = false;
    bool inTarget = false;
    bool targetDone = false;  // the file's bookmark was found and refreshed
    bool applicationDone = false;
    int depth = 0;
    int targetDepth = -1;
    while (!in.atEnd()) {
        const auto token = in.readNext();
        if (token == QXmlStreamReader::Invalid) break;
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                if (in.name() != QLatin1String("xbel") || !in.namespaceUri().isEmpty()) return false;
                sawRoot = true;
                out.writeCurrentToken(in);
                bool hasBookmark = false, hasMime = false;
                for (const auto& d : in.namespaceDeclarations()) {
                    hasBookmark |= d.namespaceUri() == bookmarkNS;
                    hasMime |= d.namespaceUri() == mimeNS;
                }
                if (!hasBookmark) out.writeNamespace(bookmarkNS, QStringLiteral("bookmark"));
                if (!hasMime) out.writeNamespace(mimeNS, QStringLiteral("mime"));
                continue;
            }
            if (depth == 2 && in.name() == QLatin1String("bookmark") && in.namespaceUri().isEmpty() &&
                in.attributes().value(QLatin1String("href")) == href && !targetDone) {
                inTarget = true;
                targetDepth = depth;
                out.writeStartElement(QStringLiteral("bookmark"));
                for (const auto& a : in.attributes()) {
                    const auto name = a.qualifiedName();
                    if (name == QLatin1String("modified") || name == QLatin1String("visited")) continue;
                    out.writeAttribute(a);
                }
                if (!in.attributes().hasAttribute(QLatin1String("added")))
                    out.writeAttribute(QStringLiteral("added"), time);
                out.writeAttribute(QStringLiteral("modified"), time);
                out.writeAttribute(QStringLiteral("visited"), time);
                continue;
            }
            if (inTarget && in.name() == QLatin1String("application") && in.namespaceUri() == bookmarkNS &&
                in.attributes().value(QLatin1String("name")) == QLatin1String(RecentDocuments::applicationName)) {
                const int count = in.attributes().value(QLatin1String("count")).toInt();
                writeApplication(out, time, std::max(count, 0) + 1);
                applicationDone = true;
                in.skipCurrentElement();
                --depth;
                continue;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (inTarget && !applicationDone && in.name() == QLatin1String("applications") &&
                in.namespaceUri() == bookmarkNS) {
                writeApplication(out, time, 1);
                applicationDone = true;
            }
            if (inTarget && depth == targetDepth) {
                if (!applicationDone) writeMetadata(out, mimeType, time);
                inTarget = false;
                targetDone = true;
            }
            if (depth == 1 && !targetDone) {
                writeBookmark(out, href, mimeType, time);
                targetDone = true;
            }
            --depth;
        }
        out.writeCurrentToken(in);
    }
    return !in.hasError() && sawRoot && targetDone;
}

}  // namespace

QString RecentDocuments::standardLocation() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/recently-used.xbel");
}

RecentDocuments::Entry RecentDocuments::entry(const QUrl& file, const QString& mimeType, const QDateTime& now) {
    return Entry{
        .href = file.toEncoded().toStdString(), .mimeType = mimeType.toStdString(), .time = stamp(now).toStdString()};
}

bool RecentDocuments::note(const std::filesystem::path& list, const Entry& entry, ApplicationLifetime& lifetime) {
    // Read only when it is a regular file: a list that cannot end (a FIFO in its place)
    // is not waited for, and is left as it is like any list that cannot be read.
    std::string existing;
    RegularFile current(list);
    const bool exists = current.failure() != RegularFile::Failure::missing;
    if (exists) {
        auto bytes = current.read(maximumListBytes);
        if (!bytes || bytes->size() > maximumListBytes) return false;
        existing = std::move(*bytes);
    }

    std::string merged;
    bool noted = false;
    // The read above and the write below may take long on a share; only this part needs Qt.
    lifetime.use([&] {
        const QString href = QString::fromStdString(entry.href);
        const QString mimeType = QString::fromStdString(entry.mimeType);
        const QString time = QString::fromStdString(entry.time);
        const QByteArray old = QByteArray::fromRawData(existing.data(), qsizetype(existing.size()));
        QByteArray bytes;
        QXmlStreamWriter out(&bytes);
        if (old.trimmed().isEmpty()) {
            out.writeStartDocument();
            out.writeStartElement(QStringLiteral("xbel"));
            out.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
            declareNamespaces(out);
            writeBookmark(out, href, mimeType, time);
            out.writeEndElement();
            out.writeEndDocument();
        } else if (!merge(old, out, href, mimeType, time)) {
            return;
        }
        merged = bytes.toStdString();
        noted = true;
    });
    if (!noted) return false;

    std::error_code ignored;
    // A list that is a link to one kept elsewhere stays a link.
    std::filesystem::path target = std::filesystem::weakly_canonical(list, ignored);
    if (target.empty()) target = list;
    std::filesystem::create_directories(target.parent_path(), ignored);
    // The history is private to the user; a list that exists keeps its permissions.
    const FileReplacement replacement{.temporary = target.native() + ".tmp-" + std::to_string(::getpid()),
                                      .mode = 0600,
                                      .keepsTargetMode = true,
                                      .refusesLink = true};
    return replacement.write(target, merged) == 0;
}

bool RecentDocuments::note(const QString& xbelPath, const QUrl& file, const QString& mimeType, const QDateTime& now) {
    ApplicationLifetime lifetime;
    return note(std::filesystem::path(QFile::encodeName(xbelPath).toStdString()), entry(file, mimeType, now), lifetime);
}

}  // namespace norvo
