#include "FakePeer.h"

#include <QDeadlineTimer>
#include <QTest>
#include <QUuid>

FakePeer::FakePeer(const QString &busName, const QString &path, QObject *parent)
    : QDBusVirtualObject(parent)
    , m_connectionName(QStringLiteral("fake-") + QUuid::createUuid().toString(QUuid::Id128))
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
    , m_busName(busName)
    , m_path(path)
{
    m_ready = m_connection.isConnected()
              && m_connection.registerVirtualObject(path, this, QDBusConnection::SingleNode)
              && (busName.isEmpty() || m_connection.registerService(busName));
}

FakePeer::~FakePeer()
{
    leave();
}

void FakePeer::leave()
{
    if (m_connectionName.isEmpty())
        return;
    m_connection.unregisterObject(m_path);
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_connectionName.clear();
}

void FakePeer::setReply(const QString &member, const QVariantList &arguments)
{
    m_replies.insert(member, arguments);
}

void FakePeer::setHandler(const QString &member, const Handler &handler)
{
    m_handlers.insert(member, handler);
}

QList<QDBusMessage> FakePeer::callsOf(const QString &member) const
{
    QList<QDBusMessage> found;
    for (const QDBusMessage &call : m_calls) {
        if (call.member() == member)
            found.append(call);
    }
    return found;
}

bool FakePeer::waitForCall(const QString &member, int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (callsOf(member).size() < count && !deadline.hasExpired())
        QTest::qWait(5);
    return callsOf(member).size() >= count;
}

bool FakePeer::sendCall(const QString &destination, const QString &path, const QString &interface,
                        const QString &member, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(destination, path, interface, member);
    call.setArguments(arguments);
    return m_connection.send(call);
}

bool FakePeer::emitSignal(const QString &interface, const QString &member, const QVariantList &arguments)
{
    QDBusMessage signal = QDBusMessage::createSignal(m_path, interface, member);
    signal.setArguments(arguments);
    return m_connection.send(signal);
}

QString FakePeer::introspect(const QString &) const
{
    return QString();
}

bool FakePeer::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    m_calls.append(message);
    if (m_frozen)
        return true;
    if (m_handlers.contains(message.member())) {
        m_handlers.value(message.member())(message, this);
        return true;
    }
    connection.send(message.createReply(m_replies.value(message.member())));
    return true;
}
