#ifndef TESTBUS_H
#define TESTBUS_H

#include <QString>
#include <QStringList>

/*! Questions to the test's private bus daemon. */
namespace TestBus {
QStringList names();
bool hasOwner(const QString &name);
QString owner(const QString &name);
/*! Waits until \a name has an owner (or none, with \a present false). */
bool waitForName(const QString &name, bool present = true, int timeoutMs = 10000);
/*! The interfaces a live object declares, from its introspection. */
QString introspect(const QString &service, const QString &path);
}

#endif
