#include "TuvoClientValue.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>

#include <limits>

namespace {
template <typename T>
QVariant parseInteger(const QString &text, QString *error, const QString &type)
{
    bool ok = false;
    QVariant value;
    if constexpr (std::numeric_limits<T>::is_signed) {
        const qlonglong n = text.trimmed().toLongLong(&ok, 0);
        ok = ok && n >= qlonglong(std::numeric_limits<T>::min()) && n <= qlonglong(std::numeric_limits<T>::max());
        value = QVariant::fromValue(T(n));
    } else {
        const QString trimmed = text.trimmed();
        const qulonglong n = trimmed.toULongLong(&ok, 0);
        ok = ok && !trimmed.startsWith(QLatin1Char('-')) && n <= qulonglong(std::numeric_limits<T>::max());
        value = QVariant::fromValue(T(n));
    }
    if (!ok) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a value of type %2").arg(text, type);
        return QVariant();
    }
    return value;
}
} // namespace

QString TuvoClientValue::typeName(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return QStringLiteral("none");
    case QMetaType::Bool:
        return QStringLiteral("bool");
    case QMetaType::UChar:
        return QStringLiteral("byte");
    case QMetaType::Short:
        return QStringLiteral("int16");
    case QMetaType::UShort:
        return QStringLiteral("uint16");
    case QMetaType::Int:
        return QStringLiteral("int");
    case QMetaType::UInt:
        return QStringLiteral("uint");
    case QMetaType::LongLong:
        return QStringLiteral("int64");
    case QMetaType::ULongLong:
        return QStringLiteral("uint64");
    case QMetaType::Double:
        return QStringLiteral("double");
    case QMetaType::QString:
        return QStringLiteral("string");
    case QMetaType::QChar:
        return QStringLiteral("char");
    case QMetaType::QByteArray:
        return QStringLiteral("bytes");
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return QStringLiteral("list");
    case QMetaType::QVariantMap:
        return QStringLiteral("map");
    default:
        break;
    }
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return QStringLiteral("object-path");
    if (value.metaType() == QMetaType::fromType<QDBusSignature>())
        return QStringLiteral("signature");
    return QString::fromLatin1(value.typeName());
}

QStringList TuvoClientValue::parsableTypeNames()
{
    return {QStringLiteral("string"), QStringLiteral("bool"), QStringLiteral("byte"),
            QStringLiteral("int16"),  QStringLiteral("uint16"), QStringLiteral("int"),
            QStringLiteral("uint"),   QStringLiteral("int64"), QStringLiteral("uint64"),
            QStringLiteral("double"), QStringLiteral("object-path")};
}

QVariant TuvoClientValue::parse(const QString &text, const QString &type, QString *error)
{
    if (type == QLatin1String("string"))
        return text;
    if (type == QLatin1String("bool")) {
        const QString t = text.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("1"))
            return true;
        if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("0"))
            return false;
        if (error)
            *error = QStringLiteral("\"%1\" is not a value of type bool (true or false)").arg(text);
        return QVariant();
    }
    if (type == QLatin1String("byte"))
        return parseInteger<uchar>(text, error, type);
    if (type == QLatin1String("int16"))
        return parseInteger<short>(text, error, type);
    if (type == QLatin1String("uint16"))
        return parseInteger<ushort>(text, error, type);
    if (type == QLatin1String("int"))
        return parseInteger<int>(text, error, type);
    if (type == QLatin1String("uint"))
        return parseInteger<uint>(text, error, type);
    if (type == QLatin1String("int64"))
        return parseInteger<qlonglong>(text, error, type);
    if (type == QLatin1String("uint64"))
        return parseInteger<qulonglong>(text, error, type);
    if (type == QLatin1String("double")) {
        bool ok = false;
        const double d = text.trimmed().toDouble(&ok);
        if (ok)
            return d;
        if (error)
            *error = QStringLiteral("\"%1\" is not a value of type double").arg(text);
        return QVariant();
    }
    if (type == QLatin1String("object-path")) {
        const QDBusObjectPath path(text);
        if (!path.path().isEmpty())
            return QVariant::fromValue(path);
        if (error)
            *error = QStringLiteral("\"%1\" is not an object path").arg(text);
        return QVariant();
    }
    if (error)
        *error = QStringLiteral("unknown type \"%1\" (types: %2)")
                     .arg(type, parsableTypeNames().join(QStringLiteral(", ")));
    return QVariant();
}

QVariant TuvoClientValue::parseAs(const QString &text, const QVariant &example, QString *error)
{
    const QString type = typeName(example);
    if (!parsableTypeNames().contains(type)) {
        if (error)
            *error = QStringLiteral("values of type %1 cannot be given as text").arg(type);
        return QVariant();
    }
    return parse(text, type, error);
}
