#ifndef TUVOCLIENTDISCOVERY_H
#define TUVOCLIENTDISCOVERY_H

#include "TuvoClientError.h"
#include "TuvoClientGlobal.h"
#include "TuvoClientObjectInfo.h"
#include "TuvoClientTargetMatch.h"

#include <QDBusConnection>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QObject>

#include <functional>

class QDBusMessage;

/*!
 * What the wrapper processes on the bus publish right now, and live changes to it.
 *
 * start() follows the bus daemon's NameOwnerChanged and the hello signals first and
 * then takes a snapshot of the names on the bus; ready() says the snapshot is
 * complete. From then on every object that appears or vanishes is reported, also when
 * a whole wrapper process leaves the bus or a new one starts. The snapshot only asks
 * the bus daemon; only fetchTitles() asks the objects themselves for their names
 * (which a frozen process would not answer before the time-out).
 *
 * The snapshot also holds the plugins the bus daemon can start on demand (those with
 * a D-Bus service file): they can be named and activated before any wrapper runs.
 */
class TUVO_CLIENT_EXPORT TuvoClientDiscovery : public QObject
{
    Q_OBJECT
public:
    explicit TuvoClientDiscovery(const QDBusConnection &connection = QDBusConnection::sessionBus(),
                                 QObject *parent = nullptr);

    using TitlesHandler = std::function<void(const QList<TuvoClientError> &errors)>;

    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int timeout() const { return m_timeout; }

    void start();
    bool isReady() const { return m_ready; }

    /*! Plugins first, then sources, then renderers, each by bus name. */
    QList<TuvoClientObjectInfo> objects() const;
    TuvoClientObjectInfo object(const QString &busName) const { return m_objects.value(busName); }
    /*! The source or renderer at \a path of the connection \a owner. */
    TuvoClientObjectInfo objectAt(const QString &owner, const QString &path) const;
    TuvoClientTargetMatch find(const QList<TuvoClientObjectInfo::Kind> &kinds, const QString &text) const;

    /*! Whether the bus daemon starts a wrapper for \a plugin (a derived plugin name) on demand. */
    bool isActivatable(const QString &plugin) const { return m_activatable.contains(plugin); }
    /*!
     * The plugins the bus daemon can start that no process on the bus serves now, as
     * plugin objects without an owner, by bus name.
     */
    QList<TuvoClientObjectInfo> startablePlugins() const;

    /*!
     * Asks every source and renderer whose title is not known yet for its name(), all
     * at once; \a handler gets the errors of those that did not answer.
     */
    void fetchTitles(const TitlesHandler &handler);

Q_SIGNALS:
    void ready();
    /*! The snapshot could not be taken. */
    void failed(const TuvoClientError &error);
    void objectAppeared(const TuvoClientObjectInfo &object);
    void objectVanished(const TuvoClientObjectInfo &object);
    /*! Its title, plugin name or plugin became known. */
    void objectChanged(const TuvoClientObjectInfo &object);
    /*!
     * A hello signal ("new_plugin", "new_source", "new_renderer"): the object as the
     * signal describes it, its owner being the sender.
     */
    void helloReceived(const TuvoClientObjectInfo &object);

private Q_SLOTS:
    void handleNameOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);
    void handleHello(const QDBusMessage &message);

private:
    void handleNames(const QStringList &names);
    void askActivatable();
    void askOwner(const QString &name);
    void settle();
    void insert(TuvoClientObjectInfo info);
    void remove(const QString &busName);
    void assignPlugins();
    void update(const TuvoClientObjectInfo &info);

    QDBusConnection m_connection;
    int m_timeout = TuvoClientDefaults::CallTimeoutMs;
    bool m_started = false;
    bool m_ready = false;
    int m_outstanding = 0;
    QMap<QString, TuvoClientObjectInfo> m_objects;
    QSet<QString> m_activatable;
    // Bumped by every owner change of a name: answers to older questions are stale.
    QHash<QString, quint64> m_nameEvents;
};

#endif
