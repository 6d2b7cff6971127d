#include "TuvoClientBrowseResult.h"

#include <TuvoMetadataDecoder.h>

TuvoClientBrowseResult TuvoClientBrowseResult::fromRecord(const TuvoBrowseResultDBusStruct &record)
{
    TuvoClientBrowseResult result;
    result.index = record.index;
    result.remainingCount = record.remainingCount;
    result.objectId = record.objectId;
    if (!TuvoMetadataDecoder::decode(record.metadata, &result.metadata, &result.metadataError))
        result.metadataError = QStringLiteral("malformed metadata: ") + result.metadataError;
    return result;
}
