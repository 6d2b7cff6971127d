#include "TuvoMetadataDecoder.h"

#include "TuvoMetadataEncoder.h"

#include <QtEndian>

#include <cstring>

namespace {
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

bool TuvoMetadataDecoder::decode(const QByteArray &blob, QVariantMap *metadata, QString *error)
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
        case TuvoMetadataEncoder::CharTag: {
            char c = 0;
            complete = reader.readBytes(&c, 1);
            value = QVariant::fromValue(QChar::fromLatin1(c));
            break;
        }
        case TuvoMetadataEncoder::BooleanTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(v != 0);
            break;
        }
        case TuvoMetadataEncoder::IntTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(qint32(v));
            break;
        }
        case TuvoMetadataEncoder::UIntTag: {
            quint32 v = 0;
            complete = reader.readUInt32(&v);
            value = QVariant(uint(v));
            break;
        }
        case TuvoMetadataEncoder::Int64Tag: {
            quint64 v = 0;
            complete = reader.readUInt64(&v);
            value = QVariant(qlonglong(v));
            break;
        }
        case TuvoMetadataEncoder::UInt64Tag: {
            quint64 v = 0;
            complete = reader.readUInt64(&v);
            value = QVariant(qulonglong(v));
            break;
        }
        case TuvoMetadataEncoder::DoubleTag: {
            quint64 bits = 0;
            complete = reader.readUInt64(&bits);
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            value = QVariant(d);
            break;
        }
        case TuvoMetadataEncoder::StringTag: {
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
