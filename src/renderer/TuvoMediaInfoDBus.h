#ifndef TUVOMEDIAINFODBUS_H
#define TUVOMEDIAINFODBUS_H

#include <TuvoMediaInfo.h>
#include <TuvoMediaInfoDBusStruct.h>

/*!
 * The framework's media info and its wire form, (sa{sav}): the same id and the same
 * values per key, in both directions.
 */
class TuvoMediaInfoDBus
{
public:
    static TuvoMediaInfoDBusStruct toWire(const TuvoMediaInfo &mediaInfo);
    static TuvoMediaInfo fromWire(const TuvoMediaInfoDBusStruct &wire);
};

#endif
