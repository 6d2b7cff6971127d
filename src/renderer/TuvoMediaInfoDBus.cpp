#include "TuvoMediaInfoDBus.h"

#include <QDBusMetaType>
#include <QDBusVariant>

const char *const TuvoMediaInfoDBus::Signature = "(sa{sav})";

void TuvoMediaInfoDBus::registerMetaType()
{
    qDBusRegisterMetaType<TuvoMediaInfo>();
}

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMediaInfo &mediaInfo)
{
    argument.beginStructure();
    argument << mediaInfo.uuid();
    // Declared element types keep the signature a{sav} for an empty map as well.
    argument.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QVariantList>());
    const TuvoMediaInfo::MetaData &metaData = mediaInfo.metaData();
    for (auto it = metaData.constBegin(); it != metaData.constEnd(); ++it) {
        argument.beginMapEntry();
        argument << it.key();
        argument.beginArray(QMetaType::fromType<QDBusVariant>());
        for (const QVariant &value : it.value())
            argument << QDBusVariant(value);
        argument.endArray();
        argument.endMapEntry();
    }
    argument.endMap();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMediaInfo &mediaInfo)
{
    argument.beginStructure();
    QString uuid;
    argument >> uuid;
    mediaInfo.setUuid(uuid);

    TuvoMediaInfo::MetaData metaData;
    argument.beginMap();
    while (!argument.atEnd()) {
        argument.beginMapEntry();
        QString key;
        argument >> key;
        // The map holds one list per key; a repeated key must not lose what came first.
        QList<QVariant> &values = metaData[key];
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusVariant value;
            argument >> value;
            values.append(value.variant());
        }
        argument.endArray();
        argument.endMapEntry();
    }
    argument.endMap();
    mediaInfo.setMetaData(metaData);
    argument.endStructure();
    return argument;
}
