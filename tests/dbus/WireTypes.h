// The Qt types that the interface files name for their struct arguments.
#ifndef WIRETYPES_H
#define WIRETYPES_H

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoMediaInfoDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>

#endif
