#include "TagCache.h"

#include <QFile>

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

TagCache::TagCache(int capacity)
    : m_capacity(capacity)
{
}

AudioTags TagCache::tags(const QString &path, qint64 size, qint64 modifiedNs)
{
    {
        QMutexLocker lock(&m_mutex);
        const auto known = m_entries.constFind(path);
        if (known != m_entries.constEnd() && known->size == size
            && known->modifiedNs == modifiedNs) {
            return known->tags;
        }
    }
    // Read outside the lock: the other threads go on meanwhile. Two threads reading
    // the same new file both store the same tags.
    Entry entry;
    entry.size = size;
    entry.modifiedNs = modifiedNs;
    entry.tags = read(path);
    QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= m_capacity && !m_entries.contains(path))
        m_entries.erase(m_entries.begin()); // any one: a rough bound is all we need
    m_entries.insert(path, entry);
    return entry.tags;
}

int TagCache::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

void TagCache::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}

AudioTags TagCache::read(const QString &path)
{
    AudioTags result;
    const QByteArray name = QFile::encodeName(path);
    TagLib::FileStream stream(name.constData(), true);
    if (!stream.isOpen())
        return result;
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
