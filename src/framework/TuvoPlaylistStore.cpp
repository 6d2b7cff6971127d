#include "TuvoPlaylistStore.h"

#include "TuvoFrameworkLogging.h"
#include "TuvoPlaylist.h"
#include "TuvoRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <limits>

namespace {
// Editors write a file in several steps; one reload after they are done is enough.
constexpr int ReloadDelayMs = 100;

// "http://...", "file:///..." but not "C:\music\a.mp3".
bool hasScheme(const QString &entry)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(entry).hasMatch();
}

// "#EXTINF:<seconds>[ key="value"...],<title>": the title starts after the first comma
// outside quotes, as attribute values may hold commas.
void parseExtInf(const QString &info, int *duration, QString *title)
{
    bool quoted = false;
    int comma = -1;
    for (int i = 0; i < info.size(); ++i) {
        if (info.at(i) == QLatin1Char('"'))
            quoted = !quoted;
        else if (info.at(i) == QLatin1Char(',') && !quoted) {
            comma = i;
            break;
        }
    }
    const QString head = comma < 0 ? info : info.left(comma);
    *title = comma < 0 ? QString() : info.mid(comma + 1).trimmed();
    bool ok = false;
    const double seconds = head.section(QLatin1Char(' '), 0, 0).trimmed().toDouble(&ok);
    if (!ok || !(seconds >= 0))
        *duration = -1; // unknown, and NaN too
    else if (seconds + 0.5 >= double(std::numeric_limits<int>::max()))
        *duration = std::numeric_limits<int>::max(); // a bogus length is still a long one
    else
        *duration = int(seconds + 0.5);
}

QList<TuvoContent> parseEntries(const QByteArray &data, const QString &baseFolder, QString *name,
                                bool *truncated)
{
    QList<TuvoContent> entries;
    *truncated = false;
    const QDir base(baseFolder);
    int duration = -1;
    QString title;
    QByteArrayView bytes(data);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    // Classic .m3u files are Latin-1: UTF-8 only when the whole file is valid UTF-8.
    const bool utf8 = bytes.isValidUtf8();
    // Line by line, decoding only the lines read: the file may be far longer than
    // what is kept of it.
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView raw = bytes.sliced(start, end - start);
        start = end + 1;
        const QString line = (utf8 ? QString::fromUtf8(raw) : QString::fromLatin1(raw)).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('#'))) {
            if (line.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive))
                parseExtInf(line.mid(8), &duration, &title);
            else if (name && line.startsWith(QLatin1String("#PLAYLIST:"), Qt::CaseInsensitive))
                *name = line.mid(10).trimmed();
            continue;
        }
        if (entries.size() == TuvoPlaylistStore::MaxEntries) {
            *truncated = true;
            break;
        }
        QString uri;
        if (hasScheme(line)) {
            const QUrl url(line, QUrl::TolerantMode);
            if (!url.isValid()) {
                qCWarning(lcTuvoFramework) << "playlist entry is not a valid uri:" << line;
                duration = -1;
                title.clear();
                continue;
            }
            uri = url.toString(QUrl::FullyEncoded);
        } else {
            uri = QUrl::fromLocalFile(QDir::cleanPath(base.absoluteFilePath(line)))
                      .toString(QUrl::FullyEncoded);
        }
        QVariantMap meta;
        if (!title.isEmpty())
            meta.insert(QStringLiteral("title"), title);
        if (duration >= 0)
            meta.insert(QStringLiteral("duration"), uint(duration));
        entries.append(TuvoContent(uri, meta));
        duration = -1;
        title.clear();
    }
    return entries;
}
} // namespace

TuvoPlaylistStore::TuvoPlaylistStore(QObject *parent)
    : TuvoPlaylistStore(defaultFolder(), parent)
{
}

