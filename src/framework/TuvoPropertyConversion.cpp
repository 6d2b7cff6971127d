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
// What a written value is, for the table below.
enum class Kind { Bool, Number, Text, List, Map, Other };

Kind kindOf(QMetaType type)
{
    if (numberKind(type) != NumberKind::None)
        return Kind::Number;
    switch (type.id()) {
    case QMetaType::Bool:
        return Kind::Bool;
    case QMetaType::QString:
        return Kind::Text;
    case QMetaType::QVariantList:
    case QMetaType::QStringList:
        return Kind::List;
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash:
        return Kind::Map;
    default:
        return Kind::Other;
    }
}

enum class Rule {
    Refuse,
    Number,     // held exactly by the property's number type
    NumberText, // a number in C notation, without blanks, held exactly
    BoolText,   // "true" or "false"
    ListItems,  // any list; into a text list only when every item is a text
    RoundTrip,  // when it converts to the type and back to itself
};

// The one table of which writes a property takes: by the property's kind (rows) and
// the written value's kind (columns). README.md gives it to plugin authors.
constexpr Rule Rules[6][6] = {
    //              Bool              Number            Text                List               Map              Other
    /* Bool   */ {Rule::RoundTrip, Rule::Refuse,    Rule::BoolText,   Rule::Refuse,    Rule::Refuse,    Rule::RoundTrip},
    /* Number */ {Rule::Refuse,    Rule::Number,    Rule::NumberText, Rule::Refuse,    Rule::Refuse,    Rule::RoundTrip},
    /* Text   */ {Rule::RoundTrip, Rule::RoundTrip, Rule::RoundTrip,  Rule::Refuse,    Rule::Refuse,    Rule::RoundTrip},
    /* List   */ {Rule::Refuse,    Rule::Refuse,    Rule::Refuse,     Rule::ListItems, Rule::Refuse,    Rule::Refuse},
    /* Map    */ {Rule::Refuse,    Rule::Refuse,    Rule::Refuse,     Rule::Refuse,    Rule::RoundTrip, Rule::Refuse},
    /* Other  */ {Rule::RoundTrip, Rule::RoundTrip, Rule::RoundTrip,  Rule::RoundTrip, Rule::RoundTrip, Rule::RoundTrip},
};

bool convertRoundTrip(QVariant &value, QMetaType type)
{
    QVariant converted = value;
    if (!converted.convert(type))
        return false;
    QVariant back = converted;
    if (!back.convert(value.metaType()) || back != value)
        return false;
    value = converted;
    return true;
}

bool convertNumberText(QVariant &value, QMetaType type)
{
    const QString text = value.toString();
    if (text.isEmpty() || text.trimmed() != text)
        return false;
    bool ok = false;
    QVariant number = text.toLongLong(&ok);
    if (!ok)
        number = text.toULongLong(&ok);
    if (!ok)
        number = text.toDouble(&ok); // C notation: "1e3", "-0.5"; not "1,5"
    if (!ok || !convertNumberExactly(number, type))
        return false;
    value = number;
    return true;
}

bool convertListItems(QVariant &value, QMetaType type)
{
    const QVariantList items = value.toList();
    if (type.id() == QMetaType::QStringList) {
        QStringList texts;
        for (const QVariant &item : items) {
            if (item.metaType().id() != QMetaType::QString)
                return false;
            texts.append(item.toString());
        }
        value = texts;
        return true;
    }
    if (type.id() != QMetaType::QVariantList)
        return false;
    value = items;
    return true;
}
} // namespace

bool TuvoPropertyConversion::convertExactly(QVariant &value, QMetaType type)
{
    if (value.metaType() == type)
        return true;
    switch (Rules[int(kindOf(type))][int(kindOf(value.metaType()))]) {
    case Rule::Refuse:
        return false;
    case Rule::Number:
        return convertNumberExactly(value, type);
    case Rule::NumberText:
        return convertNumberText(value, type);
    case Rule::BoolText:
        if (value.toString() != QLatin1String("true") && value.toString() != QLatin1String("false"))
            return false;
        value = value.toString() == QLatin1String("true");
        return true;
    case Rule::ListItems:
        return convertListItems(value, type);
    case Rule::RoundTrip:
        return convertRoundTrip(value, type);
    }
    return false;
}
