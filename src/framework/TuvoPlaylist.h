#ifndef TUVOPLAYLIST_H
#define TUVOPLAYLIST_H

#include "TuvoContent.h"
#include "TuvoFrameworkGlobal.h"

#include <QList>
#include <QObject>

/*!
 * A named, ordered list of media items that renderers play one after the other.
 * Each entry is a TuvoContent whose uuid is the item's uri; its metadata may carry a
 * "title" and a "duration" (seconds).
 *
 * Playlists belong to TuvoRegistry, which keeps one object per id for as long as the
 * id exists: a playlist that changes is updated in place (entriesChanged()), so a
 * renderer may keep the pointer.
 */
class TUVO_FRAMEWORK_EXPORT TuvoPlaylist : public QObject
{
    Q_OBJECT
public:
    explicit TuvoPlaylist(const QString &id, const QList<TuvoContent> &entries = {},
                          QObject *parent = nullptr);
    ~TuvoPlaylist() override;

    QString id() const { return m_id; }
    QString name() const { return m_name.isEmpty() ? m_id : m_name; }
    void setName(const QString &name) { m_name = name; }

    int count() const { return m_entries.size(); }
    QList<TuvoContent> entries() const { return m_entries; }
    /*! The entry at \a index, or an empty content item when out of range. */
    TuvoContent entry(int index) const;
    void setEntries(const QList<TuvoContent> &entries);

Q_SIGNALS:
    void entriesChanged();

private:
    QString m_id;
    QString m_name;
    QList<TuvoContent> m_entries;
};

Q_DECLARE_METATYPE(TuvoPlaylist *)

#endif
