#include "TuvoPlaylist.h"

TuvoPlaylist::TuvoPlaylist(const QString &id, const QList<TuvoContent> &entries, QObject *parent)
    : QObject(parent)
    , m_id(id)
    , m_entries(entries)
{
}

TuvoPlaylist::~TuvoPlaylist() = default;

TuvoContent TuvoPlaylist::entry(int index) const
{
    if (index < 0 || index >= m_entries.size())
        return TuvoContent();
    return m_entries.at(index);
}

void TuvoPlaylist::setEntries(const QList<TuvoContent> &entries)
{
    if (entries == m_entries)
        return;
    m_entries = entries;
    Q_EMIT entriesChanged();
}
