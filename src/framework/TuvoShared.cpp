#include "TuvoShared.h"

#include "TuvoFrameworkLogging.h"
#include "TuvoPlaylistStore.h"

#include <QCoreApplication>

namespace {
TuvoShared *s_shared = nullptr;
constexpr int KnownFlags =
    TuvoShared::TrackPlaybackState | TuvoShared::TrackMediaChanges | TuvoShared::TrackPlaylists;
} // namespace

TuvoShared *TuvoShared::instance()
{
    if (!s_shared)
        s_shared = new TuvoShared;
    return s_shared;
}

TuvoShared::TuvoShared()
{
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QObject::destroyed, this, [this] { delete this; });
}

TuvoShared::~TuvoShared()
{
    if (s_shared == this)
        s_shared = nullptr;
}

bool TuvoShared::initialize(QFlags<TrackFlag> flags)
{
    if (flags.toInt() & ~KnownFlags) {
        qCWarning(lcTuvoFramework) << "unknown track flags" << Qt::hex << flags.toInt();
        return false;
    }
    m_flags |= flags;
    m_initialized = true;
    // Playlists are there before the first renderer is asked for one.
    if (m_flags.testFlag(TrackPlaylists) && !m_playlistStore)
        m_playlistStore = new TuvoPlaylistStore(this);
    Q_EMIT initialized(m_flags);
    return true;
}
