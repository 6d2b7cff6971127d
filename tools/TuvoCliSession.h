#ifndef TUVOCLISESSION_H
#define TUVOCLISESSION_H

#include <TuvoClientDiscovery.h>
#include <TuvoClientError.h>
#include <TuvoClientObjectInfo.h>

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>

class TuvoClientPluginActivation;

/*!
 * What every verb starts from: the session bus, what is published on it, and, with
 * --plugin, the activation of that plugin for as long as the command runs. Names given
 * on the command line are resolved here; with --plugin only the objects of that
 * plugin's process count, and a named object not published yet is waited for (for its
 * hello signal) until the time-out.
 */
class TuvoCliSession : public QObject
{
    Q_OBJECT
public:
    using FoundHandler = std::function<void(const TuvoClientObjectInfo &object)>;

    TuvoCliSession(const QDBusConnection &connection, int timeoutMs, QObject *parent = nullptr);

    QDBusConnection connection() const { return m_connection; }
    int timeout() const { return m_timeout; }
    TuvoClientDiscovery *discovery() const { return m_discovery; }
    /*! The plugin named with --plugin (or activate's argument), once found; else empty. */
    QString plugin() const { return m_plugin; }
    TuvoClientPluginActivation *activation() const { return m_activation; }

    /*! Takes the snapshot, then activates \a pluginName when given; ready() or failed() follow. */
    void start(const QString &pluginName);

    /*! The objects a command may use: all, or those of the activated plugin. */
    QList<TuvoClientObjectInfo> objects() const;
    bool inScope(const TuvoClientObjectInfo &object) const;
    /*! Finds the object named \a text; calls \a found, or emits failed(). */
    void resolve(const QList<TuvoClientObjectInfo::Kind> &kinds, const QString &text,
                 const FoundHandler &found);

Q_SIGNALS:
    void ready();
    void failed(const TuvoClientError &error);

private:
    void activate(const QString &pluginName);
    void tryResolve();

    QDBusConnection m_connection;
    int m_timeout;
    TuvoClientDiscovery *m_discovery;
    TuvoClientPluginActivation *m_activation = nullptr;
    QString m_plugin;
    QString m_scopeOwner;
    bool m_ready = false;

    QList<TuvoClientObjectInfo::Kind> m_wantedKinds;
    QString m_wantedName;
    FoundHandler m_found;
    QTimer m_wait;
};

#endif
