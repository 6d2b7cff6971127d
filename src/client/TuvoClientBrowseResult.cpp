#include "TuvoClientBrowseResult.h"

#include "TuvoClientMetadataBlob.h"

TuvoClientBrowseResult TuvoClientBrowseResult::fromRecord(const TuvoClientBrowseRecord &record)
{
    TuvoClientBrowseResult result;
    result.index = record.index;
    result.remainingCount = record.remainingCount;
    result.objectId = record.objectId;
    if (!TuvoClientMetadataBlob::decode(record.metadata, &result.metadata, &result.metadataError))
        result.metadataError = QStringLiteral("malformed metadata: ") + result.metadataError;
    return result;
}
