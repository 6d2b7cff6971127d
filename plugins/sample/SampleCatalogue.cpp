#include "SampleCatalogue.h"

const char *const SampleCatalogue::RootId = "";

const SampleCatalogue &SampleCatalogue::instance()
{
    static const SampleCatalogue catalogue;
    return catalogue;
}

SampleCatalogue::SampleCatalogue()
{
    struct Album {
        const char *title;
        const char *artist;
        int year;
        QList<QPair<const char *, uint>> tracks;
    };
    const QList<Album> albums = {
        {"Harbour Lights", "The Tidewaters", 2019,
         {{"Low Tide", 212}, {"Lantern Row", 187}, {"Salt and Rope", 243}, {"Night Ferry", 301}}},
        {"Paper Satellites", "Mira Okonkwo", 2021,
         {{"Orbit of Small Things", 198}, {"Telegraph", 175}, {"Quiet Signal", 224}}},
        {"Northern Line", "Kestrel Avenue", 2016,
         {{"Platform Nine", 205}, {"Overground", 231}, {"Last Train Home", 266},
          {"Mind the Gap", 159}, {"Terminus", 312}}},
    };

    addContainer(QLatin1String(RootId), QStringLiteral("Sample collection"), QString());
    addContainer(QStringLiteral("albums"), QStringLiteral("Albums"), QLatin1String(RootId));
    addContainer(QStringLiteral("tracks"), QStringLiteral("All tracks"), QLatin1String(RootId));
    int trackNumber = 0;
    for (int a = 0; a < albums.size(); ++a) {
        const Album &album = albums.at(a);
        const QString albumId = QStringLiteral("album_%1").arg(a + 1);
        addContainer(albumId, QLatin1String(album.title), QStringLiteral("albums"));
        m_entries[albumId].setMetaData(
            [&] {
                QVariantMap meta = m_entries.value(albumId).metaData();
                meta.insert(QStringLiteral("artist"), QLatin1String(album.artist));
                meta.insert(QStringLiteral("year"), album.year);
                return meta;
            }());
        for (int t = 0; t < album.tracks.size(); ++t) {
            const QString trackId = QStringLiteral("track_%1").arg(++trackNumber);
            addTrack(trackId, QLatin1String(album.tracks.at(t).first), QLatin1String(album.artist),
                     QLatin1String(album.title), t + 1, album.tracks.at(t).second, albumId);
            m_children[QStringLiteral("tracks")].append(trackId);
        }
    }
    // Containers know how many children they have.
    for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it) {
        QVariantMap meta = m_entries.value(it.key()).metaData();
        meta.insert(QStringLiteral("child_count"), uint(it.value().size()));
        m_entries[it.key()].setMetaData(meta);
    }
}

void SampleCatalogue::addContainer(const QString &id, const QString &title, const QString &parent)
{
    QVariantMap meta;
    meta.insert(QStringLiteral("title"), title);
    meta.insert(QStringLiteral("is_container"), true);
    meta.insert(QStringLiteral("child_count"), 0u);
    m_entries.insert(id, TuvoContent(id, meta));
    m_children.insert(id, QStringList());
    if (!id.isEmpty() || !parent.isEmpty())
        m_children[parent].append(id);
}

void SampleCatalogue::addTrack(const QString &id, const QString &title, const QString &artist,
                               const QString &album, int number, uint duration,
                               const QString &parent)
{
    QVariantMap meta;
    meta.insert(QStringLiteral("title"), title);
    meta.insert(QStringLiteral("artist"), artist);
    meta.insert(QStringLiteral("album"), album);
    meta.insert(QStringLiteral("track_number"), number);
    meta.insert(QStringLiteral("duration"), duration);
    meta.insert(QStringLiteral("uri"), QStringLiteral("sample:///") + id);
    meta.insert(QStringLiteral("mime_type"), QStringLiteral("audio/x-tuvo-sample"));
    meta.insert(QStringLiteral("is_container"), false);
    m_entries.insert(id, TuvoContent(id, meta));
    m_children[parent].append(id);
}

TuvoContent SampleCatalogue::entry(const QString &id) const
{
    return m_entries.value(id);
}

bool SampleCatalogue::contains(const QString &id) const
{
    return m_entries.contains(id);
}

bool SampleCatalogue::isContainer(const QString &id) const
{
    return m_children.contains(id);
}

QList<TuvoContent> SampleCatalogue::children(const QString &id) const
{
    QList<TuvoContent> result;
    const QStringList ids = m_children.value(id);
    for (const QString &child : ids)
        result.append(m_entries.value(child));
    return result;
}

QList<TuvoContent> SampleCatalogue::search(const QString &text) const
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<TuvoContent> result;
    const QList<TuvoContent> candidates = tracks();
    for (const TuvoContent &track : candidates) {
        const QString haystack = track.metaData(QStringLiteral("title")).toString()
                                 + QLatin1Char('\n')
                                 + track.metaData(QStringLiteral("artist")).toString()
                                 + QLatin1Char('\n')
                                 + track.metaData(QStringLiteral("album")).toString();
        bool matches = true;
        for (const QString &word : words)
            matches = matches && haystack.contains(word, Qt::CaseInsensitive);
        if (matches)
            result.append(track);
    }
    return result;
}

TuvoContent SampleCatalogue::trackForUri(const QString &uri) const
{
    const QString prefix = QStringLiteral("sample:///");
    if (!uri.startsWith(prefix))
        return TuvoContent();
    const QString id = uri.mid(prefix.size());
    if (!m_entries.contains(id) || isContainer(id))
        return TuvoContent();
    return m_entries.value(id);
}

QList<TuvoContent> SampleCatalogue::tracks() const
{
    return children(QStringLiteral("tracks"));
}
