#ifndef SAMPLECATALOGUE_H
#define SAMPLECATALOGUE_H

#include <TuvoContent.h>

#include <QList>
#include <QMap>
#include <QStringList>

/*!
 * The sample plugin's built-in collection: a few albums of tracks, arranged as
 * root → "albums" → one container per album → tracks, and root → "tracks" → every
 * track. Tracks have the uri "sample:///<id>"; they are not real files, the sample
 * renderer plays them on a clock of its own.
 */
class SampleCatalogue
{
public:
    static const SampleCatalogue &instance();

    /*! The entry with \a id; "" is the root. An empty content item when unknown. */
    TuvoContent entry(const QString &id) const;
    bool contains(const QString &id) const;
    bool isContainer(const QString &id) const;
    /*! The children of a container in browse order; empty for tracks and unknown ids. */
    QList<TuvoContent> children(const QString &id) const;
    /*! Tracks whose title, artist or album contains every word of \a text. */
    QList<TuvoContent> search(const QString &text) const;
    /*! The track with uri \a uri, or an empty content item. */
    TuvoContent trackForUri(const QString &uri) const;
    QList<TuvoContent> tracks() const;

    static const char *const RootId;

private:
    SampleCatalogue();
    void addContainer(const QString &id, const QString &title, const QString &parent);
    void addTrack(const QString &id, const QString &title, const QString &artist,
                  const QString &album, int number, uint duration, const QString &parent);

    QMap<QString, TuvoContent> m_entries;
    QMap<QString, QStringList> m_children;
};

#endif
