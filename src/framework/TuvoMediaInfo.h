#ifndef TUVOMEDIAINFO_H
#define TUVOMEDIAINFO_H

#include "TuvoFrameworkGlobal.h"

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QVariant>

/*!
 * What a renderer knows about the media it plays: an identifier and, per metadata
 * key, a list of values (a track may have several artists). A value type.
 */
class TUVO_FRAMEWORK_EXPORT TuvoMediaInfo
{
public:
    typedef QMap<QString, QList<QVariant>> MetaData;

    TuvoMediaInfo() = default;
    explicit TuvoMediaInfo(const QString &uuid);

    QString uuid() const { return m_uuid; }
    void setUuid(const QString &uuid) { m_uuid = uuid; }

    const MetaData &metaData() const { return m_metaData; }
    /*! The values stored under \a key; empty when there are none. */
    QList<QVariant> metaData(const QString &key) const { return m_metaData.value(key); }
    void setMetaData(const MetaData &metaData) { m_metaData = metaData; }
    void setMetaData(const QString &key, const QList<QVariant> &values) { m_metaData.insert(key, values); }

    bool operator==(const TuvoMediaInfo &other) const
    {
        return m_uuid == other.m_uuid && m_metaData == other.m_metaData;
    }
    bool operator!=(const TuvoMediaInfo &other) const { return !(*this == other); }

private:
    QString m_uuid;
    MetaData m_metaData;
};

Q_DECLARE_METATYPE(TuvoMediaInfo)

#endif
