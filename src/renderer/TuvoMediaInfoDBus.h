#ifndef TUVOMEDIAINFODBUS_H
#define TUVOMEDIAINFODBUS_H

#include <TuvoMediaInfo.h>

#include <QDBusArgument>

/*!
 * TuvoMediaInfo on the wire: the structure (sa{sav}), the identifier followed by one
 * dictionary entry per metadata key, in ascending key order, each value a variant
 * carrying its own D-Bus type.
 */
class TuvoMediaInfoDBus
{
public:
    /*! The D-Bus signature of a media info record. */
    static const char *const Signature;

    /*!
     * Makes TuvoMediaInfo known to Qt D-Bus, so that it can travel in a QVariant
     * argument. Registering again only re-installs the same operators.
     */
    static void registerMetaType();
};

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMediaInfo &mediaInfo);
/*!
 * Values come back as the binding demarshals variants: basic types as themselves,
 * containers as QDBusArgument. A key that occurs more than once gets the values of
 * all its entries, in wire order.
 */
const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMediaInfo &mediaInfo);

#endif
