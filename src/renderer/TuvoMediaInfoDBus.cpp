#include "TuvoMediaInfoDBus.h"

TuvoMediaInfoDBusStruct TuvoMediaInfoDBus::toWire(const TuvoMediaInfo &mediaInfo)
{
    TuvoMediaInfoDBusStruct wire;
    wire.uuid = mediaInfo.uuid();
    wire.metadata = mediaInfo.metaData();
    return wire;
}

TuvoMediaInfo TuvoMediaInfoDBus::fromWire(const TuvoMediaInfoDBusStruct &wire)
{
    TuvoMediaInfo mediaInfo(wire.uuid);
    mediaInfo.setMetaData(wire.metadata);
    return mediaInfo;
}
