#include "BusClient.h"

#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QUuid>

BusClient::BusClient()
    : m_name(QStringLiteral("client-") + QUuid::createUuid().toString(QUuid::Id128))
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name))
{
    m_uniqueName = m_connection.baseService();
}

BusClient::~BusClient()
{
    disconnect();
}

QDBusMessage BusClient::call(const QString &service, const QString &path,
                             const QString &interface, const QString &method,
                             const QVariantList &arguments, int timeoutMs)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = m_connection.asyncCall(message, timeoutMs);
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    return pending.reply();
}

bool BusClient::activate(const QString &pluginName)
{
    return callPlugin(pluginName, QStringLiteral("activate"));
}

bool BusClient::deactivate(const QString &pluginName)
{
    return callPlugin(pluginName, QStringLiteral("deactivate"));
}

bool BusClient::callPlugin(const QString &pluginName, const QString &method)
{
    return call(QStringLiteral("com.oxbel.tuvo.plugin.") + pluginName,
                QStringLiteral("/com/oxbel/tuvo/plugin/") + pluginName,
                QStringLiteral("com.oxbel.tuvo.plugin"), method).type() == QDBusMessage::ReplyMessage;
}

void BusClient::disconnect()
{
    if (m_name.isEmpty())
        return;
    // The connection closes once nothing refers to it any more.
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_name);
    m_name.clear();
}
