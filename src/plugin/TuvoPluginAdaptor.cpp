#include "TuvoPluginAdaptor.h"

#include "TuvoPluginController.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
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
    // A client may leave the bus before the watch's match rule reaches the daemon, and
    // its NameOwnerChanged then never comes. The daemon answers this question after it
    // has taken the rule: a client gone by then is dropped here, a later one by the watch.
    auto *check = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().interface()->asyncCall(QStringLiteral("NameHasOwner"), name), this);
    connect(check, &QDBusPendingCallWatcher::finished, this, [this, name, check] {
        check->deleteLater();
        const QDBusPendingReply<bool> hasOwner = *check;
        if (hasOwner.isValid() && !hasOwner.value() && controller->activatorList().contains(name))
            handleNameOwnerChanged(name, name, QString());
    });
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
