#include "TuvoClientDiscovery.h"

#include "TuvoClientLogging.h"

#include <TuvoBusNames.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>

#include <algorithm>
#include <memory>

namespace {
const QString DaemonService = QStringLiteral("org.freedesktop.DBus");
const QString DaemonPath = QStringLiteral("/org/freedesktop/DBus");
const QString DaemonInterface = QStringLiteral("org.freedesktop.DBus");
const QString BusDaemonName = QStringLiteral("the session bus");

// The plugin name a source's or renderer's bus name was made from, its blanks given
// back: "Sample-Plugin" in "com.oxbel.tuvo.source.Sample-Plugin.sample_source".
QString pluginNameOf(const QString &busName)
{
    const QStringList parts = busName.split(QLatin1Char('.'));
    return parts.size() < 6 ? QString() : parts.mid(4, parts.size() - 5).join(QLatin1Char('.')).replace(QLatin1Char('-'), QLatin1Char(' '));
}
} // namespace

TuvoClientDiscovery::TuvoClientDiscovery(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
{
}

void TuvoClientDiscovery::start()
{
    if (m_started)
        return;
    m_started = true;
    if (!m_connection.isConnected()) {
        const TuvoClientError error(TuvoClientError::DBusFailure,
                                    QStringLiteral("not connected to the session bus"));
        QMetaObject::invokeMethod(this, [this, error] { Q_EMIT failed(error); }, Qt::QueuedConnection);
        return;
    }
    // Follow changes before asking for the names, so that nothing falls in between.
    bool subscribed = m_connection.connect(DaemonService, DaemonPath, DaemonInterface,
                                           QStringLiteral("NameOwnerChanged"), this,
                                           SLOT(handleNameOwnerChanged(QString,QString,QString)));
    subscribed = m_connection.connect(QString(), QLatin1String(TuvoBusNames::RegistryPath),
                                      QLatin1String(TuvoBusNames::RegistryInterface), QString(),
                                      this, SLOT(handleHello(QDBusMessage)))
                 && subscribed;
    subscribed = m_connection.connect(QString(), QLatin1String(TuvoBusNames::PluginPath),
                                      QLatin1String(TuvoBusNames::PluginInterface),
                                      QStringLiteral("new_plugin"), this, SLOT(handleHello(QDBusMessage)))
                 && subscribed;
    if (!subscribed)
        qCWarning(lcTuvoClient) << "cannot follow the bus for changes:" << m_connection.lastError().message();

    askActivatable();
    ++m_outstanding;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(DaemonService, DaemonPath, DaemonInterface, QStringLiteral("ListNames"));
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("as")) {
            Q_EMIT failed(TuvoClientError::fromDBus(QDBusError(reply), BusDaemonName, m_timeout));
            return;
        }
        handleNames(reply.arguments().at(0).toStringList());
        settle();
    });
}

void TuvoClientDiscovery::handleNames(const QStringList &names)
{
    ++m_outstanding;
    for (const QString &name : names) {
        if (TuvoClientObjectInfo::fromBusName(name).isValid() && !m_objects.contains(name))
            askOwner(name);
    }
    settle();
}

void TuvoClientDiscovery::askActivatable()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(DaemonService, DaemonPath, DaemonInterface,
                                                             QStringLiteral("ListActivatableNames"));
    ++m_outstanding;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        // Without the list, plugins can still be used while their wrappers run.
        if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("as")) {
            qCWarning(lcTuvoClient) << "cannot list the plugins the bus starts on demand:"
                                    << QDBusError(reply).message();
        } else {
            const QStringList names = reply.arguments().at(0).toStringList();
            for (const QString &name : names) {
                const TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(name);
                if (info.isValid() && info.kind == TuvoClientObjectInfo::Plugin)
                    m_activatable.insert(info.name);
            }
        }
        settle();
    });
}

