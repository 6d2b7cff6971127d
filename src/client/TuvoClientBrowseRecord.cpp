#include "TuvoClientBrowseRecord.h"

#include <QDBusArgument>
#include <QDBusMetaType>

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientBrowseRecord &record)
{
    argument.beginStructure();
    argument << record.remainingCount << record.index << record.objectId << record.metadata
             << record.reserved << record.errorCode << record.errorMessage;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientBrowseRecord &record)
{
    argument.beginStructure();
    argument >> record.remainingCount >> record.index >> record.objectId >> record.metadata
        >> record.reserved >> record.errorCode >> record.errorMessage;
    argument.endStructure();
    return argument;
}

int TuvoClientBrowseRecord::registerMetaTypes()
{
    qDBusRegisterMetaType<TuvoClientBrowseRecord>();
    return qDBusRegisterMetaType<QList<TuvoClientBrowseRecord>>().id();
}
