#ifndef TUVOCLIENTQUERYRECORD_H
#define TUVOCLIENTQUERYRECORD_H

#include "TuvoClientGlobal.h"

#include <QList>
#include <QMetaType>
#include <QStringList>

class QDBusArgument;

/*! One row of a query result as it travels in query_result, D-Bus (uas). */
struct TUVO_CLIENT_EXPORT TuvoClientQueryRecord
{
    quint32 index = 0;
    QStringList values;

    /*! Registers the record and its list with Qt D-Bus; returns the list's type id. */
    static int registerMetaTypes();

    bool operator==(const TuvoClientQueryRecord &other) const
    {
        return index == other.index && values == other.values;
    }
};

TUVO_CLIENT_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientQueryRecord &record);
TUVO_CLIENT_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientQueryRecord &record);

Q_DECLARE_METATYPE(TuvoClientQueryRecord)

#endif
