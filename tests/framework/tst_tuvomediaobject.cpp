#include "TuvoPropertyConversion.h"

#include <TuvoMediaObject.h>

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {
class Object : public TuvoMediaObject
{
    Q_OBJECT
public:
    Object()
        : TuvoMediaObject(QStringLiteral("u"), QStringLiteral("P"), QStringLiteral("N"))
    {
        declareProperty(QStringLiteral("volume"), 50);
        declareProperty(QStringLiteral("title"), QStringLiteral("t"));
        declareProperty(QStringLiteral("serial"), QStringLiteral("S1"), false);
    }
    using TuvoMediaObject::updateDeclaredProperty;
    QList<QPair<QString, QVariant>> answers;

public Q_SLOTS:
    void answer(const QString &name, const QVariant &value) { answers.append({name, value}); }

protected:
    bool acceptPropertyWrite(const QString &name, const QVariant &value) override
    {
        return name != QLatin1String("volume") || (value.toInt() >= 0 && value.toInt() <= 100);
    }
};
} // namespace

// The declared-property store that plugin objects may use for their extension properties,
// and which written values a declared property takes, and as what: every value a client
// may send is taken when the property's type holds it without loss, and refused otherwise,
// never rounded, wrapped or guessed.
class tst_TuvoMediaObject : public QObject
{
    Q_OBJECT

    // \a type is a value of the property's type; an invalid \a stored means refused.
    static void row(const char *tag, const QVariant &value, const QVariant &type, const QVariant &stored)
    {
        QTest::newRow(tag) << value << type.metaType() << stored;
    }

private Q_SLOTS:
    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored"); // invalid: refused, the old value kept
        const QVariant Refused;
        QTest::newRow("int") << "volume" << QVariant(70) << QVariant(70);
        // Converted to the property's type before the check, the store and the signal.
        QTest::newRow("uint32 to int") << "volume" << QVariant(70u) << QVariant(70);
        QTest::newRow("not convertible") << "volume" << QVariant(QStringLiteral("loud")) << Refused;
        QTest::newRow("vetoed") << "volume" << QVariant(101) << Refused;
        QTest::newRow("read-only") << "serial" << QVariant(QStringLiteral("S2")) << Refused;
        QTest::newRow("unknown") << "nope" << QVariant(1) << Refused;
        QTest::newRow("invalid value") << "title" << QVariant() << Refused;
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        Object object;
        const QVariant before = object.declaredPropertyValue(name);
        QSignalSpy changes(&object, &TuvoMediaObject::tuvoPropertyChanged);
        QCOMPARE(object.setExtensionProperty(name, value), stored.isValid());
        const QVariant now = object.declaredPropertyValue(name);
        QCOMPARE(now, stored.isValid() ? stored : before);
        QCOMPARE(now.metaType(), before.metaType());
        QCOMPARE(changes.count(), stored.isValid() ? 1 : 0);
        if (stored.isValid())
            QCOMPARE(changes.first(), (QVariantList{name, stored}));
    }

    void sameValueAnnouncesNothing()
    {
        Object object;
        QSignalSpy changes(&object, &TuvoMediaObject::tuvoPropertyChanged);
        QVERIFY(object.setExtensionProperty(QStringLiteral("volume"), 50));
        QCOMPARE(changes.count(), 0);
        QVERIFY(object.updateDeclaredProperty(QStringLiteral("serial"), QStringLiteral("S9")));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first().at(1), QVariant(QStringLiteral("S9")));
    }

    void readsAnswerInsideTheCall()
    {
        Object object;
        QVERIFY(object.requestExtensionProperty(QStringLiteral("volume"), &object, SLOT(answer(QString,QVariant))));
        QCOMPARE(object.answers, (QList<QPair<QString, QVariant>>{{QStringLiteral("volume"), 50}}));
        QVERIFY(!object.requestExtensionProperty(QStringLiteral("nope"), &object, SLOT(answer(QString,QVariant))));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not found")));
        QVERIFY(!object.requestExtensionProperty(QStringLiteral("volume"), &object, SLOT(missing(QString,QVariant))));
        QCOMPARE(object.answers.size(), 1);
        QCOMPARE(object.declaredProperties(),
                 (QStringList{QStringLiteral("serial"), QStringLiteral("title"), QStringLiteral("volume")}));
    }

    void convertExactly_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QMetaType>("type");
        QTest::addColumn<QVariant>("stored");
        const QVariant Int(7), UInt(7u), Byte = QVariant::fromValue<uchar>(7), Int64(qlonglong(7)),
            UInt64(qulonglong(7)), Double(0.5), Float(0.5f), Bool(false), String(QStringLiteral("s")),
            List(QStringList{QStringLiteral("a")}), Items(QVariantList{}), Refused;
        const double twoTo63 = std::ldexp(1.0, 63);

        // gdbus writes 55 as an int32; other clients pick other widths.
        row("int32 to int", 55, Int, 55);
        row("negative int64 to int", qlonglong(-5), Int, -5);
        row("whole double to int", 55.0, Int, 55);
        row("int to float", 3, Float, 3.0f);
        row("whole double to uint64", twoTo63, UInt64, qulonglong(1) << 63);
        row("plain text to int", QStringLiteral("30"), Int, 30);
        row("text true to bool", QStringLiteral("true"), Bool, true);
        row("exponent text to double", QStringLiteral("1e3"), Double, 1000.0);
        row("exponent text to int", QStringLiteral("1e3"), Int, 1000);
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
        row("uint64 max to double", std::numeric_limits<qulonglong>::max(), Double, Refused);
        row("2^53+1 to double", (qlonglong(1) << 53) + 1, Double, Refused);
        row("0.1 to float", 0.1, Float, Refused);
        row("1e300 to float", 1e300, Float, Refused);

        // Values of other kinds that would change on the way.
        row("no to bool", QStringLiteral("no"), Bool, Refused);
        // 0 and 1 convert to a bool and back unchanged, yet a number is never a bool.
        row("0 to bool", 0, Bool, Refused);
        row("2 to bool", 2, Bool, Refused);
        row("loud to int", QStringLiteral("loud"), Int, Refused);
        row("padded text to int", QStringLiteral(" 30"), Int, Refused);
        row("fraction text to int", QStringLiteral("55.5"), Int, Refused);
        row("true to int", true, Int, Refused);
        row("nan text to double", QStringLiteral("nan"), Double, Refused);
        row("number in a list to text list", QVariantList{QStringLiteral("a"), 1}, List, Refused);
        row("one text in a list to string", QStringList{QStringLiteral("a")}, String, Refused);
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

QTEST_GUILESS_MAIN(tst_TuvoMediaObject)
#include "tst_tuvomediaobject.moc"
