#ifndef TUVOCLIENTMETADATABLOB_H
#define TUVOCLIENTMETADATABLOB_H

#include "TuvoClientGlobal.h"

#include <QByteArray>
#include <QStringList>
#include <QVariantMap>

/*!
 * The metadata blob of a browse result: per key, in ascending key order, the key in
 * Latin-1 and a 0 byte, the value count 1 (uint32 LE), a GLib fundamental type tag
 * (uint32 LE) and the value. decode() gives every value back as a QVariant of the
 * type it was sent as; it reads nothing beyond the blob and rejects a blob that does
 * not follow the format as a whole, so a record never carries half-read metadata.
 */
class TUVO_CLIENT_EXPORT TuvoClientMetadataBlob
{
public:
    /*! GLib's fundamental type numbers, the tags of the blob. */
    enum Tag : quint32 {
        CharTag = 12,   //!< QChar, one Latin-1 byte
        BoolTag = 20,   //!< bool, 4 bytes
        IntTag = 24,    //!< int, 4 bytes
        UIntTag = 28,   //!< uint, 4 bytes
        Int64Tag = 40,  //!< qlonglong, 8 bytes
        UInt64Tag = 44, //!< qulonglong, 8 bytes
        DoubleTag = 60, //!< double, 8 bytes IEEE 754
        StringTag = 64, //!< QString, Latin-1 bytes and a 0 byte
    };

    /*!
     * Decodes \a blob into \a metadata. On a malformed blob returns false, leaves
     * \a metadata empty and says in \a error what is wrong and at which byte.
     */
    static bool decode(const QByteArray &blob, QVariantMap *metadata, QString *error = nullptr);

    /*!
     * Encodes \a metadata as a source's wrapper does. Values of other types than the
     * eight above are left out; their keys are appended to \a skippedKeys.
     */
    static QByteArray encode(const QVariantMap &metadata, QStringList *skippedKeys = nullptr);
};

#endif
