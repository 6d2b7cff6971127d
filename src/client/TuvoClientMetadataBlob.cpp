#include "TuvoClientMetadataBlob.h"

#include <QtEndian>

#include <cstring>

namespace {
void appendUInt32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendUInt64(QByteArray &out, quint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

// Reads the blob front to back; every read checks what is left first.
class Reader
{
public:
    explicit Reader(const QByteArray &blob)
        : m_data(blob.constData())
        , m_size(blob.size())
    {
    }

    bool atEnd() const { return m_pos >= m_size; }
    qsizetype pos() const { return m_pos; }

    bool readCString(QByteArray *text)
    {
        const void *end = std::memchr(m_data + m_pos, 0, size_t(m_size - m_pos));
        if (!end)
            return false;
        const qsizetype length = static_cast<const char *>(end) - (m_data + m_pos);
        *text = QByteArray(m_data + m_pos, length);
        m_pos += length + 1;
        return true;
    }

    bool readBytes(char *out, qsizetype count)
    {
        if (m_size - m_pos < count)
            return false;
        std::memcpy(out, m_data + m_pos, size_t(count));
        m_pos += count;
        return true;
    }

    bool readUInt32(quint32 *value)
    {
        char bytes[4];
        if (!readBytes(bytes, 4))
            return false;
        *value = qFromLittleEndian<quint32>(bytes);
        return true;
    }

    bool readUInt64(quint64 *value)
    {
        char bytes[8];
        if (!readBytes(bytes, 8))
            return false;
        *value = qFromLittleEndian<quint64>(bytes);
        return true;
    }

private:
    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

bool TuvoClientMetadataBlob::decode(const QByteArray &blob, QVariantMap *metadata, QString *error)
{
    metadata->clear();
    QVariantMap decoded;
    Reader reader(blob);
    while (!reader.atEnd()) {
        const qsizetype entryStart = reader.pos();
        QByteArray keyBytes;
        if (!reader.readCString(&keyBytes))
            return fail(error, QStringLiteral("the key at byte %1 has no terminating 0 byte").arg(entryStart));
        const QString key = QString::fromLatin1(keyBytes);
        quint32 count = 0;
        quint32 tag = 0;
        if (!reader.readUInt32(&count) || !reader.readUInt32(&tag))
            return fail(error, QStringLiteral("the entry \"%1\" at byte %2 ends before its type tag")
                                   .arg(key).arg(entryStart));
        if (count != 1)
            return fail(error, QStringLiteral("the entry \"%1\" at byte %2 has %3 values instead of 1")
                                   .arg(key).arg(entryStart).arg(count));
        if (decoded.contains(key))
            return fail(error, QStringLiteral("the key \"%1\" occurs twice").arg(key));

        QVariant value;
        bool complete = true;
        switch (tag) {
        case CharTag: {
            char c = 0;
            complete = reader.readBytes(&c, 1);
            value = QVariant::fromValue(QChar::fromLatin1(c));
            break;
        }
        case BoolTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(v != 0);
            break;
        }
        case IntTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(qint32(v));
            break;
        }
        case UIntTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(uint(v));
            break;
        }
        case Int64Tag: {
            quint64 v = 0;
            complete = reader.readUInt64(&v);
            value = QVariant(qlonglong(v));
            break;
        }
        case UInt64Tag: {
            quint64 v = 0;
            complete = reader.readUInt64(&v);
            value = QVariant(qulonglong(v));
            break;
        }
        case DoubleTag: {
            quint64 bits = 0;
            complete = reader.readUInt64(&bits);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            value = QVariant(d);
            break;
        }
        case StringTag: {
            QByteArray text;
            complete = reader.readCString(&text);
            value = QVariant(QString::fromLatin1(text));
            break;
        }
        default:
            return fail(error, QStringLiteral("the entry \"%1\" at byte %2 has the unknown type tag %3")
                                   .arg(key).arg(entryStart).arg(tag));
        }
        if (!complete)
            return fail(error, QStringLiteral("the value of \"%1\" at byte %2 is cut short")
                                   .arg(key).arg(entryStart));
        decoded.insert(key, value);
    }
    *metadata = decoded;
    return true;
}

QByteArray TuvoClientMetadataBlob::encode(const QVariantMap &metadata, QStringList *skippedKeys)
{
    QByteArray out;
    for (auto it = metadata.constBegin(); it != metadata.constEnd(); ++it) {
        const QVariant &value = it.value();
        QByteArray bytes;
        quint32 tag = 0;
        switch (value.metaType().id()) {
        case QMetaType::QChar:
            tag = CharTag;
            bytes.append(QString(value.toChar()).toLatin1());
            break;
        case QMetaType::Bool:
            tag = BoolTag;
            appendUInt32(bytes, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
            tag = IntTag;
            appendUInt32(bytes, quint32(value.toInt()));
            break;
        case QMetaType::UInt:
            tag = UIntTag;
            appendUInt32(bytes, value.toUInt());
            break;
        case QMetaType::LongLong:
            tag = Int64Tag;
            appendUInt64(bytes, quint64(value.toLongLong()));
            break;
        case QMetaType::ULongLong:
            tag = UInt64Tag;
            appendUInt64(bytes, value.toULongLong());
            break;
        case QMetaType::Double: {
            tag = DoubleTag;
            const double d = value.toDouble();
            quint64 bits = 0;
            std::memcpy(&bits, &d, sizeof d);
            appendUInt64(bytes, bits);
            break;
        }
        case QMetaType::QString:
            tag = StringTag;
            bytes.append(value.toString().toLatin1());
            bytes.append('\0');
            break;
        default:
            if (skippedKeys)
                skippedKeys->append(it.key());
            continue;
        }
        out.append(it.key().toLatin1());
        out.append('\0');
        appendUInt32(out, 1);
        appendUInt32(out, tag);
        out.append(bytes);
    }
    return out;
}
