#include "TestBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QTest>

namespace TestBus {

QStringList names()
{
    return QDBusConnection::sessionBus().interface()->registeredServiceNames().value();
}

bool hasOwner(const QString &name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

QString owner(const QString &name)
{
    return QDBusConnection::sessionBus().interface()->serviceOwner(name).value();
}

bool waitForName(const QString &name, bool present, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (hasOwner(name) != present && !deadline.hasExpired())
        QTest::qWait(5);
    return hasOwner(name) == present;
}

QString introspect(const QString &service, const QString &path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::BlockWithGui);
    return reply.arguments().value(0).toString();
}

} // namespace TestBus
