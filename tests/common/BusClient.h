#ifndef BUSCLIENT_H
#define BUSCLIENT_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantList>

/*!
 * A client of the wrapper with a bus connection of its own (its own unique name), so
 * that a test can have several clients and let one vanish. Calls wait for their reply
 * with the event loop running, so they also work against objects of this process.
 */
class BusClient
{
public:
    BusClient();
    ~BusClient();
    BusClient(const BusClient &) = delete;
    BusClient &operator=(const BusClient &) = delete;

    QDBusConnection connection() const { return m_connection; }
    QString uniqueName() const { return m_uniqueName; }
    bool isConnected() const { return !m_name.isEmpty() && m_connection.isConnected(); }

    QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                      const QString &method, const QVariantList &arguments = {},
                      int timeoutMs = 10000);
    /*! activate / deactivate on the control object of the plugin \a pluginName. */
    bool activate(const QString &pluginName);
    bool deactivate(const QString &pluginName);
    /*! Leaves the bus, as a client that exits does. */
    void disconnect();

private:
    bool callPlugin(const QString &pluginName, const QString &method);

    QString m_name;
    QString m_uniqueName;
    QDBusConnection m_connection;
};

#endif
