#include "TuvoMprisNames.h"

#include <QCryptographicHash>

namespace {
const QString TrackPrefix = QStringLiteral("/com/oxbel/tuvo/mpris/track/");
const QString PlaylistPrefix = QStringLiteral("/com/oxbel/tuvo/mpris/playlist/");
// A bus name is at most 255 bytes; the prefix takes 28.
constexpr int MaxElementLength = 255 - 28 - 10; // less "_", "_" and the hash

bool isPlain(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// Object path elements allow [A-Za-z0-9_]: every other byte of the UTF-8 text, and '_'
// itself, become "_xx", so that the text can be read back.
QString escapeElement(const QString &text)
{
    QString out;
    for (const char byte : text.toUtf8()) {
        const QChar c = QLatin1Char(byte);
        if (byte > 0 && isPlain(c))
            out.append(c);
        else
            out.append(QStringLiteral("_%1").arg(uchar(byte), 2, 16, QLatin1Char('0')));
    }
    return out;
}

QString unescapeElement(const QString &element, bool *ok)
{
    QByteArray bytes;
    *ok = true;
    for (int i = 0; i < element.size(); ++i) {
        if (element.at(i) != u'_') {
            bytes.append(element.at(i).toLatin1());
            continue;
        }
        bytes.append(char(element.mid(i + 1, 2).toUInt(ok, 16)));
        if (!*ok || i + 2 >= element.size())
            return {};
        i += 2;
    }
    return QString::fromUtf8(bytes);
}
} // namespace

namespace TuvoMprisNames {
const char *const BusNamePrefix = "org.mpris.MediaPlayer2.tuvo.";
const char *const NoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

QString busName(const QString &rendererUuid)
{
    QString element;
    for (const QChar c : rendererUuid)
        element.append(isPlain(c) || c == u'_' ? c : QChar(u'_'));
    const bool changed = element != rendererUuid || element.isEmpty() || element.at(0).isDigit()
                         || element.size() > MaxElementLength;
    if (changed) {
        const QByteArray hash = QCryptographicHash::hash(rendererUuid.toUtf8(), QCryptographicHash::Sha1);
        element = QStringLiteral("_") + element.left(MaxElementLength) + QStringLiteral("_")
                  + QString::fromLatin1(hash.toHex().left(8));
    }
    return QLatin1String(BusNamePrefix) + element;
}

QString trackId(const QString &itemId)
{
    if (itemId.isEmpty())
        return QLatin1String(NoTrack);
    return TrackPrefix + escapeElement(itemId);
}

QString playlistPath(const QString &id)
{
    return PlaylistPrefix + (id.isEmpty() ? QStringLiteral("_") : escapeElement(id));
}

QString playlistId(const QString &path)
{
    if (!path.startsWith(PlaylistPrefix))
        return {};
    bool ok = false;
    const QString id = unescapeElement(path.mid(PlaylistPrefix.size()), &ok);
    return ok ? id : QString();
}
} // namespace TuvoMprisNames
