#ifndef TUVODBUSWRAPPER_H
#define TUVODBUSWRAPPER_H

#include "ActivityMonitor.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class TuvoInternalRegistry;
class TuvoPluginController;

/*!
 * The one central object of a wrapper process.
 *
 * It registers the plugin control object, loads the plugin when a client activates it
 * and unloads it when the last client has gone, publishes every source and renderer
 * the plugin reports (bus name, object path, adaptors, hello signal) and withdraws
 * them again, ends the process when it has lost its clients and the device is idle,
 * and takes everything off the bus when the event loop ends.
 *
 * Everything it has registered is recorded in two maps with the same keys: the uuid
 * of a published object, or the controller's class name for the control object.
 */
class TuvoDBusWrapper : public QObject
{
    Q_OBJECT
public:
    TuvoDBusWrapper();
    ~TuvoDBusWrapper() override;

    bool initialize(const QString &plugin);
    void unpublish(const QString &key);

public Q_SLOTS:
    void sourceAddedSlot(const QString &uuid, const QString &name);
    void rendererAddedSlot(const QString &uuid, const QString &name);
    void sourceRemovedSlot(const QString &uuid, const QString &name);
    void rendererRemovedSlot(const QString &uuid, const QString &name);

private Q_SLOTS:
    void sendNewServiceSignal();
    void activatePlugin();
    void deactivatePlugin();
    void deinitialize();
    void handleActivityChange(ActivityMonitor::Activity activity);

private:
    // The log lines of one kind of object, as its added-slot names them.
    struct PublishLog {
        const char *registering;
        const char *serviceFailed;
        const char *objectFailed;
    };
    // Takes a source's or renderer's name and path on the bus, records them under its
    // uuid, and greets it with its hello signal once the event loop runs again.
    void publish(QObject *object, const QString &uuid, const QString &serviceName,
                 const QString &objectPath, const PublishLog &log);

    TuvoInternalRegistry *registry = nullptr;
    QMap<QString, QString> objectPaths;
    QMap<QString, QString> serviceNames;
    QList<QString> pendingHellos;
    TuvoPluginController *controller = nullptr;
    bool pluginRegistered = false;
    QString pluginFile;
    bool sharedInitialized = false;
    ActivityMonitor *activityMonitor = nullptr;
};

#endif
