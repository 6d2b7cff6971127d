#include "TuvoDBusWrapper.h"

#include "TuvoAdaptorFactory.h"
#include "TuvoBusNames.h"
#include "TuvoPluginAdaptor.h"
#include "TuvoPluginController.h"

#include <TuvoInternalRegistry.h>
#include <TuvoRenderer.h>
#include <TuvoShared.h>
#include <TuvoSource.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDebug>
#include <QTimer>

namespace {
// Objects that stand for sources and renderers of other processes.
const char *const ProxySourceClass = "TuvoProxySource";
const char *const ProxyRendererClass = "TuvoProxyRenderer";
// Shared services the published renderers need: state, media changes and playlists.
constexpr int RendererTrackFlags = 0x2A;

QString controllerKey(const TuvoPluginController *controller)
{
    return QString::fromLatin1(controller->metaObject()->className());
}
} // namespace

TuvoDBusWrapper::TuvoDBusWrapper()
    : QObject(nullptr)
{
    activityMonitor = new ActivityMonitor(this);
    connect(activityMonitor, &ActivityMonitor::activityChanged, this,
            &TuvoDBusWrapper::handleActivityChange);
}

TuvoDBusWrapper::~TuvoDBusWrapper()
{
    if (controller) {
        unpublish(controllerKey(controller));
        delete controller;
    }
}

bool TuvoDBusWrapper::initialize(const QString &plugin)
{
    if (pluginRegistered) {
        qDebug() << "Plugin was loaded successfully beforehand.";
        return true;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString name = TuvoBusNames::pluginName(plugin);
    const QString serviceName = TuvoBusNames::pluginServiceName(name);
    const QString objectPath = TuvoBusNames::pluginObjectPath(name);

    qDebug() << "Registering dbus service: " << serviceName << " for plugin.";
    pluginRegistered = bus.registerService(serviceName);
    if (!pluginRegistered) {
        qCritical() << "Registering service fails.";
        return false;
    }

    delete controller;
    controller = new TuvoPluginController;
    connect(controller, &TuvoPluginController::deactivationRequested, this,
            &TuvoDBusWrapper::deactivatePlugin);
    connect(controller, &TuvoPluginController::activationRequested, this,
            &TuvoDBusWrapper::activatePlugin);
    new TuvoPluginAdaptor(controller);

    qDebug() << "Registering control interface object, path: " << objectPath;
    pluginRegistered = bus.registerObject(objectPath, controller);
    const QString key = controllerKey(controller);
    objectPaths.insert(key, objectPath);
    serviceNames.insert(key, serviceName);

    if (!pluginRegistered) {
        qCritical() << "Registering control interface object fails.";
    } else {
        QDBusMessage hello = QDBusMessage::createSignal(
            QLatin1String(TuvoBusNames::PluginPath), QLatin1String(TuvoBusNames::PluginInterface),
            QStringLiteral("new_plugin"));
        hello << name;
        pluginRegistered = bus.send(hello);
        if (!pluginRegistered)
            qCritical() << "Could not send hello message for plugin: " << name;
    }

    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &TuvoDBusWrapper::deinitialize);

    if (!pluginRegistered)
        return false;

    registry = TuvoInternalRegistry::internalInstance();
    connect(registry, &TuvoInternalRegistry::sourceAdded, this, &TuvoDBusWrapper::sourceAddedSlot);
    connect(registry, &TuvoInternalRegistry::rendererAdded, this,
            &TuvoDBusWrapper::rendererAddedSlot);
    connect(registry, &TuvoInternalRegistry::sourceRemoved, this,
            &TuvoDBusWrapper::sourceRemovedSlot);
    connect(registry, &TuvoInternalRegistry::rendererRemoved, this,
            &TuvoDBusWrapper::rendererRemovedSlot);
    pluginFile = plugin;
    return true;
}

void TuvoDBusWrapper::unpublish(const QString &key)
{
    if (!objectPaths.contains(key))
        return;
    const QString objectPath = objectPaths.take(key);
    const QString serviceName = serviceNames.take(key);
    qDebug() << "unregister object" << objectPath << serviceName;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(objectPath, QDBusConnection::UnregisterNode);
    bus.unregisterService(serviceName);
}

void TuvoDBusWrapper::sourceAddedSlot(const QString &uuid, const QString &)
{
    TuvoSource *source = registry ? registry->findSource(uuid) : nullptr;
    if (!source) {
        qCritical() << "sourceAddedSlot: Failed to get source from registry";
        QCoreApplication::exit(1);
        return;
    }
    qDebug() << "sourceAddedSlot: plugin:" << source->pluginName() << uuid;
    if (qstrcmp(source->metaObject()->className(), ProxySourceClass) == 0)
        return;

    TuvoAdaptorFactory::attachSourceAdaptors(source);
    static const PublishLog log = {"sourceAddedSlot: register service :",
                                   "sourceAddedSlot: Failed to register service",
                                   "sourceAddedSlot: Failed to register object"};
    publish(source, uuid, TuvoBusNames::sourceServiceName(source->pluginName(), uuid),
            TuvoBusNames::sourceObjectPath(uuid), log);
}

