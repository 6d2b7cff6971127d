#ifndef TUVOPLUGINADAPTOR_H
#define TUVOPLUGINADAPTOR_H

#include <TuvoBusNames.h>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>

class TuvoPluginController;

/*!
 * The control interface "com.oxbel.tuvo.plugin": clients activate and deactivate the
 * plugin, identified by the unique bus name of their connection. A client that leaves
 * the bus without deactivating is deactivated for it.
 */
class TuvoPluginAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TUVO_PLUGIN_INTERFACE)
public:
    explicit TuvoPluginAdaptor(TuvoPluginController *controller);

public Q_SLOTS:
    void activate(const QDBusMessage &msg);
    void deactivate(const QDBusMessage &msg);

private Q_SLOTS:
    void handleNameOwnerChanged(const QString &name, const QString &oldName,
                                const QString &newName);

private:
    bool watch(const QString &name);
    bool unwatch(const QString &name);

    TuvoPluginController *controller;
};

#endif