QList<TuvoClientObjectInfo> TuvoClientDiscovery::startablePlugins() const
{
    QStringList plugins(m_activatable.cbegin(), m_activatable.cend());
    plugins.sort();
    QList<TuvoClientObjectInfo> startable;
    for (const QString &plugin : qAsConst(plugins)) {
        const TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(TuvoBusNames::pluginServiceName(plugin));
        if (!m_objects.contains(info.busName))
            startable.append(info);
    }
    return startable;
}

void TuvoClientDiscovery::askOwner(const QString &name)
{
    const quint64 generation = m_nameEvents.value(name);
    QDBusMessage call =
        QDBusMessage::createMethodCall(DaemonService, DaemonPath, DaemonInterface, QStringLiteral("GetNameOwner"));
    call << name;
    ++m_outstanding;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name, generation](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                // A name that changed owner meanwhile is already known from that change.
                if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("s")
                    && m_nameEvents.value(name) == generation && !m_objects.contains(name)) {
                    TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(name);
                    info.owner = reply.arguments().at(0).toString();
                    insert(info);
                }
                settle();
            });
}

void TuvoClientDiscovery::fetchTitles(const TitlesHandler &handler)
{
    struct Fetch {
        int outstanding = 1;
        QList<TuvoClientError> errors;
        TitlesHandler handler;
    };
    auto fetch = std::make_shared<Fetch>();
    fetch->handler = handler;
    const auto done = [fetch] {
        if (--fetch->outstanding == 0 && fetch->handler)
            fetch->handler(fetch->errors);
    };
    for (const TuvoClientObjectInfo &info : qAsConst(m_objects)) {
        if (info.kind == TuvoClientObjectInfo::Plugin || !info.title.isEmpty())
            continue;
        QDBusMessage call = QDBusMessage::createMethodCall(info.owner, info.objectPath(),
                                                           QLatin1String(TuvoBusNames::ExtensionInterface),
                                                           QStringLiteral("get_name"));
        ++fetch->outstanding;
        auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(call, m_timeout), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, fetch, done, busName = info.busName, owner = info.owner](QDBusPendingCallWatcher *w) {
                    w->deleteLater();
                    const QDBusMessage reply = w->reply();
                    TuvoClientObjectInfo current = m_objects.value(busName);
                    if (reply.type() != QDBusMessage::ReplyMessage) {
                        fetch->errors.append(TuvoClientError::fromDBus(QDBusError(reply), busName, m_timeout));
                    } else if (reply.signature() == QLatin1String("s") && current.owner == owner) {
                        current.title = reply.arguments().at(0).toString();
                        if (current.pluginName.isEmpty())
                            current.pluginName = pluginNameOf(busName);
                        update(current);
                    }
                    done();
                });
    }
    // Answered from the event loop even when there is nothing to ask.
    QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
}

void TuvoClientDiscovery::settle()
{
    if (--m_outstanding > 0 || m_ready)
        return;
    m_ready = true;
    Q_EMIT ready();
}

QList<TuvoClientObjectInfo> TuvoClientDiscovery::objects() const
{
    QList<TuvoClientObjectInfo> list = m_objects.values();
    std::stable_sort(list.begin(), list.end(),
                     [](const TuvoClientObjectInfo &a, const TuvoClientObjectInfo &b) {
                         return a.kind < b.kind;
                     });
    return list;
}

TuvoClientObjectInfo TuvoClientDiscovery::objectAt(const QString &owner, const QString &path) const
{
    const TuvoClientObjectInfo wanted = TuvoClientObjectInfo::fromObjectPath(path);
    if (wanted.name.isEmpty())
        return TuvoClientObjectInfo();
    for (const TuvoClientObjectInfo &info : m_objects) {
        if (info.owner == owner && info.kind == wanted.kind && info.name == wanted.name)
            return info;
    }
    return TuvoClientObjectInfo();
}

TuvoClientTargetMatch TuvoClientDiscovery::find(const QList<TuvoClientObjectInfo::Kind> &kinds,
                                                const QString &text) const
{
    return TuvoClientTargetMatch::find(objects(), kinds, text);
}

