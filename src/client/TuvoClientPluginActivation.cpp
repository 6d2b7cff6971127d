#include "TuvoClientPluginActivation.h"

#include "TuvoClientPluginInterface.h"

#include <TuvoBusNames.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace {
// Losses of a process within the time-out of its activation that end the attempts.
constexpr int MaxQuickLosses = 3;
} // namespace

TuvoClientPluginActivation::TuvoClientPluginActivation(const QString &plugin,
                                                       const QDBusConnection &connection,
                                                       QObject *parent)
    : QObject(parent)
    , m_plugin(plugin)
    , m_connection(connection)
    , m_watcher(new QDBusServiceWatcher(TuvoBusNames::pluginServiceName(plugin), connection,
                                        QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &TuvoClientPluginActivation::handleOwnerChanged);
}

TuvoClientPluginActivation::~TuvoClientPluginActivation()
{
    if (!m_endWithConnection)
        deactivate();
}

QString TuvoClientPluginActivation::busName() const
{
    return TuvoBusNames::pluginServiceName(m_plugin);
}

void TuvoClientPluginActivation::activate()
{
    m_wanted = true;
    if (!m_active)
        sendActivate();
}

void TuvoClientPluginActivation::sendActivate()
{
    const quint64 attempt = ++m_attempt;
    m_pending = true;
    // The daemon answers once the started process owns the name. A name without a
    // service file it refuses, although a process may own it: that one is asked anyway.
    QDBusMessage start = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("StartServiceByName"));
    start << busName() << 0u;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(start, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, attempt](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (attempt != m_attempt || !m_wanted)
            return;
        const QDBusMessage reply = w->reply();
        if (reply.type() == QDBusMessage::ErrorMessage
            && reply.errorName() != QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
            fail(TuvoClientError::fromDBus(QDBusError(reply), busName(), m_timeout));
            return;
        }
        callActivate(attempt);
    });
}

void TuvoClientPluginActivation::callActivate(quint64 attempt)
{
    // To the name: a process that took it over meanwhile is the one to activate.
    TuvoClientPluginInterface calls(busName(), TuvoBusNames::pluginObjectPath(m_plugin), m_connection);
    calls.setTimeout(m_timeout);
    auto *watcher = new QDBusPendingCallWatcher(calls.activate(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, attempt](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        // Answers to an attempt that deactivate() or a newer attempt overtook are stale.
        if (attempt != m_attempt || !m_wanted)
            return;
        m_pending = false;
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            TuvoClientError error = TuvoClientError::fromDBus(QDBusError(reply), busName(), m_timeout);
            if (error.type() == TuvoClientError::NotFound)
                error = TuvoClientError(
                    TuvoClientError::NotFound,
                    (m_wasLost ? QStringLiteral("the process of the plugin %1 left the bus, and the bus cannot start it again")
                               : QStringLiteral("no plugin %1 is on the bus, and the bus cannot start it"))
                        .arg(m_plugin),
                    busName(), 0, error.dbusName());
            fail(error);
            return;
        }
        m_active = true;
        m_owner = reply.service();
        m_activeFor.start();
        Q_EMIT activated(m_owner);
    });
}

void TuvoClientPluginActivation::fail(const TuvoClientError &error)
{
    m_pending = false;
    m_wanted = false;
    Q_EMIT failed(error);
}

void TuvoClientPluginActivation::deactivate()
{
    m_wanted = false;
    m_pending = false;
    ++m_attempt;
    if (!m_active)
        return;
    m_active = false;
    // To the process that was activated, not to whoever owns the name now; the answer
    // does not matter, and the process also lets go when this client leaves the bus.
    TuvoClientPluginInterface(m_owner, TuvoBusNames::pluginObjectPath(m_plugin), m_connection).deactivate();
}

void TuvoClientPluginActivation::handleOwnerChanged(const QString &, const QString &oldOwner,
                                                    const QString &newOwner)
{
    if (m_active && oldOwner == m_owner) {
        m_active = false;
        m_wasLost = true;
        m_quickLosses = m_activeFor.elapsed() < m_timeout ? m_quickLosses + 1 : 0;
        Q_EMIT lost();
        if (!m_wanted)
            return;
        if (m_quickLosses >= MaxQuickLosses) {
            fail(TuvoClientError(TuvoClientError::NotFound,
                                 QStringLiteral("the process of the plugin %1 left the bus %2 times in a row soon "
                                                "after its activation; not starting it again")
                                     .arg(m_plugin)
                                     .arg(m_quickLosses),
                                 busName()));
            return;
        }
        if (newOwner.isEmpty()) {
            sendActivate();
            return;
        }
    }
    if (m_wanted && !m_active && !m_pending && !newOwner.isEmpty())
        sendActivate();
}
