#ifndef TESTSTREAMITEM_H
#define TESTSTREAMITEM_H

#include <QString>
#include <QVariantMap>

/*!
 * The items a test source's stream sends, item i of them: a stable object id and
 * eight metadata keys of the usual kinds (four strings, two 32-bit and two 64-bit
 * numbers). The browse benchmarks make the same records to compare against.
 */
class TestStreamItem
{
public:
    static QString objectId(int i) { return QStringLiteral("stream_item_%1").arg(i); }

    static QVariantMap metaData(int i)
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
};

#endif
