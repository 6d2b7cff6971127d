#ifndef TUVODBUSVALUE_H
#define TUVODBUSVALUE_H

#include "TuvoWireGlobal.h"

#include <QVariant>

/*!
 * Values received in variants, with the D-Bus wrappers removed: a variant becomes
 * what it holds, arrays become QVariantList (QByteArray for bytes), dictionaries
 * QVariantMap, structures QVariantList. Basic types stay as they are.
 */
class TUVO_WIRE_EXPORT TuvoDBusValue
{
public:
    static QVariant plain(const QVariant &value);
};

#endif
