#include "TuvoPluginController.h"

#include <QDebug>

TuvoPluginController::TuvoPluginController()
    : QObject(nullptr)
{
    qDebug() << "TuvoPluginController::TuvoPluginController";
}

void TuvoPluginController::activate(const QString &name)
{
    qDebug() << "TuvoPluginController::activate: " << name;
    // The wrapper loads the plugin inside this emission, before the name is listed.
    if (activators.isEmpty()) {
        Q_EMIT activationRequested();
        firstActivationSeen = true;
    }
    if (!activators.contains(name)) {
        qDebug() << "Appending new activator";
        activators.append(name);
    }
}

void TuvoPluginController::deactivate(const QString &name)
{
    qDebug() << "TuvoPluginController::deactivate";
    activators.removeAll(name);
    if (firstActivationSeen && activators.isEmpty()) {
        qDebug() << "No more activators";
        Q_EMIT deactivationRequested();
    }
}

bool TuvoPluginController::isActive()
{
    if (firstActivationSeen)
        return !activators.isEmpty();
    qDebug() << "bool TuvoPluginController::isActive()"
             << "still waiting for first activation";
    return true;
}
