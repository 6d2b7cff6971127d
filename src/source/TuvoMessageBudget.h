#ifndef TUVOMESSAGEBUDGET_H
#define TUVOMESSAGEBUDGET_H

#include <QList>
#include <QString>
#include <QStringList>

struct TuvoBrowseResultDBusStruct;
struct TuvoQueryResultDBusStruct;

/*!
 * Keeps the result calls under the bus's size limits. D-Bus allows 128 MiB a message
 * and 64 MiB an array, and a daemon may be configured lower (the system bus takes
 * 32 MiB); libdbus aborts the process when asked to build an array over its limit, and
 * the daemon drops the connection on an oversized message. A result call therefore
 * carries at most MaxCallBytes of records: a batch that would be larger goes out as
 * several calls, and a single record that cannot fit is not sent at all.
 *
 * The sizes are upper bounds of the marshalled records, alignment included.
 */
class TuvoMessageBudget
{
public:
    static constexpr qsizetype MaxCallBytes = 32 * 1024 * 1024 - 64 * 1024;

    static qsizetype size(const QString &string);
    static qsizetype size(const TuvoBrowseResultDBusStruct &record);
    static qsizetype size(const TuvoQueryResultDBusStruct &row);
    template<typename Record>
    static bool fits(const Record &record) { return size(record) <= MaxCallBytes; }

    /*! True when \a string holds U+0000, which D-Bus strings cannot carry. */
    static bool holdsNul(const QString &string) { return string.contains(QChar(u'\0')); }
    static bool holdsNul(const QStringList &strings);

    /*! \a records in runs of at most MaxCallBytes each (a record that does not fit alone
     *  makes a run of its own). */
    template<typename Record>
    static QList<QList<Record>> split(const QList<Record> &records)
    {
        QList<QList<Record>> runs;
        qsizetype bytes = MaxCallBytes;
        for (const Record &record : records) {
            const qsizetype recordBytes = size(record);
            if (bytes + recordBytes > MaxCallBytes) {
                runs.emplaceBack();
                bytes = 0;
            }
            runs.last().append(record);
            bytes += recordBytes;
        }
        return runs;
    }
};

#endif
