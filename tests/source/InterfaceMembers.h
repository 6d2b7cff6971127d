#ifndef INTERFACEMEMBERS_H
#define INTERFACEMEMBERS_H

#include <QString>
#include <QStringList>

/*!
 * The members of one interface in an introspection document, one text per member:
 * "method browse(s, s, as, u, u) -> (u)", "signal container_changed() -> (s)".
 * Sorted, so that two documents compare regardless of member order. Empty when the
 * interface is missing.
 */
namespace InterfaceMembers {
QStringList fromXml(const QString &xml, const QString &interface);
QStringList fromFile(const QString &path, const QString &interface);
/*! The concatenated signature of a method's in-arguments. */
QString inSignature(const QString &xml, const QString &interface, const QString &method);
}

#endif