void TuvoClientDiscovery::handleNameOwnerChanged(const QString &name, const QString &oldOwner,
                                                 const QString &newOwner)
{
    if (!TuvoClientObjectInfo::fromBusName(name).isValid())
        return;
    ++m_nameEvents[name];
    if (!oldOwner.isEmpty() || m_objects.contains(name))
        remove(name);
    if (!newOwner.isEmpty()) {
        TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(name);
        info.owner = newOwner;
        insert(info);
    }
}

void TuvoClientDiscovery::insert(TuvoClientObjectInfo info)
{
    if (info.kind != TuvoClientObjectInfo::Plugin) {
        for (const TuvoClientObjectInfo &other : qAsConst(m_objects)) {
            if (other.kind == TuvoClientObjectInfo::Plugin && other.owner == info.owner)
                info.plugin = other.name;
        }
    }
    m_objects.insert(info.busName, info);
    if (m_ready)
        Q_EMIT objectAppeared(info);
    if (info.kind == TuvoClientObjectInfo::Plugin)
        assignPlugins();
}

void TuvoClientDiscovery::remove(const QString &busName)
{
    if (!m_objects.contains(busName))
        return;
    const TuvoClientObjectInfo info = m_objects.take(busName);
    if (m_ready)
        Q_EMIT objectVanished(info);
    if (info.kind == TuvoClientObjectInfo::Plugin)
        assignPlugins();
}

void TuvoClientDiscovery::assignPlugins()
{
    QHash<QString, QString> pluginOfOwner;
    for (const TuvoClientObjectInfo &info : qAsConst(m_objects)) {
        if (info.kind == TuvoClientObjectInfo::Plugin)
            pluginOfOwner.insert(info.owner, info.name);
    }
    const QList<TuvoClientObjectInfo> all = m_objects.values();
    for (TuvoClientObjectInfo info : all) {
        if (info.kind == TuvoClientObjectInfo::Plugin || info.plugin == pluginOfOwner.value(info.owner))
            continue;
        info.plugin = pluginOfOwner.value(info.owner);
        update(info);
    }
}

void TuvoClientDiscovery::update(const TuvoClientObjectInfo &info)
{
    m_objects.insert(info.busName, info);
    if (m_ready)
        Q_EMIT objectChanged(info);
}

void TuvoClientDiscovery::handleHello(const QDBusMessage &message)
{
    TuvoClientObjectInfo hello;
    const QVariantList args = message.arguments();
    const QString member = message.member();
    if (member == QLatin1String("new_plugin") && message.signature() == QLatin1String("s")) {
        hello = TuvoClientObjectInfo::fromBusName(TuvoBusNames::pluginServiceName(args.at(0).toString()));
    } else if ((member == QLatin1String("new_source") || member == QLatin1String("new_renderer"))
               && message.signature() == QLatin1String("sss")) {
        const QString pluginName = args.at(0).toString();
        const QString uuid = args.at(1).toString();
        hello = TuvoClientObjectInfo::fromBusName(
            member == QLatin1String("new_source") ? TuvoBusNames::sourceServiceName(pluginName, uuid)
                                                  : TuvoBusNames::rendererServiceName(pluginName, uuid));
        hello.pluginName = pluginName;
        hello.title = args.at(2).toString();
    }
    if (!hello.isValid()) {
        qCWarning(lcTuvoClient) << "ignoring the hello" << member << message.signature() << "from"
                                << message.service();
        return;
    }
    hello.owner = message.service();

    // Only the owner of a name can say what it is called.
    TuvoClientObjectInfo known = m_objects.value(hello.busName);
    if (known.isValid() && known.owner == hello.owner) {
        hello.plugin = known.plugin;
        if (hello.kind == TuvoClientObjectInfo::Plugin)
            hello.plugin = hello.name;
        if (known.title != hello.title || known.pluginName != hello.pluginName) {
            known.title = hello.title;
            known.pluginName = hello.pluginName;
            update(known);
        }
    }
    Q_EMIT helloReceived(hello);
}
