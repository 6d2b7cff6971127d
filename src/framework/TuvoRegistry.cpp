#include "TuvoRegistry.h"

#include "TuvoPlaylist.h"

#include <QCoreApplication>

namespace {
TuvoRegistry *s_registry = nullptr;
}

TuvoRegistry *TuvoRegistry::instance()
{
    if (!s_registry)
        s_registry = new TuvoRegistry;
    return s_registry;
}

TuvoRegistry::TuvoRegistry()
{
    // Leaves with the application; playlists are its children.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QObject::destroyed, this, [this] { delete this; });
}

TuvoRegistry::~TuvoRegistry()
{
    if (s_registry == this)
        s_registry = nullptr;
}

TuvoPlaylist *TuvoRegistry::findPlaylist(const QString &id) const
{
    return m_playlists.value(id, nullptr);
}

QStringList TuvoRegistry::playlistIds() const
{
    return m_playlists.keys();
}

TuvoPlaylist *TuvoRegistry::addPlaylist(TuvoPlaylist *playlist)
{
    if (!playlist)
        return nullptr;
    if (TuvoPlaylist *known = m_playlists.value(playlist->id(), nullptr)) {
        if (known == playlist)
            return known;
        known->setName(playlist->name());
        known->setEntries(playlist->entries());
        delete playlist;
        return known;
    }
    playlist->setParent(this);
    m_playlists.insert(playlist->id(), playlist);
    Q_EMIT playlistAdded(playlist->id());
    return playlist;
}

bool TuvoRegistry::removePlaylist(const QString &id)
{
    TuvoPlaylist *playlist = m_playlists.take(id);
    if (!playlist)
        return false;
    Q_EMIT playlistRemoved(id);
    playlist->deleteLater();
    return true;
}
