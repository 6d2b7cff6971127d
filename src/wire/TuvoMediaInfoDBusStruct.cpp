#include "TuvoMediaInfoDBusStruct.h"

#include "TuvoDBusValue.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>

const char *const TuvoMediaInfoDBusStruct::Signature = "(sa{sav})";

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoMediaInfoDBusStruct &info)
{
    argument.beginStructure();
    argument << info.uuid;
    // Declared element types keep the signature a{sav} for an empty map as well.
    argument.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QVariantList>());
    for (auto it = info.metadata.constBegin(); it != info.metadata.constEnd(); ++it) {
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

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoMediaInfoDBusStruct &info)
{
    info = TuvoMediaInfoDBusStruct();
    argument.beginStructure();
    argument >> info.uuid;
    argument.beginMap();
    while (!argument.atEnd()) {
        argument.beginMapEntry();
        QString key;
        argument >> key;
        // One list per key: a repeated key must not lose what came first.
        QVariantList &values = info.metadata[key];
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusVariant value;
            argument >> value;
            values.append(TuvoDBusValue::plain(value.variant()));
        }
        argument.endArray();
        argument.endMapEntry();
    }
    argument.endMap();
    argument.endStructure();
    return argument;
}

void TuvoMediaInfoDBusStruct::registerMetaType()
{
    qDBusRegisterMetaType<TuvoMediaInfoDBusStruct>();
}

bool TuvoMediaInfoDBusStruct::fromReplyArgument(const QVariant &argument, TuvoMediaInfoDBusStruct *info,
                                                QString *error)
{
    if (argument.metaType() != QMetaType::fromType<QDBusArgument>()
        || argument.value<QDBusArgument>().currentSignature() != QLatin1String(Signature)) {
        if (error)
            *error = QStringLiteral("the media info is not of type %1").arg(QLatin1String(Signature));
        return false;
    }
    argument.value<QDBusArgument>() >> *info;
    return true;
}
