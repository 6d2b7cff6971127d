#include "TuvoClientValue.h"

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

// Typed values from text, and received values without their D-Bus wrappers.
class tst_TuvoClientValue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("string") << "50" << "string" << QVariant(QStringLiteral("50"));
        QTest::newRow("int") << "-50" << "int" << QVariant(-50);
        QTest::newRow("int hex") << "0x10" << "int" << QVariant(16);
        QTest::newRow("uint") << "4294967295" << "uint" << QVariant(4294967295u);
        QTest::newRow("int64") << "-9223372036854775808" << "int64"
                               << QVariant(qlonglong(std::numeric_limits<qint64>::min()));
        QTest::newRow("uint64") << "18446744073709551615" << "uint64"
                                << QVariant(qulonglong(std::numeric_limits<quint64>::max()));
        QTest::newRow("byte") << "255" << "byte" << QVariant::fromValue(uchar(255));
        QTest::newRow("int16") << "-32768" << "int16" << QVariant::fromValue(short(-32768));
        QTest::newRow("uint16") << "65535" << "uint16" << QVariant::fromValue(ushort(65535));
        QTest::newRow("double") << "0.25" << "double" << QVariant(0.25);
        QTest::newRow("bool true") << "true" << "bool" << QVariant(true);
        QTest::newRow("bool yes") << "Yes" << "bool" << QVariant(true);
        QTest::newRow("bool 0") << "0" << "bool" << QVariant(false);
        QTest::newRow("object path") << "/a/b" << "object-path" << QVariant::fromValue(QDBusObjectPath("/a/b"));
        QTest::newRow("int too big") << "2147483648" << "int" << QVariant();
        QTest::newRow("uint negative") << "-1" << "uint" << QVariant();
        QTest::newRow("byte too big") << "256" << "byte" << QVariant();
        QTest::newRow("int not a number") << "5x" << "int" << QVariant();
        QTest::newRow("bool not a bool") << "maybe" << "bool" << QVariant();
        QTest::newRow("double not a number") << "fast" << "double" << QVariant();
        QTest::newRow("bad object path") << "a/b" << "object-path" << QVariant();
        QTest::newRow("unknown type") << "1" << "float" << QVariant();
    }

    void parses()
    {
        QFETCH(QString, text);
        QFETCH(QString, type);
        QFETCH(QVariant, expected);
        QString error;
        const QVariant value = TuvoClientValue::parse(text, type, &error);
        QCOMPARE(value.metaType(), expected.metaType());
        QCOMPARE(value, expected);
        QCOMPARE(error.isEmpty(), expected.isValid());
        if (expected.isValid())
            QCOMPARE(TuvoClientValue::typeName(value), type);
    }

    void parsesAsTheTypeItHolds()
    {
        QCOMPARE(TuvoClientValue::parseAs(QStringLiteral("40"), QVariant(80)), QVariant(40));
        QCOMPARE(TuvoClientValue::parseAs(QStringLiteral("false"), QVariant(true)), QVariant(false));
        QString error;
        QVERIFY(!TuvoClientValue::parseAs(QStringLiteral("1"), QVariant(QVariantList{1}), &error).isValid());
        QVERIFY(error.contains(QLatin1String("list")));
    }

    void namesTypes()
    {
        QCOMPARE(TuvoClientValue::typeName(QVariant()), QStringLiteral("none"));
        QCOMPARE(TuvoClientValue::typeName(QVariant(QStringList())), QStringLiteral("list"));
        QCOMPARE(TuvoClientValue::typeName(QVariant(QVariantMap())), QStringLiteral("map"));
        QCOMPARE(TuvoClientValue::typeName(QVariant::fromValue(QChar(QLatin1Char('c')))), QStringLiteral("char"));
    }
};

QTEST_APPLESS_MAIN(tst_TuvoClientValue)
#include "tst_tuvoclientvalue.moc"
