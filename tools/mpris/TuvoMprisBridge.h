#ifndef TUVOMPRISBRIDGE_H
#define TUVOMPRISBRIDGE_H

#include <TuvoClientObjectInfo.h>

#include <QDBusConnection>
#include <QHash>
#include <QObject>

class TuvoClientDiscovery;
class TuvoClientPluginActivation;
class TuvoMprisPlayer;

/*!
 * Follows the wrapper processes on the session bus and shows every renderer they
 * publish as an MPRIS player for as long as the renderer is there. With keepActive,
 * the plugin of each shown player is held active by the bridge as well.
 */
class TuvoMprisBridge : public QObject
{
    Q_OBJECT
public:
    static const char *const ServiceName; // "com.oxbel.tuvo.mpris"

    explicit TuvoMprisBridge(bool keepActive, QObject *parent = nullptr);
    ~TuvoMprisBridge() override;

    /*! Owns ServiceName and starts following the bus; false when it cannot. */
    bool start();

private:
    void addPlayer(const TuvoClientObjectInfo &renderer);
    void removePlayer(const QString &busName);
    void updatePlayer(const TuvoClientObjectInfo &renderer);

    QDBusConnection m_bus;
    bool m_keepActive;
    TuvoClientDiscovery *m_discovery;
    QHash<QString, TuvoMprisPlayer *> m_players; // by the renderer's bus name
    QHash<QString, TuvoClientPluginActivation *> m_activations; // by plugin
};

#endif
