#include "BusSignalRecorder.h"

#include <QEventLoop>
#include <QTimer>

BusSignalRecorder::BusSignalRecorder(const QString &service, const QString &path,
                                     const QString &interface, const QString &member,
                                     const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_service(service)
    , m_path(path)
    , m_interface(interface)
    , m_member(member)
{
    m_connected = m_connection.connect(service, path, interface, member, this,
                                       SLOT(handleMessage(QDBusMessage)));
}

BusSignalRecorder::~BusSignalRecorder()
{
    if (m_connected)
        m_connection.disconnect(m_service, m_path, m_interface, m_member, this,
                                SLOT(handleMessage(QDBusMessage)));
}

BusSignalRecorder *BusSignalRecorder::nameOwnerChanges(QObject *parent)
{
    return new BusSignalRecorder(QStringLiteral("org.freedesktop.DBus"),
                                 QStringLiteral("/org/freedesktop/DBus"),
                                 QStringLiteral("org.freedesktop.DBus"),
                                 QStringLiteral("NameOwnerChanged"), QDBusConnection::sessionBus(),
                                 parent);
}

QStringList BusSignalRecorder::firstArguments() const
{
    QStringList result;
    for (const QDBusMessage &message : m_messages)
        result.append(message.arguments().value(0).toString());
    return result;
}

QList<QVariantList> BusSignalRecorder::arguments() const
{
    QList<QVariantList> result;
    for (const QDBusMessage &message : m_messages)
        result.append(message.arguments());
    return result;
}

bool BusSignalRecorder::waitForCount(int n, int timeoutMs)
{
    // Woken by the signal itself, so that the benchmarks can time it.
    if (count() < n) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        connect(this, &BusSignalRecorder::received, &loop, [&] {
            if (count() >= n)
                loop.quit();
        });
        loop.exec();
    }
    return count() >= n;
}

void BusSignalRecorder::handleMessage(const QDBusMessage &message)
{
    m_messages.append(message);
    Q_EMIT received(message);
}
