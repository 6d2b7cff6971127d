#include "TuvoMprisPlayer.h"

#include "TuvoMprisMetadata.h"
#include "TuvoMprisNames.h"
#include "TuvoMprisPlayerAdaptor.h"
#include "TuvoMprisPlaylistFolder.h"
#include "TuvoMprisPlaylistsAdaptor.h"
#include "TuvoMprisRootAdaptor.h"

#include <TuvoClientRenderer.h>
#include <TuvoRendererWire.h>

#include <QDBusError>
#include <QDBusMessage>

#include <algorithm>
#include <climits>

namespace {
const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString PlaylistsInterface = QStringLiteral("org.mpris.MediaPlayer2.Playlists");
const QString VolumeProperty = QStringLiteral("volume");
// Renderers give their volume as a percentage.
constexpr double VolumeScale = 100.0;
} // namespace

const char *const TuvoMprisPlayer::ObjectPath = "/org/mpris/MediaPlayer2";

TuvoMprisPlayer::TuvoMprisPlayer(const TuvoClientObjectInfo &renderer, const QDBusConnection &clientBus,
                                 QObject *parent)
    : QObject(parent)
    , m_info(renderer)
    , m_busName(TuvoMprisNames::busName(renderer.name))
    , m_connectionName(QStringLiteral("tuvo-mpris ") + m_busName)
    , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
    , m_renderer(new TuvoClientRenderer(renderer, clientBus, this))
    , m_identity(renderer.title.isEmpty() ? renderer.name : renderer.title)
{
    TuvoMprisPlaylistDBusStruct::registerMetaTypes();
    m_time.start();
    new TuvoMprisRootAdaptor(this);
    m_playerAdaptor = new TuvoMprisPlayerAdaptor(this);
    new TuvoMprisPlaylistsAdaptor(this);

    connect(m_renderer, &TuvoClientRenderer::stateChanged, this, &TuvoMprisPlayer::handleState);
    connect(m_renderer, &TuvoClientRenderer::mediaChanged, this, &TuvoMprisPlayer::handleMedia);
    connect(m_renderer, &TuvoClientRenderer::playlistChanged, this, &TuvoMprisPlayer::handlePlaylist);
    connect(m_renderer, &TuvoClientRenderer::metadataChanged, this, &TuvoMprisPlayer::handleMetadata);
    connect(m_renderer, &TuvoClientRenderer::errorOccurred, this, &TuvoMprisPlayer::handleError);
    connect(m_renderer, &TuvoClientRenderer::propertyChanged, this, &TuvoMprisPlayer::handleProperty);
    connect(m_renderer, &TuvoClientRenderer::vanished, this, &TuvoMprisPlayer::vanished);

    refresh();
    if (renderer.title.isEmpty()) {
        m_renderer->getName([this](const TuvoClientError &error, const QString &name) {
            if (!error.isError() && !name.isEmpty())
                setIdentity(name);
        });
    }
}

TuvoMprisPlayer::~TuvoMprisPlayer()
{
    if (m_published)
        m_bus.unregisterService(m_busName);
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool TuvoMprisPlayer::publish()
{
    if (!m_bus.isConnected()) {
        qWarning().noquote() << "tuvo-mpris: no session bus for" << m_busName;
        return false;
    }
    if (!m_bus.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAdaptors)) {
        qWarning().noquote() << "tuvo-mpris: could not register" << ObjectPath << "for" << m_busName;
        return false;
    }
    if (!m_bus.registerService(m_busName)) {
        qWarning().noquote() << "tuvo-mpris: could not own" << m_busName << m_bus.lastError().message();
        return false;
    }
    m_published = true;
    return true;
}

void TuvoMprisPlayer::setIdentity(const QString &identity)
{
    if (identity == m_identity)
        return;
    m_identity = identity;
    notify(QStringLiteral("org.mpris.MediaPlayer2"), {}, {{QStringLiteral("Identity"), identity}});
}

