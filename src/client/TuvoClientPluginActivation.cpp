#include "TuvoClientPluginActivation.h"

#include <TuvoBusNames.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

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
    const QDBusMessage call = QDBusMessage::createMethodCall(
        busName(), TuvoBusNames::pluginObjectPath(m_plugin),
        QLatin1String(TuvoBusNames::PluginInterface), QStringLiteral("activate"));
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, attempt](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        // Answers to an attempt that deactivate() or a newer attempt overtook are stale.
        if (attempt != m_attempt || !m_wanted)
            return;
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            Q_EMIT failed(TuvoClientError::fromDBus(QDBusError(reply), busName(), m_timeout));
            return;
        }
        m_active = true;
        m_owner = reply.service();
        Q_EMIT activated(m_owner);
    });
}

void TuvoClientPluginActivation::deactivate()
{
    m_wanted = false;
    ++m_attempt;
    if (!m_active)
        return;
    m_active = false;
    // To the process that was activated, not to whoever owns the name now; the answer
    // does not matter, and the process also lets go when this client leaves the bus.
    QDBusMessage call = QDBusMessage::createMethodCall(
        m_owner, TuvoBusNames::pluginObjectPath(m_plugin),
        QLatin1String(TuvoBusNames::PluginInterface), QStringLiteral("deactivate"));
    call.setAutoStartService(false);
    m_connection.send(call);
}

void TuvoClientPluginActivation::handleOwnerChanged(const QString &, const QString &oldOwner,
                                                    const QString &newOwner)
{
    if (m_active && oldOwner == m_owner) {
        m_active = false;
        Q_EMIT lost();
    }
    if (m_wanted && !m_active && !newOwner.isEmpty())
        sendActivate();
}
