#include "TuvoCliJsonWriter.h"

#include "TuvoCliOutput.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoClientValue.h>
#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QtEndian>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr char Hex[] = "0123456789abcdef";
// The longest text of a number: a 64-bit integer, or a double in its shortest form.
constexpr qsizetype NumberRoom = 32;

// Room for \a extra more bytes at the end of \a out: where they start. The buffer keeps
// its capacity when it is cut back, so a reused one stops growing after a few lines.
char *room(QByteArray &out, qsizetype extra)
{
    const qsizetype size = out.size();
    out.resize(size + extra);
    return out.data() + size;
}

void cut(QByteArray &out, const char *end)
{
    out.resize(end - out.constData());
}

char *escapeAscii(char *p, char c)
{
    *p++ = '\\';
    switch (c) {
    case '"': *p++ = '"'; break;
    case '\\': *p++ = '\\'; break;
    case '\b': *p++ = 'b'; break;
    case '\f': *p++ = 'f'; break;
    case '\n': *p++ = 'n'; break;
    case '\r': *p++ = 'r'; break;
    case '\t': *p++ = 't'; break;
    default:
        *p++ = 'u';
        *p++ = '0';
        *p++ = '0';
        *p++ = Hex[(c >> 4) & 0xf];
        *p++ = Hex[c & 0xf];
    }
    return p;
}

// Whether a character goes into a JSON string as it is: printable ASCII but the quote
// and the backslash.
constexpr bool plainAscii(uint c)
{
    return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

// The same for every byte, looked up at once.
constexpr std::array<bool, 256> PlainBytes = [] {
    std::array<bool, 256> plain{};
    for (uint c = 0; c < 256; ++c)
        plain[c] = plainAscii(c);
    return plain;
}();

// At most 6 bytes per UTF-16 unit, and the quotes.
char *writeString(char *p, QStringView text)
{
    *p++ = '"';
    const char16_t *u = text.utf16();
    const char16_t *const end = u + text.size();
    while (u < end) {
        const char16_t c = *u++;
        if (plainAscii(c)) {
            *p++ = char(c);
        } else if (c < 0x80) {
            p = escapeAscii(p, char(c));
        } else if (c < 0x800) {
            *p++ = char(0xc0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3f));
        } else if (QChar::isHighSurrogate(c) && u < end && QChar::isLowSurrogate(*u)) {
            const char32_t code = QChar::surrogateToUcs4(c, *u++);
            *p++ = char(0xf0 | (code >> 18));
            *p++ = char(0x80 | ((code >> 12) & 0x3f));
            *p++ = char(0x80 | ((code >> 6) & 0x3f));
            *p++ = char(0x80 | (code & 0x3f));
        } else if (QChar::isSurrogate(c)) {
            *p++ = '\\';
            *p++ = 'u';
            for (int shift = 12; shift >= 0; shift -= 4)
                *p++ = Hex[(c >> shift) & 0xf];
        } else {
            *p++ = char(0xe0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3f));
            *p++ = char(0x80 | (c & 0x3f));
        }
    }
    *p++ = '"';
    return p;
}

// At most 6 bytes per Latin-1 character, and the quotes. Runs of plain bytes, most of a
// name or a title, are copied at once.
char *writeLatin1(char *p, const char *text, qsizetype length)
{
    *p++ = '"';
    const char *const end = text + length;
    while (text < end) {
        const char *run = text;
        while (run < end && PlainBytes[uchar(*run)])
            ++run;
        std::memcpy(p, text, size_t(run - text));
        p += run - text;
        if (run == end)
            break;
        const uchar c = uchar(*run);
        if (c < 0x80) {
            p = escapeAscii(p, char(c));
        } else {
            *p++ = char(0xc0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3f));
        }
        text = run + 1;
    }
    *p++ = '"';
    return p;
}

char *writeLiteral(char *p, const char *text)
{
    const size_t length = std::strlen(text);
    std::memcpy(p, text, length);
    return p + length;
}

template<typename Number>
char *writeNumber(char *p, Number value)
{
    return std::to_chars(p, p + NumberRoom, value).ptr;
}

// Non-finite doubles go out as strings, as QString::number() writes them.
char *writeDouble(char *p, double value)
{
    if (std::isfinite(value))
        return writeNumber(p, value);
    return writeLiteral(p, std::isnan(value) ? "\"nan\"" : value > 0 ? "\"inf\"" : "\"-inf\"");
}

// One entry of a metadata blob, as TuvoMetadataEncoder writes it.
struct Entry {
    const char *key;
    qsizetype keyLength;
    quint32 tag;
    const char *value;
    qsizetype valueLength;
};

