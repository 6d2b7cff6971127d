#ifndef TUVOMETADATADECODER_H
#define TUVOMETADATADECODER_H

#include "TuvoWireGlobal.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

/*!
 * Reads a metadata blob as TuvoMetadataEncoder writes it, giving every value back as
 * a QVariant of the type it was sent as. It reads nothing beyond the blob and rejects
 * a blob that does not follow the format as a whole, so a record never carries
 * half-read metadata.
 */
class TUVO_WIRE_EXPORT TuvoMetadataDecoder
{
public:
    /*!
     * Decodes \a blob into \a metadata. On a malformed blob returns false, leaves
     * \a metadata empty and says in \a error what is wrong and at which byte.
     */
    static bool decode(const QByteArray &blob, QVariantMap *metadata, QString *error = nullptr);
};

#endif
