#include "ActivityMonitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

const char *const ActivityMonitor::ScreenSaverService = "org.freedesktop.ScreenSaver";
const char *const ActivityMonitor::ScreenSaverPath = "/org/freedesktop/ScreenSaver";
const char *const ActivityMonitor::ScreenSaverInterface = "org.freedesktop.ScreenSaver";

ActivityMonitor::ActivityMonitor(QObject *parent)
    : ActivityMonitor(QDBusConnection::sessionBus(), parent,
                      startedByBus() ? WithoutScreenSaver::CountAsInactive
                                     : WithoutScreenSaver::CountAsActive)
{
}

ActivityMonitor::ActivityMonitor(const QDBusConnection &connection, QObject *parent,
                                 WithoutScreenSaver without)
    : QObject(parent)
    , m_connection(connection)
    , m_without(without)
{
    start();
}

bool ActivityMonitor::startedByBus()
{
    return !qEnvironmentVariableIsEmpty("DBUS_STARTER_BUS_TYPE");
}

ActivityMonitor::Activity ActivityMonitor::withoutScreenSaver() const
{
    return m_without == WithoutScreenSaver::CountAsInactive ? Inactive : Active;
}

ActivityMonitor::~ActivityMonitor() = default;

void ActivityMonitor::start()
{
    if (!m_connection.isConnected())
        return;
    const QString service = QLatin1String(ScreenSaverService);
    m_watcher = new QDBusServiceWatcher(service, m_connection,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &ActivityMonitor::handleServiceOwnerChanged);
    // Any path: screensavers announce from /org/freedesktop/ScreenSaver or /ScreenSaver.
    m_connection.connect(service, QString(), QLatin1String(ScreenSaverInterface),
                         QStringLiteral("ActiveChanged"), this,
                         SLOT(handleScreenSaverActiveChanged(bool)));
    askScreenSaver();
}

void ActivityMonitor::askScreenSaver()
{
    const quint64 generation = ++m_generation;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(ScreenSaverService), QLatin1String(ScreenSaverPath),
        QLatin1String(ScreenSaverInterface), QStringLiteral("GetActive"));
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call), this);
    watcher->setProperty("generation", generation);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            &ActivityMonitor::handleGetActiveReply);
}

void ActivityMonitor::handleGetActiveReply(QDBusPendingCallWatcher *watcher)
{
    watcher->deleteLater();
    if (watcher->property("generation").toULongLong() != m_generation)
        return;
    const QDBusPendingReply<bool> reply = *watcher;
    if (!reply.isValid()) {
        // No screensaver, or one that cannot answer.
        setActivity(withoutScreenSaver());
        return;
    }
    setActivity(reply.value() ? Inactive : Active);
}

void ActivityMonitor::handleScreenSaverActiveChanged(bool active)
{
    // A newer signal overrides any answer still on its way.
    ++m_generation;
    setActivity(active ? Inactive : Active);
}

void ActivityMonitor::handleServiceOwnerChanged(const QString &, const QString &,
                                                const QString &newOwner)
{
    if (newOwner.isEmpty()) {
        ++m_generation;
        setActivity(withoutScreenSaver());
    } else {
        askScreenSaver();
    }
}

void ActivityMonitor::setActivity(Activity activity)
{
    if (activity == m_activity)
        return;
    m_activity = activity;
    Q_EMIT activityChanged(activity);
}
