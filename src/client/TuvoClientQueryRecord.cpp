#include "TuvoClientQueryRecord.h"

#include <QDBusArgument>
#include <QDBusMetaType>

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientQueryRecord &record)
{
    argument.beginStructure();
    argument << record.index << record.values;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientQueryRecord &record)
{
    argument.beginStructure();
    argument >> record.index >> record.values;
    argument.endStructure();
    return argument;
}

int TuvoClientQueryRecord::registerMetaTypes()
{
    qDBusRegisterMetaType<TuvoClientQueryRecord>();
    return qDBusRegisterMetaType<QList<TuvoClientQueryRecord>>().id();
}
