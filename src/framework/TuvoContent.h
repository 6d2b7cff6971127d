#ifndef TUVOCONTENT_H
#define TUVOCONTENT_H

#include "TuvoFrameworkGlobal.h"

#include <QMetaType>
#include <QString>
#include <QVariantMap>

class QObject;

/*!
 * One item or container of a source's collection: its identifier and its metadata, a
 * map from metadata key to a value of a plain type (string, number, boolean...).
 * A value type; copies are independent.
 */
class TUVO_FRAMEWORK_EXPORT TuvoContent
{
public:
    TuvoContent() = default;
    explicit TuvoContent(const QString &uuid);
    TuvoContent(const QString &uuid, const QVariantMap &metaData);

    QString uuid() const { return m_uuid; }
    void setUuid(const QString &uuid) { m_uuid = uuid; }

    QVariantMap metaData() const { return m_metaData; }
    QVariant metaData(const QString &key) const { return m_metaData.value(key); }

    /*!
     * Replaces the metadata. With a receiver, \a member is a slot without arguments
     * that is called once the metadata is stored; a receiver without that slot makes
     * the call refuse (false) and store nothing.
     */
    bool setMetaData(const QVariantMap &metaData, QObject *receiver = nullptr,
                     const char *member = nullptr);

    bool operator==(const TuvoContent &other) const;
    bool operator!=(const TuvoContent &other) const { return !(*this == other); }

private:
    QString m_uuid;
    QVariantMap m_metaData;
};

Q_DECLARE_METATYPE(TuvoContent)

#endif