TuvoPlaylistStore::TuvoPlaylistStore(const QString &folder, QObject *parent)
    : QObject(parent)
    , m_folder(QDir::cleanPath(folder))
{
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(ReloadDelayMs);
    connect(&m_reloadTimer, &QTimer::timeout, this, &TuvoPlaylistStore::reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_reloadTimer,
            qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_reloadTimer,
            qOverload<>(&QTimer::start));
    // The folder is ours to make: a user can then drop playlists into it and they
    // are seen at once.
    if (!QDir().mkpath(m_folder))
        qCWarning(lcTuvoFramework) << "cannot create the playlist folder" << m_folder;
    reload();
}

TuvoPlaylistStore::~TuvoPlaylistStore() = default;

QString TuvoPlaylistStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/tuvo/playlists");
}

QStringList TuvoPlaylistStore::playlistIds() const
{
    QStringList ids = m_files.keys();
    ids.sort();
    return ids;
}

QList<TuvoContent> TuvoPlaylistStore::parseM3u(const QByteArray &data, const QString &baseFolder,
                                               QString *name)
{
    bool truncated = false;
    const QList<TuvoContent> entries = parseEntries(data, baseFolder, name, &truncated);
    if (truncated)
        qCWarning(lcTuvoFramework) << "playlist holds more than" << MaxEntries
                                   << "entries, the rest are left out";
    return entries;
}

void TuvoPlaylistStore::reload()
{
    TuvoRegistry *registry = TuvoRegistry::instance();
    const QDir dir(m_folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.m3u"), QStringLiteral("*.m3u8")},
                          QDir::Files | QDir::Readable, QDir::Name);

    QHash<QString, FileState> seen;
    for (const QFileInfo &file : files) {
        const QString id = file.completeBaseName();
        if (id.isEmpty() || seen.contains(id)) {
            qCWarning(lcTuvoFramework) << "playlist file ignored, its id is taken:"
                                       << file.fileName();
            continue;
        }
        const FileState state{file.lastModified(), file.size()};
        seen.insert(id, state);
        const auto known = m_files.constFind(id);
        if (known != m_files.constEnd() && known->modified == state.modified
            && known->size == state.size && registry->findPlaylist(id)) {
            continue; // unchanged
        }
        QFile input(file.filePath());
        if (!input.open(QIODevice::ReadOnly)) {
            qCWarning(lcTuvoFramework) << "cannot read playlist" << file.filePath()
                                       << input.errorString();
            seen.remove(id);
            continue;
        }
        QString name;
        bool truncated = false;
        const QList<TuvoContent> entries =
            parseEntries(input.readAll(), file.absolutePath(), &name, &truncated);
        if (truncated)
            qCWarning(lcTuvoFramework) << "playlist" << file.filePath() << "holds more than"
                                       << MaxEntries << "entries, the rest are left out";
        auto *playlist = new TuvoPlaylist(id, entries);
        playlist->setName(name);
        registry->addPlaylist(playlist);
        qCDebug(lcTuvoFramework) << "playlist" << id << "with" << entries.size() << "entries";
    }
    for (auto it = m_files.constBegin(); it != m_files.constEnd(); ++it) {
        if (!seen.contains(it.key()))
            registry->removePlaylist(it.key());
    }
    m_files = seen;
    watch();
    Q_EMIT reloaded();
}

void TuvoPlaylistStore::watch()
{
    // Files are watched too: an editor that rewrites a file in place changes nothing
    // the folder watch sees.
    QStringList wanted{m_folder};
    const QDir dir(m_folder);
    const QStringList names = dir.entryList({QStringLiteral("*.m3u"), QStringLiteral("*.m3u8")},
                                            QDir::Files);
    for (const QString &name : names)
        wanted.append(dir.filePath(name));
    QStringList watched = m_watcher.directories() + m_watcher.files();
    QStringList stale;
    for (const QString &path : qAsConst(watched)) {
        if (!wanted.contains(path))
            stale.append(path);
    }
    if (!stale.isEmpty())
        m_watcher.removePaths(stale);
    QStringList fresh;
    for (const QString &path : qAsConst(wanted)) {
        if (!watched.contains(path))
            fresh.append(path);
    }
    if (!fresh.isEmpty())
        m_watcher.addPaths(fresh);
}
