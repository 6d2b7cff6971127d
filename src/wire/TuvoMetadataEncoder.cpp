#include "TuvoMetadataEncoder.h"

#include "TuvoWireLogging.h"

#include <QDebug>
#include <QtEndian>

#include <cstring>

namespace {
// Bytes of an entry around its key and value: the key's 0x00, the count, the tag.
constexpr qsizetype EntryOverhead = 1 + 4 + 4;

// Latin-1 with "?" for every UTF-16 unit above 0xff, as the receiver expects one byte
// per unit. Returns false, leaving garbage behind out, for a string holding a NUL.
inline bool putLatin1(char *&out, const QString &text)
{
    const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *const end = in + text.size();
    char *o = out;
    for (; in != end; ++in) {
        const char16_t c = *in;
        if (c == 0)
            return false;
        *o++ = c < 0x100 ? char(c) : '?';
    }
    out = o;
    return true;
}

template <typename T>
inline void putLittleEndian(char *&out, T value)
{
    qToLittleEndian<T>(value, out);
    out += sizeof(T);
}

inline void putDouble(char *&out, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    putLittleEndian<quint64>(out, bits);
}

template <typename T>
inline const T &valueOf(const QVariant &value)
{
    return *static_cast<const T *>(value.constData());
}

qsizetype valueSize(quint8 tag, const QVariant &value)
{
    switch (tag) {
    case TuvoMetadataEncoder::CharTag:
        return 1;
    case TuvoMetadataEncoder::BooleanTag:
    case TuvoMetadataEncoder::IntTag:
    case TuvoMetadataEncoder::UIntTag:
        return 4;
    case TuvoMetadataEncoder::Int64Tag:
    case TuvoMetadataEncoder::UInt64Tag:
    case TuvoMetadataEncoder::DoubleTag:
        return 8;
    case TuvoMetadataEncoder::StringTag:
        return valueOf<QString>(value).size() + 1;
    }
    return 0;
}

// Writes the value of an entry; false for a string holding a NUL.
bool putValue(char *&out, quint8 tag, const QVariant &value)
{
    switch (tag) {
    case TuvoMetadataEncoder::CharTag: {
        const char16_t c = valueOf<QChar>(value).unicode();
        *out++ = c < 0x100 ? char(c) : '?';
        return true;
    }
    case TuvoMetadataEncoder::BooleanTag:
        putLittleEndian<quint32>(out, valueOf<bool>(value) ? 1 : 0);
        return true;
    case TuvoMetadataEncoder::IntTag:
        putLittleEndian<qint32>(out, valueOf<int>(value));
        return true;
    case TuvoMetadataEncoder::UIntTag:
        putLittleEndian<quint32>(out, valueOf<uint>(value));
        return true;
    case TuvoMetadataEncoder::Int64Tag:
        putLittleEndian<qint64>(out, valueOf<qlonglong>(value));
        return true;
    case TuvoMetadataEncoder::UInt64Tag:
        putLittleEndian<quint64>(out, valueOf<qulonglong>(value));
        return true;
    case TuvoMetadataEncoder::DoubleTag:
        putDouble(out, valueOf<double>(value));
        return true;
    case TuvoMetadataEncoder::StringTag:
        if (!putLatin1(out, valueOf<QString>(value)))
            return false;
        *out++ = '\0';
        return true;
    }
    return false;
}
void warnUnknownType(const QString &key, const QVariant &value)
{
    qWarning() << "TuvoSourceAdaptor::createBrowseResult: Unknown metadata type";
    qCDebug(lcTuvoWire) << "left out" << key << "of type" << value.metaType().name();
}
} // namespace

quint8 TuvoMetadataEncoder::tagForType(int typeId)
{
    switch (typeId) {
    case QMetaType::Bool:
        return BooleanTag;
    case QMetaType::Int:
        return IntTag;
    case QMetaType::UInt:
        return UIntTag;
    case QMetaType::LongLong:
        return Int64Tag;
    case QMetaType::ULongLong:
        return UInt64Tag;
    case QMetaType::Double:
        return DoubleTag;
    case QMetaType::QChar:
        return CharTag;
    case QMetaType::QString:
        return StringTag;
    default:
        return 0;
    }
}

QByteArray TuvoMetadataEncoder::encode(const QVariantMap &metaData)
{
    // One allocation: size for every encodable entry first; entries left out while
    // writing only make the blob shorter.
    qsizetype capacity = 0;
    for (auto it = metaData.cbegin(), end = metaData.cend(); it != end; ++it) {
        const quint8 tag = tagForType(it.value().typeId());
        if (tag)
            capacity += it.key().size() + EntryOverhead + valueSize(tag, it.value());
    }
    if (capacity == 0) {
        // Nothing encodable: every entry there is has an unknown type.
        for (auto it = metaData.cbegin(), end = metaData.cend(); it != end; ++it)
            warnUnknownType(it.key(), it.value());
        return QByteArray();
    }

    QByteArray blob(capacity, Qt::Uninitialized);
    char *const begin = blob.data();
    char *out = begin;
    for (auto it = metaData.cbegin(), end = metaData.cend(); it != end; ++it) {
        const QVariant &value = it.value();
        const quint8 tag = tagForType(value.typeId());
        if (!tag) {
            warnUnknownType(it.key(), value);
            continue;
        }
        char *const entry = out;
        if (!putLatin1(out, it.key())) {
            out = entry;
            qWarning() << "TuvoSourceAdaptor::createBrowseResult: NUL character in metadata key,"
                          " entry left out:"
                       << it.key();
            continue;
        }
        *out++ = '\0';
        putLittleEndian<quint32>(out, 1);
        putLittleEndian<quint32>(out, tag);
        if (!putValue(out, tag, value)) {
            out = entry;
            qWarning() << "TuvoSourceAdaptor::createBrowseResult: NUL character in metadata value,"
                          " entry left out:"
                       << it.key();
        }
    }
    blob.truncate(out - begin);
    return blob;
}
