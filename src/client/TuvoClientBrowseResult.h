#ifndef TUVOCLIENTBROWSERESULT_H
#define TUVOCLIENTBROWSERESULT_H

#include "TuvoClientGlobal.h"

#include <TuvoBrowseResultDBusStruct.h>

#include <QMetaType>
#include <QVariantMap>

/*!
 * One decoded browse result: the item's id, its position and the source's count of
 * results still to come, and its metadata with every value in the type it was sent
 * as. A result whose metadata blob could not be read has empty metadata and says
 * why in metadataError; the browse goes on.
 */
struct TUVO_CLIENT_EXPORT TuvoClientBrowseResult
{
    quint32 index = 0;
    qint32 remainingCount = 0;
    QString objectId;
    QVariantMap metadata;
    QString metadataError;

    bool hasMetadataError() const { return !metadataError.isEmpty(); }
    static TuvoClientBrowseResult fromRecord(const TuvoBrowseResultDBusStruct &record);
};

Q_DECLARE_METATYPE(TuvoClientBrowseResult)

#endif