// Walks a blob entry by entry; next() is false at the end and on anything that is not
// plain: a malformed entry, a count other than 1, an unknown tag, a key not after the
// one before it (QMap's order, which the decoder's map would give).
class BlobWalk
{
public:
    explicit BlobWalk(const QByteArray &blob)
        : m_p(blob.constData())
        , m_end(blob.constData() + blob.size())
    {
    }
    bool atEnd() const { return m_p == m_end; }
    bool next(Entry *entry)
    {
        const char *key = m_p;
        const char *keyEnd = static_cast<const char *>(std::memchr(key, 0, size_t(m_end - key)));
        if (!keyEnd || m_end - keyEnd < 9)
            return false;
        const qsizetype keyLength = keyEnd - key;
        if (m_previousKey) {
            const int order = std::memcmp(m_previousKey, key, size_t(qMin(m_previousLength, keyLength)));
            if (order > 0 || (order == 0 && m_previousLength >= keyLength))
                return false;
        }
        const quint32 count = qFromLittleEndian<quint32>(keyEnd + 1);
        const quint32 tag = qFromLittleEndian<quint32>(keyEnd + 5);
        const char *value = keyEnd + 9;
        qsizetype length = 0;
        switch (tag) {
        case TuvoMetadataEncoder::CharTag: length = 1; break;
        case TuvoMetadataEncoder::BooleanTag:
        case TuvoMetadataEncoder::IntTag:
        case TuvoMetadataEncoder::UIntTag: length = 4; break;
        case TuvoMetadataEncoder::Int64Tag:
        case TuvoMetadataEncoder::UInt64Tag:
        case TuvoMetadataEncoder::DoubleTag: length = 8; break;
        case TuvoMetadataEncoder::StringTag: {
            const void *nul = std::memchr(value, 0, size_t(m_end - value));
            if (!nul)
                return false;
            length = static_cast<const char *>(nul) - value + 1;
            break;
        }
        default:
            return false;
        }
        if (count != 1 || m_end - value < length)
            return false;
        *entry = Entry{key, keyLength, tag, value, length};
        m_previousKey = key;
        m_previousLength = keyLength;
        m_p = value + length;
        return true;
    }

private:
    const char *m_p;
    const char *m_end;
    const char *m_previousKey = nullptr;
    qsizetype m_previousLength = 0;
};

char *writeEntryValue(char *p, const Entry &entry)
{
    switch (entry.tag) {
    case TuvoMetadataEncoder::CharTag:
        return writeLatin1(p, entry.value, 1);
    case TuvoMetadataEncoder::BooleanTag:
        return writeLiteral(p, qFromLittleEndian<quint32>(entry.value) ? "true" : "false");
    case TuvoMetadataEncoder::IntTag:
        return writeNumber(p, qFromLittleEndian<qint32>(entry.value));
    case TuvoMetadataEncoder::UIntTag:
        return writeNumber(p, qFromLittleEndian<quint32>(entry.value));
    case TuvoMetadataEncoder::Int64Tag:
        return writeNumber(p, qFromLittleEndian<qint64>(entry.value));
    case TuvoMetadataEncoder::UInt64Tag: {
        // Beyond what JSON readers keep exactly: a string.
        const quint64 n = qFromLittleEndian<quint64>(entry.value);
        if (n <= quint64(std::numeric_limits<qint64>::max()))
            return writeNumber(p, n);
        *p++ = '"';
        p = writeNumber(p, n);
        *p++ = '"';
        return p;
    }
    case TuvoMetadataEncoder::DoubleTag: {
        double d = 0;
        const quint64 bits = qFromLittleEndian<quint64>(entry.value);
        std::memcpy(&d, &bits, sizeof d);
        return writeDouble(p, d);
    }
    default: // StringTag
        return writeLatin1(p, entry.value, entry.valueLength - 1);
    }
}

// The quoted name of a blob entry's type, as TuvoClientValue names the value it
// decodes to, so that both ways of writing a result agree. Only the tags the blob walk
// takes get here.
char *writeTypeName(char *p, quint32 tag)
{
    static const std::array<QByteArray, 256> names = [] {
        const QList<std::pair<quint8, QVariant>> examples{
            {TuvoMetadataEncoder::CharTag, QChar()},      {TuvoMetadataEncoder::BooleanTag, false},
            {TuvoMetadataEncoder::IntTag, 0},             {TuvoMetadataEncoder::UIntTag, 0u},
            {TuvoMetadataEncoder::Int64Tag, qint64(0)},   {TuvoMetadataEncoder::UInt64Tag, quint64(0)},
            {TuvoMetadataEncoder::DoubleTag, 0.0},        {TuvoMetadataEncoder::StringTag, QString()}};
        std::array<QByteArray, 256> byTag;
        for (const auto &[tag, example] : examples)
            byTag[tag] = '"' + TuvoClientValue::typeName(example).toLatin1() + '"';
        return byTag;
    }();
    const QByteArray &name = names[tag & 0xff];
    std::memcpy(p, name.constData(), size_t(name.size()));
    return p + name.size();
}
} // namespace

void TuvoCliJsonWriter::appendString(QByteArray &out, QStringView text)
{
    cut(out, writeString(room(out, 6 * text.size() + 2), text));
}

void TuvoCliJsonWriter::appendLatin1(QByteArray &out, QLatin1StringView text)
{
    cut(out, writeLatin1(room(out, 6 * text.size() + 2), text.data(), text.size()));
}

