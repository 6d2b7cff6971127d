#ifndef TUVOPLUGINCONTROLLER_H
#define TUVOPLUGINCONTROLLER_H

#include <QList>
#include <QObject>
#include <QString>

/*!
 * Which clients keep the plugin active.
 *
 * Clients are plain names (their unique bus names). The first activator while none is
 * listed triggers activationRequested(), the departure of the last one
 * deactivationRequested(). Before the first activation ever, the plugin counts as
 * active, so that a process nobody has used yet is not ended for inactivity.
 */
class TuvoPluginController : public QObject
{
    Q_OBJECT
public:
    TuvoPluginController();

    void activate(const QString &name);
    void deactivate(const QString &name);
    bool isActive();

    QList<QString> activatorList() const { return activators; }

Q_SIGNALS:
    void deactivationRequested();
    void activationRequested();

private:
    QList<QString> activators;
    bool firstActivationSeen = false;
};

#endif
