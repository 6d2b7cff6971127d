#include "TuvoQueryResultDBusStruct.h"

#include <QDBusArgument>
#include <QDBusMetaType>

const char *const TuvoQueryResultDBusStruct::Signature = "(uas)";
const char *const TuvoQueryResultDBusStruct::CallSignature = "uia(uas)is";

int TuvoQueryResultDBusStruct::registerDBusTypes()
{
    static const int listTypeId = [] {
        qDBusRegisterMetaType<TuvoQueryResultDBusStruct>();
        return qDBusRegisterMetaType<QList<TuvoQueryResultDBusStruct>>().id();
    }();
    return listTypeId;
}

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoQueryResultDBusStruct &record)
{
    argument.beginStructure();
    argument << record.index << record.resultRow;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoQueryResultDBusStruct &record)
{
    argument.beginStructure();
    argument >> record.index >> record.resultRow;
    argument.endStructure();
    return argument;
}