QString TuvoMprisPlayer::playbackStatus() const
{
    switch (m_state) {
    case TuvoRendererWire::Playing:
    case TuvoRendererWire::Buffering:
        return QStringLiteral("Playing");
    case TuvoRendererWire::Paused:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

QVariantMap TuvoMprisPlayer::metadata() const
{
    return TuvoMprisMetadata::fromMediaInfo(m_objectId, m_media);
}

void TuvoMprisPlayer::refresh()
{
    refreshStatus();
    refreshMediaInfo();
    resyncPosition();
    m_renderer->getProperty(VolumeProperty, [this](const TuvoClientError &error, const QVariant &value) {
        if (!error.isError())
            handleProperty(VolumeProperty, value);
    });
}

void TuvoMprisPlayer::setVolume(double volume)
{
    m_renderer->setProperty(VolumeProperty, qRound(qBound(0.0, volume, 1.0) * VolumeScale));
}

qlonglong TuvoMprisPlayer::position()
{
    if (m_clock.needsResync(now()))
        resyncPosition();
    return m_clock.position(now()) * 1000;
}

bool TuvoMprisPlayer::canGoNext() const
{
    if (m_playlistId.isEmpty())
        return false;
    const TuvoMprisPlaylistFolder::Entry list = TuvoMprisPlaylistFolder().playlist(m_playlistId);
    // A playlist from elsewhere than the store: its length is unknown, so let the renderer judge.
    return list.id.isEmpty() || m_index + 1 < list.count;
}

bool TuvoMprisPlayer::canGoPrevious() const
{
    return !m_playlistId.isEmpty() && m_index > 0;
}

void TuvoMprisPlayer::play()
{
    m_renderer->play();
}

void TuvoMprisPlayer::pause()
{
    m_renderer->pause();
}

void TuvoMprisPlayer::playPause()
{
    if (m_state == TuvoRendererWire::Playing || m_state == TuvoRendererWire::Buffering)
        m_renderer->pause();
    else
        m_renderer->play();
}

void TuvoMprisPlayer::stop()
{
    m_renderer->stop();
}

void TuvoMprisPlayer::next()
{
    m_renderer->next();
}

void TuvoMprisPlayer::previous()
{
    m_renderer->previous();
}

void TuvoMprisPlayer::seek(qlonglong offsetUs)
{
    const qlonglong seconds = qAbs(offsetUs) / 1000000;
    if (seconds == 0)
        return;
    m_clock.set(m_clock.position(now()) + (offsetUs < 0 ? -seconds : seconds) * 1000, now());
    emitSeeked();
    m_renderer->setPosition(qint32(qMin<qlonglong>(seconds, INT_MAX)),
                            offsetUs < 0 ? TuvoRendererWire::SeekBackward : TuvoRendererWire::SeekForward,
                            [this](const TuvoClientError &) { resyncPosition(); });
}

void TuvoMprisPlayer::setPosition(const QString &trackId, qlonglong positionUs)
{
    // As MPRIS asks: a position for another track than the current one is ignored.
    if (trackId != TuvoMprisNames::trackId(m_objectId) || positionUs < 0)
        return;
    const qlonglong seconds = positionUs / 1000000;
    m_clock.set(seconds * 1000, now());
    emitSeeked();
    m_renderer->setPosition(qint32(qMin<qlonglong>(seconds, INT_MAX)), TuvoRendererWire::SeekAbsolute,
                            [this](const TuvoClientError &) { resyncPosition(); });
}

void TuvoMprisPlayer::openUri(const QString &uri)
{
    m_renderer->playUri(uri);
}

uint TuvoMprisPlayer::playlistCount() const
{
    return uint(TuvoMprisPlaylistFolder().playlists().size());
}

TuvoMprisActivePlaylistDBusStruct TuvoMprisPlayer::activePlaylist() const
{
    TuvoMprisActivePlaylistDBusStruct active;
    if (m_playlistId.isEmpty())
        return active;
    const TuvoMprisPlaylistFolder::Entry list = TuvoMprisPlaylistFolder().playlist(m_playlistId);
    active.valid = true;
    active.playlist.id = QDBusObjectPath(TuvoMprisNames::playlistPath(m_playlistId));
    active.playlist.name = list.id.isEmpty() ? m_playlistId : list.name;
    return active;
}

TuvoMprisPlaylistDBusList TuvoMprisPlayer::playlists(uint index, uint maxCount, const QString &order,
                                                     bool reverse) const
{
    QList<TuvoMprisPlaylistFolder::Entry> lists = TuvoMprisPlaylistFolder().playlists();
    // The store has no other order than its names: "Alphabetical" is the one offered,
    // and any other is taken as it.
    Q_UNUSED(order);
    std::stable_sort(lists.begin(), lists.end(), [](const auto &a, const auto &b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    if (reverse)
        std::reverse(lists.begin(), lists.end());
    TuvoMprisPlaylistDBusList out;
    for (qsizetype i = index; i < lists.size() && uint(out.size()) < maxCount; ++i) {
        TuvoMprisPlaylistDBusStruct playlist;
        playlist.id = QDBusObjectPath(TuvoMprisNames::playlistPath(lists.at(i).id));
        playlist.name = lists.at(i).name;
        out.append(playlist);
    }
    return out;
}

void TuvoMprisPlayer::activatePlaylist(const QString &path)
{
    const QString id = TuvoMprisNames::playlistId(path);
    if (id.isEmpty()) {
        qWarning().noquote() << "tuvo-mpris:" << m_busName << "has no playlist" << path;
        return;
    }
    m_renderer->assignPlaylist(id);
    m_renderer->play();
}

void TuvoMprisPlayer::handleState(int state)
{
    const QVariantMap before = playerProperties();
    m_state = state;
    m_clock.setRunning(state == TuvoRendererWire::Playing, now());
    notify(PlayerInterface, before, playerProperties());
    resyncPosition();
}

void TuvoMprisPlayer::handleMedia(int index, const QString &objectId)
{
    const QVariantMap before = playerProperties();
    m_index = index;
    if (objectId != m_objectId) {
        m_objectId = objectId;
        m_media.clear();
        m_clock.set(0, now());
    }
    notify(PlayerInterface, before, playerProperties());
    refreshMediaInfo();
    resyncPosition();
}

void TuvoMprisPlayer::handlePlaylist(const QString &playlistId)
{
    const QVariantMap before = playerProperties();
    const TuvoMprisActivePlaylistDBusStruct activeBefore = activePlaylist();
    m_playlistId = playlistId;
    notify(PlayerInterface, before, playerProperties());
    const TuvoMprisActivePlaylistDBusStruct active = activePlaylist();
    if (active.valid != activeBefore.valid || active.playlist.id != activeBefore.playlist.id)
        notify(PlaylistsInterface, {}, {{QStringLiteral("ActivePlaylist"), QVariant::fromValue(active)}});
}

void TuvoMprisPlayer::handleMetadata(const QString &key, const QVariantList &values)
{
    const QVariantMap before = playerProperties();
    m_media.insert(key, values);
    notify(PlayerInterface, before, playerProperties());
}

void TuvoMprisPlayer::handleError(int code, const QString &message)
{
    qWarning().noquote() << "tuvo-mpris:" << m_busName << "renderer error" << code << message;
    handleState(TuvoRendererWire::Stopped);
}

void TuvoMprisPlayer::handleProperty(const QString &name, const QVariant &value)
{
    bool ok = false;
    const double percent = value.toDouble(&ok);
    if (name != VolumeProperty || !ok)
        return;
    const QVariantMap before = playerProperties();
    m_volume = qBound(0.0, percent / VolumeScale, 1.0);
    notify(PlayerInterface, before, playerProperties());
}

void TuvoMprisPlayer::refreshStatus()
{
    m_renderer->getStatus([this](const TuvoClientError &error, const TuvoClientRendererStatus &status) {
        if (error.isError())
            return;
        handlePlaylist(status.playlistId);
        handleMedia(int(status.playlistIndex), status.objectId);
        handleState(status.state);
    });
}

void TuvoMprisPlayer::refreshMediaInfo()
{
    const QString objectId = m_objectId;
    m_renderer->getCurrentMediaInfo(QString(), [this, objectId](const TuvoClientError &error,
                                                                const TuvoMediaInfoDBusStruct &info) {
        // An answer about an item that is no longer the current one is stale.
        if (error.isError() || (objectId != m_objectId && info.uuid != m_objectId))
            return;
        const QVariantMap before = playerProperties();
        m_media = info.metadata;
        if (m_objectId.isEmpty())
            m_objectId = info.uuid;
        notify(PlayerInterface, before, playerProperties());
    });
}

void TuvoMprisPlayer::resyncPosition()
{
    m_clock.markQueried(now());
    if (m_positionPending)
        return;
    m_positionPending = true;
    m_renderer->getPosition([this](const TuvoClientError &error, quint32 seconds) {
        m_positionPending = false;
        if (!error.isError() && m_clock.correct(seconds, now()))
            emitSeeked();
    });
}

QVariantMap TuvoMprisPlayer::playerProperties() const
{
    return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("Volume"), m_volume},
            {QStringLiteral("CanGoNext"), canGoNext()},
            {QStringLiteral("CanGoPrevious"), canGoPrevious()}};
}

void TuvoMprisPlayer::notify(const QString &interface, const QVariantMap &before, const QVariantMap &after)
{
    QVariantMap changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (before.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    if (changed.isEmpty() || !m_published)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(ObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    if (!m_bus.send(signal))
        qWarning().noquote() << "tuvo-mpris: could not send PropertiesChanged of" << m_busName;
}

void TuvoMprisPlayer::emitSeeked()
{
    if (m_published)
        Q_EMIT m_playerAdaptor->Seeked(m_clock.position(now()) * 1000);
}