void TuvoCliJsonWriter::appendInteger(QByteArray &out, qint64 value)
{
    cut(out, writeNumber(room(out, NumberRoom), value));
}

void TuvoCliJsonWriter::appendDouble(QByteArray &out, double value)
{
    cut(out, writeDouble(room(out, NumberRoom), value));
}

void TuvoCliJsonWriter::appendValue(QByteArray &out, const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        appendString(out, *static_cast<const QString *>(value.constData()));
        return;
    case QMetaType::Bool:
        out.append(value.toBool() ? "true" : "false");
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        appendInteger(out, value.toLongLong());
        return;
    case QMetaType::Double:
        appendDouble(out, value.toDouble());
        return;
    default:
        break;
    }
    // The rarer types as TuvoCliOutput has always shown them.
    const QByteArray array = QJsonDocument(QJsonArray{TuvoCliOutput::jsonValue(value)}).toJson(QJsonDocument::Compact);
    out.append(array.constData() + 1, array.size() - 2);
}

bool TuvoCliJsonWriter::appendPlain(QByteArray &out, const TuvoBrowseResultDBusStruct &record)
{
    // Room for the whole line at once. Every blob entry takes 10 bytes at least (key end,
    // count, tag, value); its key is written twice and its value once, at most 6 bytes a
    // byte or a number's text, with a few bytes of syntax: 12 bytes a blob byte cover it.
    // The rest: the id, two numbers and the fixed text.
    const QByteArray &blob = record.metadata;
    const qsizetype start = out.size();
    char *p = room(out, 6 * record.objectId.size() + 12 * blob.size() + 2 * NumberRoom + 96);
    p = writeLiteral(p, "{\"id\":");
    p = writeString(p, record.objectId);
    p = writeLiteral(p, ",\"index\":");
    p = writeNumber(p, record.index);
    p = writeLiteral(p, ",\"metadata\":{");
    // The entries are walked once: the types are written from what the walk kept, unless
    // there are more of them than it keeps.
    std::array<Entry, 32> kept;
    qsizetype count = 0;
    BlobWalk values(blob);
    Entry entry;
    for (; !values.atEnd(); ++count) {
        if (!values.next(&entry)) {
            out.resize(start);
            return false;
        }
        if (count)
            *p++ = ',';
        p = writeLatin1(p, entry.key, entry.keyLength);
        *p++ = ':';
        p = writeEntryValue(p, entry);
        if (count < qsizetype(kept.size()))
            kept[size_t(count)] = entry;
    }
    p = writeLiteral(p, "},\"remaining\":");
    p = writeNumber(p, record.remainingCount);
    p = writeLiteral(p, ",\"types\":{");
    const bool allKept = count <= qsizetype(kept.size());
    BlobWalk again(blob); // walked before, so it reads as it did
    for (qsizetype i = 0; i < count; ++i) {
        if (i)
            *p++ = ',';
        if (allKept)
            entry = kept[size_t(i)];
        else
            again.next(&entry);
        p = writeLatin1(p, entry.key, entry.keyLength);
        *p++ = ':';
        p = writeTypeName(p, entry.tag);
    }
    p = writeLiteral(p, "}}\n");
    cut(out, p);
    return true;
}

bool TuvoCliJsonWriter::appendBrowseResult(QByteArray &out, const TuvoBrowseResultDBusStruct &record,
                                           QString *error)
{
    if (appendPlain(out, record))
        return true;

    out.append("{\"id\":");
    appendString(out, record.objectId);
    out.append(",\"index\":");
    appendInteger(out, record.index);
    out.append(",\"metadata\":");
    // Not plain: the decoder says what the metadata are, or why they cannot be read.
    QVariantMap metadata;
    QString why;
    const bool readable = TuvoMetadataDecoder::decode(record.metadata, &metadata, &why);
    out.append('{');
    for (auto it = metadata.cbegin(); it != metadata.cend(); ++it) {
        if (it != metadata.cbegin())
            out.append(',');
        appendString(out, it.key());
        out.append(':');
        appendValue(out, it.value());
    }
    out.append('}');
    if (!readable) {
        why = QStringLiteral("malformed metadata: ") + why;
        out.append(",\"metadata_error\":");
        appendString(out, why);
        if (error)
            *error = why;
    }
    out.append(",\"remaining\":");
    appendInteger(out, record.remainingCount);
    out.append(",\"types\":{");
    for (auto it = metadata.cbegin(); it != metadata.cend(); ++it) {
        if (it != metadata.cbegin())
            out.append(',');
        appendString(out, it.key());
        out.append(':');
        appendString(out, TuvoClientValue::typeName(it.value()));
    }
    out.append("}}\n");
    return readable;
}

void TuvoCliJsonWriter::appendQueryRow(QByteArray &out, const TuvoQueryResultDBusStruct &row)
{
    out.append("{\"index\":");
    appendInteger(out, row.index);
    out.append(",\"values\":[");
    for (qsizetype i = 0; i < row.resultRow.size(); ++i) {
        if (i)
            out.append(',');
        appendString(out, row.resultRow.at(i));
    }
    out.append("]}\n");
}
