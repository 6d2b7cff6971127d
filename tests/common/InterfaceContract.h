#ifndef INTERFACECONTRACT_H
#define INTERFACECONTRACT_H

#include <QMetaObject>
#include <QSet>
#include <QString>
#include <QStringList>

/*!
 * One D-Bus interface as a list of comparable lines, one per member, in declaration
 * order: "method set_extension_property(s property, v value -> b)".
 *
 * Read from introspection XML (the checked-in contract or a live object's answer) or
 * from an adaptor's meta-object, as Qt exports it: its signals and public slots, a
 * trailing QDBusMessage parameter not being a D-Bus argument.
 */
namespace InterfaceContract {
/*! The members of \a interface in \a xml; empty when the interface is not there. */
QStringList fromXml(const QString &xml, const QString &interface);
/*!
 * The members the adaptor exports. Slots that take the call message and return
 * nothing answer with a delayed reply whose out-arguments the meta-object cannot show:
 * their out part reads "delayed", and their names are added to \a delayed.
 */
QStringList fromMetaObject(const QMetaObject &meta, QSet<QString> *delayed = nullptr);
/*! \a lines with the out part of the members named in \a delayed replaced by "delayed". */
QStringList withDelayedReplies(const QStringList &lines, const QSet<QString> &delayed);
/*!
 * The out-arguments' signatures of \a member in \a lines, concatenated ("sv"); for a
 * signal, its arguments.
 */
QString outSignature(const QStringList &lines, const QString &member);
/*! The contract file of \a interface in the source tree's dbus folder. */
QString contractXml(const QString &interface);
}

#endif
