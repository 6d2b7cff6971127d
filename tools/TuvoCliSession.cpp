#include "TuvoCliSession.h"

#include <TuvoClientPluginActivation.h>

TuvoCliSession::TuvoCliSession(const QDBusConnection &connection, int timeoutMs, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_timeout(timeoutMs)
    , m_discovery(new TuvoClientDiscovery(connection, this))
{
    m_discovery->setTimeout(timeoutMs);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, [this] {
        m_found = nullptr;
        Q_EMIT failed(TuvoClientError(
            TuvoClientError::NotFound,
            QStringLiteral("the plugin %1 published no %2 \"%3\" within %4")
                .arg(m_plugin, TuvoClientObjectInfo::kindName(m_wantedKinds.value(0)), m_wantedName,
                     TuvoClientError::formatSeconds(m_timeout))));
    });
    // A named object of the activated plugin may be announced only after activation.
    connect(m_discovery, &TuvoClientDiscovery::helloReceived, this, [this] {
        if (m_found)
            tryResolve();
    });
}

void TuvoCliSession::start(const QString &pluginName)
{
    connect(m_discovery, &TuvoClientDiscovery::failed, this, &TuvoCliSession::failed);
    connect(m_discovery, &TuvoClientDiscovery::ready, this, [this, pluginName] {
        if (pluginName.isEmpty()) {
            m_ready = true;
            Q_EMIT ready();
        } else {
            activate(pluginName);
        }
    });
    m_discovery->start();
}

void TuvoCliSession::activate(const QString &pluginName)
{
    // A plugin the bus starts on demand is named like one that runs already.
    const TuvoClientTargetMatch match = TuvoClientTargetMatch::find(
        m_discovery->objects() + m_discovery->startablePlugins(), {TuvoClientObjectInfo::Plugin}, pluginName);
    if (!match.isFound()) {
        Q_EMIT failed(match.error());
        return;
    }
    m_plugin = match.object().name;
    m_activation = new TuvoClientPluginActivation(m_plugin, m_connection, this);
    m_activation->setTimeout(m_timeout);
    // tuvo-client exits when the command ends; leaving the bus ends the activation.
    m_activation->setEndWithConnection(true);
    connect(m_activation, &TuvoClientPluginActivation::activated, this, [this](const QString &owner) {
        m_scopeOwner = owner;
        if (!m_ready) {
            m_ready = true;
            Q_EMIT ready();
        }
    });
    // A wrapper that cannot load its plugin still answers the activation, then exits.
    connect(m_activation, &TuvoClientPluginActivation::lost, this, [this] {
        if (!m_found)
            return;
        m_wait.stop();
        m_found = nullptr;
        Q_EMIT failed(TuvoClientError(TuvoClientError::NotFound,
                                      QStringLiteral("the process of the plugin %1 left the bus").arg(m_plugin),
                                      m_activation->busName()));
    });
    connect(m_activation, &TuvoClientPluginActivation::failed, this, [this](const TuvoClientError &error) {
        // Later failures (a restarted process that does not answer) are for long-running verbs to report.
        if (!m_ready)
            Q_EMIT failed(error);
    });
    m_activation->activate();
}

bool TuvoCliSession::inScope(const TuvoClientObjectInfo &object) const
{
    if (m_plugin.isEmpty())
        return true;
    if (object.kind == TuvoClientObjectInfo::Plugin)
        return object.name == m_plugin;
    return object.owner == m_scopeOwner || object.plugin == m_plugin;
}

QList<TuvoClientObjectInfo> TuvoCliSession::objects() const
{
    QList<TuvoClientObjectInfo> scoped;
    const QList<TuvoClientObjectInfo> all = m_discovery->objects();
    for (const TuvoClientObjectInfo &object : all) {
        if (inScope(object))
            scoped.append(object);
    }
    return scoped;
}

void TuvoCliSession::resolve(const QList<TuvoClientObjectInfo::Kind> &kinds, const QString &text,
                             const FoundHandler &found)
{
    m_wantedKinds = kinds;
    m_wantedName = text;
    m_found = found;
    tryResolve();
    if (m_found && !m_plugin.isEmpty())
        m_wait.start(m_timeout);
}

void TuvoCliSession::tryResolve()
{
    const TuvoClientTargetMatch match = TuvoClientTargetMatch::find(objects(), m_wantedKinds, m_wantedName);
    if (match.result() == TuvoClientTargetMatch::NotFound && !m_plugin.isEmpty())
        return; // wait for it to be announced
    m_wait.stop();
    const FoundHandler found = m_found;
    m_found = nullptr;
    if (match.isFound())
        found(match.object());
    else
        Q_EMIT failed(match.error());
}
