#include "TuvoBrowseResultDBusStruct.h"

#include <QDBusArgument>
#include <QDBusMetaType>

const char *const TuvoBrowseResultDBusStruct::Signature = "(iusaysus)";
const char *const TuvoBrowseResultDBusStruct::CallSignature = "ua(iusaysus)";

bool TuvoBrowseResultDBusStruct::operator==(const TuvoBrowseResultDBusStruct &other) const
{
    return remainingCount == other.remainingCount && index == other.index
           && objectId == other.objectId && metadata == other.metadata
           && reserved == other.reserved && errorCode == other.errorCode
           && errorMessage == other.errorMessage;
}

int TuvoBrowseResultDBusStruct::registerDBusTypes()
{
    // The element type goes first: the list's D-Bus signature is derived from it.
    static const int listTypeId = [] {
        qDBusRegisterMetaType<TuvoBrowseResultDBusStruct>();
        return qDBusRegisterMetaType<QList<TuvoBrowseResultDBusStruct>>().id();
    }();
    return listTypeId;
}

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoBrowseResultDBusStruct &record)
{
    argument.beginStructure();
    argument << record.remainingCount << record.index << record.objectId << record.metadata
             << record.reserved << record.errorCode << record.errorMessage;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoBrowseResultDBusStruct &record)
{
    argument.beginStructure();
    argument >> record.remainingCount >> record.index >> record.objectId >> record.metadata
        >> record.reserved >> record.errorCode >> record.errorMessage;
    argument.endStructure();
    return argument;
}
