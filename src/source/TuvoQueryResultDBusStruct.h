#ifndef TUVOQUERYRESULTDBUSSTRUCT_H
#define TUVOQUERYRESULTDBUSSTRUCT_H

#include <QList>
#include <QMetaType>
#include <QStringList>

class QDBusArgument;

/*!
 * One query result row as it travels in a "query_result" call: D-Bus (uas). Query
 * errors are not records; they travel as arguments of the call.
 */
struct TuvoQueryResultDBusStruct
{
    uint index = 0;
    QStringList resultRow; //!< the row's values exactly as the source delivered them

    bool operator==(const TuvoQueryResultDBusStruct &other) const
    {
        return index == other.index && resultRow == other.resultRow;
    }
    bool operator!=(const TuvoQueryResultDBusStruct &other) const { return !(*this == other); }

    /*!
     * Registers the record, then QList<TuvoQueryResultDBusStruct>, with Qt D-Bus and
     * returns the meta-type id of the list. Repeated calls return the same id.
     */
    static int registerDBusTypes();
};

Q_DECLARE_METATYPE(TuvoQueryResultDBusStruct)

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoQueryResultDBusStruct &record);
const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoQueryResultDBusStruct &record);

#endif
