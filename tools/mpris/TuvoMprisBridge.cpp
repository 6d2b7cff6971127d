#include "TuvoMprisBridge.h"

#include "TuvoMprisPlayer.h"

#include <TuvoClientDiscovery.h>
#include <TuvoClientPluginActivation.h>

#include <QDBusError>

#include <utility>

const char *const TuvoMprisBridge::ServiceName = "com.oxbel.tuvo.mpris";

TuvoMprisBridge::TuvoMprisBridge(bool keepActive, QObject *parent)
    : QObject(parent)
    , m_bus(QDBusConnection::sessionBus())
    , m_keepActive(keepActive)
    , m_discovery(new TuvoClientDiscovery(m_bus, this))
{
    // Discovery announces only what appears after its first listing; the renderers
    // already on the bus come with that listing.
    connect(m_discovery, &TuvoClientDiscovery::ready, this, [this] {
        const QList<TuvoClientObjectInfo> objects = m_discovery->objects();
        for (const TuvoClientObjectInfo &object : objects)
            addPlayer(object);
    });
    connect(m_discovery, &TuvoClientDiscovery::objectAppeared, this, &TuvoMprisBridge::addPlayer);
    connect(m_discovery, &TuvoClientDiscovery::objectChanged, this, &TuvoMprisBridge::updatePlayer);
    connect(m_discovery, &TuvoClientDiscovery::objectVanished, this,
            [this](const TuvoClientObjectInfo &object) { removePlayer(object.busName); });
    connect(m_discovery, &TuvoClientDiscovery::failed, this, [](const TuvoClientError &error) {
        qWarning().noquote() << "tuvo-mpris: could not list the wrappers:" << error.message();
    });
}

TuvoMprisBridge::~TuvoMprisBridge()
{
    // Players withdraw their names first; the activations then end in one go.
    qDeleteAll(m_players);
    m_players.clear();
}

bool TuvoMprisBridge::start()
{
    if (!m_bus.isConnected()) {
        qCritical().noquote() << "tuvo-mpris: no session bus";
        return false;
    }
    if (!m_bus.registerService(QLatin1String(ServiceName))) {
        qCritical().noquote() << "tuvo-mpris: could not own" << ServiceName << m_bus.lastError().message();
        return false;
    }
    m_discovery->start();
    return true;
}

void TuvoMprisBridge::addPlayer(const TuvoClientObjectInfo &renderer)
{
    if (renderer.kind != TuvoClientObjectInfo::Renderer || m_players.contains(renderer.busName))
        return;
    auto *player = new TuvoMprisPlayer(renderer, m_bus, this);
    if (!player->publish()) {
        delete player;
        return;
    }
    m_players.insert(renderer.busName, player);
    const QString busName = renderer.busName;
    connect(player, &TuvoMprisPlayer::vanished, this, [this, busName] { removePlayer(busName); });
    qInfo().noquote() << "tuvo-mpris: player" << player->busName() << "for" << renderer.busName;

    if (m_keepActive && !renderer.plugin.isEmpty() && !m_activations.contains(renderer.plugin)) {
        auto *activation = new TuvoClientPluginActivation(renderer.plugin, m_bus, this);
        m_activations.insert(renderer.plugin, activation);
        activation->activate();
    }
}

void TuvoMprisBridge::removePlayer(const QString &busName)
{
    TuvoMprisPlayer *player = m_players.take(busName);
    if (!player)
        return;
    const QString plugin = player->renderer().plugin;
    qInfo().noquote() << "tuvo-mpris: player" << player->busName() << "withdrawn";
    player->deleteLater();
    if (plugin.isEmpty())
        return;
    for (const TuvoMprisPlayer *other : std::as_const(m_players)) {
        if (other->renderer().plugin == plugin)
            return;
    }
    if (TuvoClientPluginActivation *activation = m_activations.take(plugin))
        activation->deleteLater();
}

void TuvoMprisBridge::updatePlayer(const TuvoClientObjectInfo &renderer)
{
    TuvoMprisPlayer *player = m_players.value(renderer.busName);
    if (!player)
        return;
    if (!renderer.title.isEmpty())
        player->setIdentity(renderer.title);
    player->refresh();
}