void TuvoDBusWrapper::rendererAddedSlot(const QString &uuid, const QString &name)
{
    TuvoRenderer *renderer = registry ? registry->findRenderer(uuid) : nullptr;
    if (!renderer) {
        qCritical() << "rendererAddedSlot: Failed to get renderer from registry";
        QCoreApplication::exit(1);
        return;
    }
    qDebug() << "rendererAddedSlot" << name << uuid;
    if (qstrcmp(renderer->metaObject()->className(), ProxyRendererClass) == 0)
        return;

    if (!sharedInitialized) {
        // Attempted once per process, whatever the outcome.
        sharedInitialized = true;
        if (!TuvoShared::instance()->initialize(TuvoShared::TrackFlags(RendererTrackFlags))) {
            qCritical() << "TuvoDBusWrapper::rendererAddedSlot TuvoShared initialize fails!";
            QCoreApplication::exit(1);
        }
    }

    TuvoAdaptorFactory::attachRendererAdaptors(renderer);
    static const PublishLog log = {"rendererAddedSlot: register service:",
                                   "rendererAddedSlot: Failed to register service",
                                   "rendererAddedSlot: Failed to register object"};
    publish(renderer, uuid, TuvoBusNames::rendererServiceName(renderer->pluginName(), uuid),
            TuvoBusNames::rendererObjectPath(uuid), log);
}

void TuvoDBusWrapper::publish(QObject *object, const QString &uuid, const QString &serviceName,
                              const QString &objectPath, const PublishLog &log)
{
    // A failed registration ends the process, but only once the event loop runs again:
    // the object is recorded and greeted all the same.
    QDBusConnection bus = QDBusConnection::sessionBus();
    qDebug() << log.registering << serviceName;
    if (!bus.registerService(serviceName)) {
        qCritical() << log.serviceFailed;
        QCoreApplication::exit(1);
    }
    if (!bus.registerObject(objectPath, object)) {
        qCritical() << log.objectFailed;
        QCoreApplication::exit(1);
    }
    objectPaths.insert(uuid, objectPath);
    serviceNames.insert(uuid, serviceName);
    pendingHellos.append(uuid);
    QTimer::singleShot(0, this, &TuvoDBusWrapper::sendNewServiceSignal);
}

void TuvoDBusWrapper::sourceRemovedSlot(const QString &uuid, const QString &name)
{
    qDebug() << "TuvoDBusWrapper::sourceRemoved:" << name;
    unpublish(uuid);
}

void TuvoDBusWrapper::rendererRemovedSlot(const QString &uuid, const QString &name)
{
    qDebug() << "TuvoDBusWrapper::rendererRemoved:" << name;
    unpublish(uuid);
}

void TuvoDBusWrapper::sendNewServiceSignal()
{
    if (pendingHellos.isEmpty()) {
        qCritical() << "TuvoDBusWrapper::sendNewServiceSignal, no service to signall.";
        return;
    }
    const QString uuid = pendingHellos.takeFirst();

    TuvoMediaObject *object = nullptr;
    QString member;
    if (registry) {
        if (TuvoSource *source = registry->findSource(uuid)) {
            object = source;
            member = QStringLiteral("new_source");
        } else if (TuvoRenderer *renderer = registry->findRenderer(uuid)) {
            object = renderer;
            member = QStringLiteral("new_renderer");
        }
    }
    if (!object) {
        qCritical() << "TuvoDBusWrapper::sendNewServiceSignal, invalid object type.";
        return;
    }

    QDBusMessage hello = QDBusMessage::createSignal(
        QLatin1String(TuvoBusNames::RegistryPath), QLatin1String(TuvoBusNames::RegistryInterface),
        member);
    hello << object->pluginName() << object->uuid() << object->name();
    if (!QDBusConnection::sessionBus().send(hello))
        qCritical() << "Could not send hello message for service: " << object->uuid();
}

void TuvoDBusWrapper::activatePlugin()
{
    const bool loaded = registry && registry->loadPlugin(pluginFile);
    qDebug() << "activated: " << pluginFile;
    if (!loaded) {
        qCritical() << "Not able to activate plugin, exiting wrapper!";
        QCoreApplication::exit(1);
    }
}

void TuvoDBusWrapper::deactivatePlugin()
{
    qDebug() << "void TuvoDBusWrapper::deactivatePlugin()";
    if (registry)
        registry->unloadPlugin(pluginFile);
    handleActivityChange(activityMonitor->get());
}

void TuvoDBusWrapper::handleActivityChange(ActivityMonitor::Activity activity)
{
    static const char signature[] =
        "void TuvoDBusWrapper::handleActivityChange(ActivityMonitor::Activity)";
    qDebug() << signature;
    if (activity != ActivityMonitor::Inactive)
        return;
    // Before initialize() there is nobody to lose: count as active.
    if (!controller || controller->isActive())
        return;
    qDebug() << signature << ": exiting inactive plugin process.";
    QCoreApplication::exit(0);
}

void TuvoDBusWrapper::deinitialize()
{
    qDebug() << "void TuvoDBusWrapper::deinitialize()";
    const QMap<QString, QString> published = serviceNames;
    for (auto it = published.keyBegin(); it != published.keyEnd(); ++it)
        unpublish(*it);
    if (registry) {
        delete registry;
        registry = nullptr;
    }
}
