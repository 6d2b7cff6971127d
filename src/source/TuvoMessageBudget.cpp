#include "TuvoMessageBudget.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>

namespace {
// Padding to 4 or 8 bytes, at most 7, is counted as 8 wherever it may occur.
constexpr qsizetype Align = 8;
}

qsizetype TuvoMessageBudget::size(const QString &string)
{
    // Length, text, NUL. A UTF-16 unit takes at most 3 bytes of UTF-8; the exact count
    // is paid for only where the bound could matter.
    const qsizetype bound = string.size() * 3;
    const qsizetype text = bound < 64 * 1024 ? bound : string.toUtf8().size();
    return Align + 4 + text + 1;
}

qsizetype TuvoMessageBudget::size(const TuvoBrowseResultDBusStruct &record)
{
    return Align + 4 + 4 + size(record.objectId) + Align + 4 + record.metadata.size()
           + size(record.reserved) + 4 + size(record.errorMessage);
}

qsizetype TuvoMessageBudget::size(const TuvoQueryResultDBusStruct &row)
{
    qsizetype bytes = Align + 4 + Align + 4;
    for (const QString &value : row.resultRow)
        bytes += size(value);
    return bytes;
}

bool TuvoMessageBudget::holdsNul(const QStringList &strings)
{
    for (const QString &string : strings) {
        if (holdsNul(string))
            return true;
    }
    return false;
}
