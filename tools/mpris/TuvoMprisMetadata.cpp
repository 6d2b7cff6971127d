#include "TuvoMprisMetadata.h"

#include "TuvoMprisNames.h"

#include <QDBusObjectPath>

namespace TuvoMprisMetadata {
QVariantMap fromMediaInfo(const QString &itemId, const QMap<QString, QVariantList> &media)
{
    QVariantMap metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(TuvoMprisNames::trackId(itemId))));
    const auto first = [&media](const char *key) {
        const QVariantList values = media.value(QLatin1String(key));
        return values.isEmpty() ? QVariant() : values.first();
    };
    bool ok = false;
    const qlonglong seconds = first("duration").toLongLong(&ok);
    if (ok && seconds > 0)
        metadata.insert(QStringLiteral("mpris:length"), seconds * 1000000);
    const struct {
        const char *from;
        const char *to;
    } texts[] = {{"title", "xesam:title"}, {"album", "xesam:album"}, {"uri", "xesam:url"}};
    for (const auto &text : texts) {
        const QString value = first(text.from).toString();
        if (!value.isEmpty())
            metadata.insert(QLatin1String(text.to), value);
    }
    QStringList artists;
    for (const QVariant &artist : media.value(QStringLiteral("artist"))) {
        if (!artist.toString().isEmpty())
            artists.append(artist.toString());
    }
    if (!artists.isEmpty())
        metadata.insert(QStringLiteral("xesam:artist"), artists);
    return metadata;
}
} // namespace TuvoMprisMetadata
