#include "TuvoClientMediaInfo.h"

#include "TuvoClientValue.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>

QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientMediaInfo &info)
{
    argument.beginStructure();
    argument << info.uuid;
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

const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientMediaInfo &info)
{
    info = TuvoClientMediaInfo();
    argument.beginStructure();
    argument >> info.uuid;
    argument.beginMap();
    while (!argument.atEnd()) {
        argument.beginMapEntry();
        QString key;
        argument >> key;
        QVariantList values;
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusVariant value;
            argument >> value;
            values.append(TuvoClientValue::fromDBus(value.variant()));
        }
        argument.endArray();
        info.metadata.insert(key, values);
        argument.endMapEntry();
    }
    argument.endMap();
    argument.endStructure();
    return argument;
}

void TuvoClientMediaInfo::registerMetaType()
{
    qDBusRegisterMetaType<TuvoClientMediaInfo>();
}

bool TuvoClientMediaInfo::fromReplyArgument(const QVariant &argument, TuvoClientMediaInfo *info,
                                            QString *error)
{
    if (argument.metaType() != QMetaType::fromType<QDBusArgument>()
        || argument.value<QDBusArgument>().currentSignature() != QLatin1String("(sa{sav})")) {
        if (error)
            *error = QStringLiteral("the media info is not of type (sa{sav})");
        return false;
    }
    argument.value<QDBusArgument>() >> *info;
    return true;
}
