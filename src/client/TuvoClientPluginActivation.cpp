#include "TuvoClientPluginActivation.h"

#include "TuvoClientPluginInterface.h"

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
    // To the name, which starts the process when nobody owns it.
    TuvoClientPluginInterface calls(busName(), TuvoBusNames::pluginObjectPath(m_plugin), m_connection);
    calls.setTimeout(m_timeout);
    auto *watcher = new QDBusPendingCallWatcher(calls.activate(), this);
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
    TuvoClientPluginInterface(m_owner, TuvoBusNames::pluginObjectPath(m_plugin), m_connection).deactivate();
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
