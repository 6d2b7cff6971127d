#include "TuvoPropertyConversion.h"

#include <cmath>
#include <type_traits>

namespace {
enum class NumberKind { None, Signed, Unsigned, Floating };

NumberKind numberKind(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Char:
        return std::is_signed_v<char> ? NumberKind::Signed : NumberKind::Unsigned;
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return NumberKind::Signed;
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return NumberKind::Unsigned;
    case QMetaType::Float:
    case QMetaType::Double:
        return NumberKind::Floating;
    default:
        return NumberKind::None;
    }
}

// 2^bits as a double, exact for every width up to 64.
double powerOfTwo(int bits)
{
    return std::ldexp(1.0, bits);
}

// Whether the number \a value (of kind \a from) is held exactly by the number type \a type.
bool holdsExactly(const QVariant &value, NumberKind from, QMetaType type, NumberKind to)
{
    const int bits = int(type.sizeOf()) * 8;
    if (from == NumberKind::Floating) {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return false;
        if (to == NumberKind::Floating)
            return type.id() == QMetaType::Double || double(float(d)) == d;
        if (std::trunc(d) != d)
            return false;
        if (to == NumberKind::Signed)
            return d >= -powerOfTwo(bits - 1) && d < powerOfTwo(bits - 1);
        return d >= 0 && d < powerOfTwo(bits);
    }
    if (to == NumberKind::Floating) {
        // Through double, checked before casting back so that no cast leaves its range.
        double d;
        if (from == NumberKind::Signed) {
            const qlonglong v = value.toLongLong();
            d = double(v);
            if (d >= powerOfTwo(63) || qlonglong(d) != v)
                return false;
        } else {
            const qulonglong v = value.toULongLong();
            d = double(v);
            if (d >= powerOfTwo(64) || qulonglong(d) != v)
                return false;
        }
        return type.id() == QMetaType::Double || double(float(d)) == d;
    }
    if (from == NumberKind::Signed) {
        const qlonglong v = value.toLongLong();
        if (to == NumberKind::Signed)
            return bits >= 64
                   || (v >= -(qlonglong(1) << (bits - 1)) && v < (qlonglong(1) << (bits - 1)));
        return v >= 0 && (bits >= 64 || qulonglong(v) < (qulonglong(1) << bits));
    }
    const qulonglong v = value.toULongLong();
    if (to == NumberKind::Signed)
        return v < (qulonglong(1) << (bits - 1));
    return bits >= 64 || v < (qulonglong(1) << bits);
}

// A number into a number type: only when held exactly.
bool convertNumberExactly(QVariant &value, QMetaType type)
{
    const NumberKind from = numberKind(value.metaType());
    const NumberKind to = numberKind(type);
    if (!holdsExactly(value, from, type, to))
        return false;
    // In range now; the casts between integers and floating point are our own, so that
    // every conversion left to QVariant is one between integers or between floats.
    if (from == NumberKind::Floating && to != NumberKind::Floating) {
        const double d = value.toDouble();
        value = d < 0 ? QVariant(qlonglong(d)) : QVariant(qulonglong(d));
    } else if (from != NumberKind::Floating && to == NumberKind::Floating) {
        value = from == NumberKind::Signed ? QVariant(double(value.toLongLong()))
                                           : QVariant(double(value.toULongLong()));
    }
    return value.convert(type);
}
} // namespace

bool TuvoPropertyConversion::convertExactly(QVariant &value, QMetaType type)
{
    if (value.metaType() == type)
        return true;
    if (numberKind(value.metaType()) != NumberKind::None && numberKind(type) != NumberKind::None)
        return convertNumberExactly(value, type);
    QVariant converted = value;
    if (!converted.convert(type))
        return false;
    QVariant back = converted;
    if (!back.convert(value.metaType()) || back != value)
        return false;
    value = converted;
    return true;
}
