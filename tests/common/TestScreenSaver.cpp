#include "TestScreenSaver.h"

#include <QUuid>

TestScreenSaver::TestScreenSaver(bool active, QObject *parent)
    : QObject(parent)
    , m_connection(QString())
    , m_active(active)
{
}

TestScreenSaver::~TestScreenSaver()
{
    leave();
}

bool TestScreenSaver::appear()
{
    if (m_onBus)
        return true;
    m_connectionName = QStringLiteral("screensaver-") + QUuid::createUuid().toString(QUuid::Id128);
    m_connection = QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName);
    if (!m_connection.isConnected())
        return false;
    m_onBus = m_connection.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), this,
                                          QDBusConnection::ExportAllSlots
                                              | QDBusConnection::ExportAllSignals)
              && m_connection.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
    return m_onBus;
}

void TestScreenSaver::leave()
{
    if (m_connectionName.isEmpty())
        return;
    m_connection.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_connection = QDBusConnection(QString());
    m_connectionName.clear();
    m_onBus = false;
}

void TestScreenSaver::setActive(bool active)
{
    m_active = active;
    Q_EMIT ActiveChanged(active);
}

bool TestScreenSaver::GetActive()
{
    ++m_getActiveCalls;
    return m_active;
}
