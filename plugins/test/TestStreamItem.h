#ifndef BENCHMETADATA_H
#define BENCHMETADATA_H

#include <QString>
#include <QVariantMap>

// The metadata of one benchmark record: eight keys, as the test plugin's stream sends
// them (four strings, two 32-bit and two 64-bit numbers).
inline QVariantMap benchMetaData(int i)
{
    QVariantMap meta;
    meta.insert(QStringLiteral("album"), QStringLiteral("Album number %1").arg(i % 7));
    meta.insert(QStringLiteral("artist"), QStringLiteral("Artist %1").arg(i % 5));
    meta.insert(QStringLiteral("duration"), 180 + i);
    meta.insert(QStringLiteral("genre"), QStringLiteral("Genre"));
    meta.insert(QStringLiteral("rating"), 0.5 + i / 100.0);
    meta.insert(QStringLiteral("size"), qlonglong(4000000) + i);
    meta.insert(QStringLiteral("title"), QStringLiteral("A title of track %1").arg(i));
    meta.insert(QStringLiteral("track"), uint(i % 12 + 1));
    return meta;
}

inline QString benchObjectId(int i)
{
    return QStringLiteral("stream_item_%1").arg(i);
}

#endif
