#ifndef TUVOMPRISMETADATA_H
#define TUVOMPRISMETADATA_H

#include <QMap>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

/*!
 * A renderer's media info as MPRIS Metadata: "mpris:trackid" from the item id,
 * "mpris:length" (microseconds) from "duration" (seconds), and "xesam:title",
 * "xesam:artist" (a list), "xesam:album" and "xesam:url" from "title", "artist",
 * "album" and "uri". Keys that are missing or empty are left out.
 */
namespace TuvoMprisMetadata {
QVariantMap fromMediaInfo(const QString &itemId, const QMap<QString, QVariantList> &media);
}

#endif
