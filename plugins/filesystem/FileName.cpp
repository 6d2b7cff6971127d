#include "FileName.h"

#include <QUrl>

namespace {
// The length of the valid UTF-8 sequence at \a s (of \a size bytes), or 0.
int sequenceLength(const unsigned char *s, int size)
{
    const unsigned char c = s[0];
    int length;
    unsigned int min;
    unsigned int code;
    if (c < 0x80)
        return 1;
    if ((c & 0xe0) == 0xc0)
        length = 2, min = 0x80, code = c & 0x1f;
    else if ((c & 0xf0) == 0xe0)
        length = 3, min = 0x800, code = c & 0x0f;
    else if ((c & 0xf8) == 0xf0)
        length = 4, min = 0x10000, code = c & 0x07;
    else
        return 0;
    if (length > size)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((s[i] & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (s[i] & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

int hexValue(char16_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    const int size = int(bytes.size());
    for (int i = 0; i < size;) {
        const int length = sequenceLength(s + i, size - i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}
} // namespace

QString FileName::fromBytes(const char *bytes, int size)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes);
    int i = 0;
    while (i < size && s[i] < 0x80)
        ++i;
    if (i == size)
        return QString::fromLatin1(bytes, size); // the common case: plain ASCII
    QString name = QString::fromLatin1(bytes, i);
    static const char Hex[] = "0123456789ABCDEF";
    while (i < size) {
        const int length = sequenceLength(s + i, size - i);
        if (length == 0) {
            name += QChar(Escape);
            name += QLatin1Char(Hex[s[i] >> 4]);
            name += QLatin1Char(Hex[s[i] & 0xf]);
            ++i;
            continue;
        }
        const QString part = QString::fromUtf8(bytes + i, length);
        name += part;
        if (part.size() == 1 && part.at(0) == QChar(Escape))
            name += QChar(Escape);
        i += length;
    }
    return name;
}

QByteArray FileName::toBytes(const QString &name)
{
    if (!name.contains(QChar(Escape)))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size());
    int plainFrom = 0;
    const int size = int(name.size());
    for (int i = 0; i < size; ++i) {
        if (name.at(i) != QChar(Escape))
            continue;
        bytes += QStringView(name).mid(plainFrom, i - plainFrom).toUtf8();
        if (i + 1 < size && name.at(i + 1) == QChar(Escape)) {
            bytes += "\xef\xbf\xbd";
            ++i;
        } else if (i + 2 < size + 0 && hexValue(name.at(i + 1).unicode()) >= 0
                   && hexValue(name.at(i + 2).unicode()) >= 0) {
            bytes += char(hexValue(name.at(i + 1).unicode()) * 16 + hexValue(name.at(i + 2).unicode()));
            i += 2;
        } else {
            bytes += "\xef\xbf\xbd"; // not made by fromBytes: taken as it stands
        }
        plainFrom = i + 1;
    }
    bytes += QStringView(name).mid(plainFrom).toUtf8();
    return bytes;
}

QString FileName::uri(const QString &path)
{
    const QByteArray bytes = toBytes(path);
    if (isValidUtf8(bytes))
        return QUrl::fromLocalFile(QString::fromUtf8(bytes)).toString(QUrl::FullyEncoded);
    // QUrl holds text: raw bytes are percent-encoded here, as it encodes the rest.
    return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/!$&'()*+,;=:@[]"));
}
