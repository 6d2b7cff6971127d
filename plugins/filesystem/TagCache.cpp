#include "TagCache.h"

#include "FileName.h"

#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>

namespace {
QString toQString(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true)).trimmed();
}
} // namespace

TagCache::TagCache(qint64 capacityBytes)
    : m_capacity(capacityBytes)
{
}

qint64 TagCache::costOf(const Entry &entry)
{
    // The strings' characters, plus what a list node, a hash node and the strings'
    // headers take, near enough.
    const auto text = [](const QString &s) { return qint64(s.size()) * 2 + 24; };
    return qint64(sizeof(Entry)) + 2 * 16 + 32 + 2 * text(entry.path) + text(entry.tags.title)
           + text(entry.tags.artist) + text(entry.tags.album) + text(entry.tags.genre);
}

AudioTags TagCache::tags(const QString &path, qint64 size, qint64 modifiedNs)
{
    {
        QMutexLocker lock(&m_mutex);
        const auto known = m_entries.constFind(path);
        if (known != m_entries.constEnd() && (*known)->size == size
            && (*known)->modifiedNs == modifiedNs) {
            m_order.splice(m_order.begin(), m_order, *known);
            return (*known)->tags;
        }
    }
    // Read outside the lock: the other threads go on meanwhile. Two threads reading
    // the same new file both store the same tags.
    Entry entry;
    entry.path = path;
    entry.size = size;
    entry.modifiedNs = modifiedNs;
    entry.tags = read(path);
    entry.cost = costOf(entry);
    const AudioTags tags = entry.tags;
    QMutexLocker lock(&m_mutex);
    const auto known = m_entries.find(path);
    if (known != m_entries.end()) {
        m_bytes -= (*known)->cost;
        m_order.erase(*known);
        m_entries.erase(known);
    }
    if (entry.cost > m_capacity)
        return tags;
    while (m_bytes + entry.cost > m_capacity && !m_order.empty()) {
        m_bytes -= m_order.back().cost;
        m_entries.remove(m_order.back().path);
        m_order.pop_back();
    }
    m_bytes += entry.cost;
    m_order.push_front(std::move(entry));
    m_entries.insert(path, m_order.begin());
    return tags;
}

int TagCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

bool TagCache::contains(const QString &path) const
{
    QMutexLocker lock(&m_mutex);
    return m_entries.contains(path);
}

qint64 TagCache::bytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytes;
}

void TagCache::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
    m_order.clear();
    m_bytes = 0;
}

bool TagCache::canHoldTags(const QString &name, qint64 size)
{
    if (size < MinimumSize)
        return false;
    // Read once, in whichever thread asks first; only read after that.
    static const QSet<QString> extensions = [] {
        QSet<QString> known;
        const TagLib::StringList list = TagLib::FileRef::defaultFileExtensions();
        for (const TagLib::String &extension : list)
            known.insert(QString::fromStdString(extension.to8Bit(true)).toLower());
        return known;
    }();
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    return dot >= 0 && extensions.contains(name.mid(dot + 1).toLower());
}

AudioTags TagCache::read(const QString &path)
{
    AudioTags result;
    // Only a regular file ends: a FIFO would block the open, a device the reads.
    // O_NONBLOCK keeps the open of a FIFO from waiting; fstat then refuses it.
    const QByteArray name = FileName::toBytes(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return result;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < MinimumSize) {
        ::close(fd);
        return result;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    TagLib::FileStream stream(fd, true); // closes the descriptor when it opened
    if (!stream.isOpen()) {
        ::close(fd);
        return result;
    }
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
    if (file.isNull())
        return result;
    result.valid = true;
    if (const TagLib::Tag *tag = file.tag()) {
        result.title = toQString(tag->title());
        result.artist = toQString(tag->artist());
        result.album = toQString(tag->album());
        result.genre = toQString(tag->genre());
        result.trackNumber = int(tag->track());
        result.year = int(tag->year());
    }
    if (const TagLib::AudioProperties *audio = file.audioProperties())
        result.durationMs = audio->lengthInMilliseconds();
    return result;
}
