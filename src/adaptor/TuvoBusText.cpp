#include "TuvoBusText.h"

#include <QDBusVariant>

bool TuvoBusText::holdsNul(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return holdsNul(value.toString());
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList()) {
            if (holdsNul(item))
                return true;
        }
        return false;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (holdsNul(it.key()) || holdsNul(it.value()))
                return true;
        }
        return false;
    }
    default:
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            return holdsNul(value.value<QDBusVariant>().variant());
        return false;
    }
}
