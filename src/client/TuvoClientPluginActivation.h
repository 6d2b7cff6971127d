#ifndef TUVOCLIENTPLUGINACTIVATION_H
#define TUVOCLIENTPLUGINACTIVATION_H

#include "TuvoClientError.h"
#include "TuvoClientGlobal.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>

class QDBusServiceWatcher;

/*!
 * Keeps one plugin active for as long as this object wants it: activate() has the bus
 * daemon start the plugin's wrapper process when none runs and the plugin has a
 * service file, then asks the process to load the plugin. When that process leaves
 * the bus, lost() is emitted and the plugin is started and activated again, as long
 * as the bus daemon can start it; otherwise failed() says the plugin is gone. A new
 * process that takes over the plugin's name is activated too. Destroying the object
 * (or deactivate()) releases the plugin again; so does this client leaving the bus.
 *
 * A process that keeps leaving the bus soon after its activation is not started for
 * ever: after a few such losses in a row failed() ends the attempts.
 *
 * When activated() is emitted, every object the plugin published while loading is on
 * the bus.
 */
class TUVO_CLIENT_EXPORT TuvoClientPluginActivation : public QObject
{
    Q_OBJECT
public:
    /*! \a plugin is the derived plugin name ("libtuvo_sample_plugin"). */
    explicit TuvoClientPluginActivation(const QString &plugin,
                                        const QDBusConnection &connection = QDBusConnection::sessionBus(),
                                        QObject *parent = nullptr);
    ~TuvoClientPluginActivation() override;

    QString plugin() const { return m_plugin; }
    QString busName() const;
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int timeout() const { return m_timeout; }

    void activate();
    void deactivate();
    /*!
     * With true, destroying this object does not tell the wrapper: the activation
     * ends when this client's connection leaves the bus, which the wrapper hears of
     * anyway. For a process about to exit, so the wrapper is told once, not twice.
     */
    void setEndWithConnection(bool endWithConnection) { m_endWithConnection = endWithConnection; }
    bool isActive() const { return m_active; }
    /*! The unique name of the process that holds the activation. */
    QString owner() const { return m_owner; }

Q_SIGNALS:
    /*! The process \a owner has loaded the plugin for this client. */
    void activated(const QString &owner);
    /*! Activating failed; after a lost(), the plugin could not be brought back. */
    void failed(const TuvoClientError &error);
    /*! The process that held the activation left the bus. */
    void lost();

private Q_SLOTS:
    void handleOwnerChanged(const QString &name, const QString &oldOwner, const QString &newOwner);

private:
    void sendActivate();
    void callActivate(quint64 attempt);
    void fail(const TuvoClientError &error);

    QString m_plugin;
    QDBusConnection m_connection;
    QDBusServiceWatcher *m_watcher;
    int m_timeout = TuvoClientDefaults::CallTimeoutMs;
    bool m_wanted = false;
    bool m_active = false;
    bool m_endWithConnection = false;
    QString m_owner;
    quint64 m_attempt = 0;
    bool m_pending = false;
    bool m_wasLost = false;
    int m_quickLosses = 0;
    QElapsedTimer m_activeFor;
};

#endif
