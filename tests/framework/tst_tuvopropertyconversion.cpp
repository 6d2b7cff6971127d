#include "TuvoPropertyConversion.h"

#include <QStringList>
#include <QTest>

#include <cmath>
#include <limits>

// Which written values a declared property takes, and as what: every value a client may
// send is taken when the property's type holds it without loss, and refused otherwise,
// never rounded, wrapped or guessed.
class tst_TuvoPropertyConversion : public QObject
{
    Q_OBJECT

    // \a type is a value of the property's type; an invalid \a stored means refused.
    static void row(const char *tag, const QVariant &value, const QVariant &type, const QVariant &stored)
    {
        QTest::newRow(tag) << value << type.metaType() << stored;
    }

private Q_SLOTS:
    void convertExactly_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QMetaType>("type");
        QTest::addColumn<QVariant>("stored");
        const QVariant Int(7), UInt(7u), Byte = QVariant::fromValue<uchar>(7), Int64(qlonglong(7)),
            UInt64(qulonglong(7)), Double(0.5), Float(0.5f), Bool(false), String(QStringLiteral("s")),
            List(QStringList{QStringLiteral("a")}), Items(QVariantList{}), Map(QVariantMap{}), Refused;
        const double twoTo63 = std::ldexp(1.0, 63);

        // gdbus writes 55 as an int32; other clients pick other widths.
        row("int32 to int", 55, Int, 55);
        row("uint32 to int", 55u, Int, 55);
        row("byte to int", QVariant::fromValue<uchar>(55), Int, 55);
        row("negative int64 to int", qlonglong(-5), Int, -5);
        row("whole double to int", 55.0, Int, 55);
        row("int to double", 3, Double, 3.0);
        row("int to float", 3, Float, 3.0f);
        row("whole double to uint64", twoTo63, UInt64, qulonglong(1) << 63);
        row("plain text to int", QStringLiteral("30"), Int, 30);
        row("text true to bool", QStringLiteral("true"), Bool, true);
        row("text list to list", QStringList{QStringLiteral("x")}, List, QStringList{QStringLiteral("x")});
        row("same type", QStringLiteral("x"), String, QStringLiteral("x"));
        row("exponent text to double", QStringLiteral("1e3"), Double, 1000.0);
        row("exponent text to int", QStringLiteral("1e3"), Int, 1000);
        row("negative text to double", QStringLiteral("-0.5"), Double, -0.5);
        row("map to map", QVariantMap{{QStringLiteral("k"), 1}}, Map, QVariantMap{{QStringLiteral("k"), 1}});
        row("texts in a list to text list", QVariantList{QStringLiteral("a")}, List, QStringList{QStringLiteral("a")});
        row("text list to list", QStringList{QStringLiteral("a")}, Items, QVariantList{QStringLiteral("a")});

        // Rounded, truncated or wrapped numbers.
        row("fraction to int", 55.7, Int, Refused);
        row("uint32 max to int", 4294967295u, Int, Refused);
        row("int64 beyond int", qlonglong(1) << 32 | 5, Int, Refused);
        row("negative to uint", -1, UInt, Refused);
        row("negative double to uint", -1.0, UInt, Refused);
        row("300 to byte", 300, Byte, Refused);
        row("2^63 to int64", qulonglong(1) << 63, Int64, Refused);
        row("2^64 to uint64", std::ldexp(1.0, 64), UInt64, Refused);
        row("huge double to int", 1e300, Int, Refused);
        row("nan to int", std::nan(""), Int, Refused);
        row("1e300 to float", 1e300, Float, Refused);
        row("uint64 max to double", std::numeric_limits<qulonglong>::max(), Double, Refused);
        row("2^53+1 to double", (qlonglong(1) << 53) + 1, Double, Refused);
        row("0.1 to float", 0.1, Float, Refused);

        // Values of other kinds that would change on the way.
        row("no to bool", QStringLiteral("no"), Bool, Refused);
        row("2 to bool", 2, Bool, Refused);
        row("loud to int", QStringLiteral("loud"), Int, Refused);
        row("padded text to int", QStringLiteral(" 30"), Int, Refused);
        row("fraction text to int", QStringLiteral("55.5"), Int, Refused);
        row("true to int", true, Int, Refused);
        row("0 to bool", 0, Bool, Refused);
        row("1 to bool", 1, Bool, Refused);
        row("text 1 to bool", QStringLiteral("1"), Bool, Refused);
        row("nan text to double", QStringLiteral("nan"), Double, Refused);
        row("comma text to double", QStringLiteral("1,5"), Double, Refused);
        row("number in a list to text list", QVariantList{QStringLiteral("a"), 1}, List, Refused);
        row("list to map", QVariantList{1}, Map, Refused);
        row("one text in a list to string", QStringList{QStringLiteral("a")}, String, Refused);
        row("two texts to string", QStringList{QStringLiteral("a"), QStringLiteral("b")}, String, Refused);
    }
    void convertExactly()
    {
        QFETCH(QVariant, value);
        QFETCH(QMetaType, type);
        QFETCH(QVariant, stored);
        QCOMPARE(TuvoPropertyConversion::convertExactly(value, type), stored.isValid());
        if (stored.isValid()) {
            QCOMPARE(value.metaType(), type);
            QCOMPARE(value, stored);
        }
    }
};

QTEST_GUILESS_MAIN(tst_TuvoPropertyConversion)
#include "tst_tuvopropertyconversion.moc"
