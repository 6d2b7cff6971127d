#include "TuvoMprisPlaylistFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString TuvoMprisPlaylistFolder::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + QStringLiteral("/tuvo/playlists");
}

QList<TuvoMprisPlaylistFolder::Entry> TuvoMprisPlaylistFolder::playlists() const
{
    QList<Entry> entries;
    const QFileInfoList files = QDir(m_folder).entryInfoList(
        {QStringLiteral("*.m3u"), QStringLiteral("*.m3u8")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &file : files) {
        QFile in(file.filePath());
        if (in.open(QIODevice::ReadOnly))
            entries.append(parse(file.completeBaseName(), in.readAll()));
    }
    return entries;
}

TuvoMprisPlaylistFolder::Entry TuvoMprisPlaylistFolder::playlist(const QString &id) const
{
    for (const Entry &entry : playlists()) {
        if (entry.id == id)
            return entry;
    }
    return {};
}

TuvoMprisPlaylistFolder::Entry TuvoMprisPlaylistFolder::parse(const QString &id, const QByteArray &data)
{
    Entry entry{id, id, 0};
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed();
        if (line.startsWith("#PLAYLIST:"))
            entry.name = QString::fromUtf8(line.mid(10).trimmed());
        else if (!line.isEmpty() && !line.startsWith('#'))
            ++entry.count;
    }
    return entry;
}
