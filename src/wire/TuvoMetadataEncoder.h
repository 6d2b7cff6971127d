#ifndef TUVOMETADATAENCODER_H
#define TUVOMETADATAENCODER_H

#include "TuvoWireGlobal.h"

#include <QByteArray>
#include <QVariantMap>

/*!
 * The metadata blob of a browse result: a typed, self-describing byte form of a
 * content item's metadata map, meant for receivers built on GLib.
 *
 * One entry per key, in ascending key order (the map's own order), with nothing
 * before, between or after the entries:
 *
 *   key (Latin-1, "?" for other characters)   n bytes
 *   0x00                                      1 byte
 *   value count, always 1                     uint32 little-endian
 *   type tag: GLib's fundamental type number  uint32 little-endian
 *   value                                     by type, see Tag
 *
 * Values of any other type are left out with a warning, and so is an entry whose key
 * or string value contains a NUL character: the receiver finds the end of a key or a
 * string by its NUL, so such an entry would end early and every later entry of the
 * blob would be misread.
 *
 * TuvoMetadataDecoder reads the blob back.
 */
class TUVO_WIRE_EXPORT TuvoMetadataEncoder
{
public:
    /*! The tags, and what follows each of them. */
    enum Tag : quint8 {
        CharTag = 12,    //!< QChar: 1 byte, Latin-1, no terminator
        BooleanTag = 20, //!< bool: uint32 LE, 1 or 0
        IntTag = 24,     //!< int: int32 LE
        UIntTag = 28,    //!< uint: uint32 LE
        Int64Tag = 40,   //!< qlonglong: int64 LE
        UInt64Tag = 44,  //!< qulonglong: uint64 LE
        DoubleTag = 60,  //!< double: IEEE 754 binary64 LE
        StringTag = 64,  //!< QString: Latin-1, then 0x00
    };

    /*! The tag for a value of meta-type \a typeId; 0 when the type is not encoded. */
    static quint8 tagForType(int typeId);

    static QByteArray encode(const QVariantMap &metaData);
};

#endif
