#include "TuvoPluginAdaptor.h"

#include "TuvoPluginController.h"

#include <QDBusConnection>
#include <QDebug>

namespace {
const QString s_busInterface = QStringLiteral("org.freedesktop.DBus");
const QString s_nameOwnerChanged = QStringLiteral("NameOwnerChanged");
} // namespace

TuvoPluginAdaptor::TuvoPluginAdaptor(TuvoPluginController *controller)
    : QDBusAbstractAdaptor(controller)
    , controller(controller)
{
}

bool TuvoPluginAdaptor::watch(const QString &name)
{
    return QDBusConnection::sessionBus().connect(
        QString(), QString(), s_busInterface, s_nameOwnerChanged, QStringList(name), QString(),
        this, SLOT(handleNameOwnerChanged(const QString&,const QString&,const QString&)));
}

bool TuvoPluginAdaptor::unwatch(const QString &name)
{
    return QDBusConnection::sessionBus().disconnect(
        QString(), QString(), s_busInterface, s_nameOwnerChanged, QStringList(name), QString(),
        this, SLOT(handleNameOwnerChanged(const QString&,const QString&,const QString&)));
}

void TuvoPluginAdaptor::activate(const QDBusMessage &msg)
{
    const QString name = msg.service();
    controller->activate(name);
    if (!watch(name))
        qWarning() << "TuvoPluginAdaptor::activate failed to connect NameOwnerChanged signal";
}

void TuvoPluginAdaptor::deactivate(const QDBusMessage &msg)
{
    const QString name = msg.service();
    controller->deactivate(name);
    if (!unwatch(name))
        qWarning() << "TuvoPluginAdaptor::deactivate failed to disconnect NameOwnerChanged signal";
}

void TuvoPluginAdaptor::handleNameOwnerChanged(const QString &name, const QString &,
                                               const QString &newName)
{
    if (!newName.isEmpty())
        return;
    controller->deactivate(name);
    if (!unwatch(name))
        qWarning() << "TuvoPluginAdaptor::deactivate failed to disconnect NameOwnerChanged signal";
}
