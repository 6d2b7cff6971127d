#include <TuvoMediaObject.h>

#include <QSignalSpy>
#include <QStringList>
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

protected:
    bool acceptPropertyWrite(const QString &name, const QVariant &value) override
    {
        return name != QLatin1String("volume") || (value.toInt() >= 0 && value.toInt() <= 100);
    }
};

// One declared property of each type a client may write.
class TypedObject : public TuvoMediaObject
{
    Q_OBJECT
public:
    TypedObject()
        : TuvoMediaObject(QStringLiteral("u"), QStringLiteral("P"), QStringLiteral("N"))
    {
        declareProperty(QStringLiteral("int"), 7);
        declareProperty(QStringLiteral("uint"), 7u);
        declareProperty(QStringLiteral("byte"), QVariant::fromValue<uchar>(7));
        declareProperty(QStringLiteral("int64"), qlonglong(7));
        declareProperty(QStringLiteral("uint64"), qulonglong(7));
        declareProperty(QStringLiteral("double"), 0.5);
        declareProperty(QStringLiteral("float"), 0.5f);
        declareProperty(QStringLiteral("bool"), false);
        declareProperty(QStringLiteral("string"), QStringLiteral("s"));
        declareProperty(QStringLiteral("list"), QStringList{QStringLiteral("a")});
    }
};

class Reader : public QObject
{
    Q_OBJECT
public:
    QList<QPair<QString, QVariant>> answers;
public Q_SLOTS:
    void answer(const QString &name, const QVariant &value) { answers.append({name, value}); }
};
} // namespace

// The declared-property store that plugin objects may use for their extension properties.
class tst_TuvoMediaObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("int") << "volume" << QVariant(70) << true << QVariant(70);
        QTest::newRow("vetoed") << "volume" << QVariant(101) << false << QVariant(50);
        QTest::newRow("read-only") << "serial" << QVariant(QStringLiteral("S2")) << false << QVariant(QStringLiteral("S1"));
        QTest::newRow("unknown") << "nope" << QVariant(1) << false << QVariant();
        QTest::newRow("invalid value") << "title" << QVariant() << false << QVariant(QStringLiteral("t"));
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(bool, accepted);
        QFETCH(QVariant, stored);
        Object object;
        QSignalSpy changes(&object, &TuvoMediaObject::tuvoPropertyChanged);
        QCOMPARE(object.setExtensionProperty(name, value), accepted);
        QCOMPARE(object.declaredPropertyValue(name), stored);
        QCOMPARE(stored.metaType(), object.declaredPropertyValue(name).metaType());
        QCOMPARE(changes.count(), accepted ? 1 : 0);
    }

    // Which written values the store takes, and as what: every value a client may send
    // is taken when the property's type holds it without loss, and refused otherwise,
    // never rounded, wrapped or guessed.
    void conversions_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("stored"); // invalid: refused

        const double twoTo63 = std::ldexp(1.0, 63);
        const double twoTo64 = std::ldexp(1.0, 64);
        const qulonglong maxU64 = std::numeric_limits<qulonglong>::max();

        // gdbus writes 55 as an int32; other clients pick other widths.
        QTest::newRow("int32 to int") << "int" << QVariant(55) << QVariant(55);
        QTest::newRow("uint32 to int") << "int" << QVariant(55u) << QVariant(55);
        QTest::newRow("byte to int") << "int" << QVariant::fromValue<uchar>(55) << QVariant(55);
        QTest::newRow("negative int64 to int") << "int" << QVariant(qlonglong(-5)) << QVariant(-5);
        QTest::newRow("whole double to int") << "int" << QVariant(55.0) << QVariant(55);
        QTest::newRow("int to double") << "double" << QVariant(3) << QVariant(3.0);
        QTest::newRow("int to float") << "float" << QVariant(3) << QVariant(3.0f);
        QTest::newRow("whole double to uint64") << "uint64" << QVariant(twoTo63) << QVariant(qulonglong(1) << 63);
        QTest::newRow("plain text to int") << "int" << QVariant(QStringLiteral("30")) << QVariant(30);
        QTest::newRow("text true to bool") << "bool" << QVariant(QStringLiteral("true")) << QVariant(true);
        QTest::newRow("text list to list") << "list" << QVariant(QStringList{QStringLiteral("x")})
                                           << QVariant(QStringList{QStringLiteral("x")});

        // Rounded, truncated or wrapped numbers.
        QTest::newRow("fraction to int") << "int" << QVariant(55.7) << QVariant();
        QTest::newRow("uint32 max to int") << "int" << QVariant(4294967295u) << QVariant();
        QTest::newRow("int64 beyond int") << "int" << QVariant(qlonglong(1) << 32 | 5) << QVariant();
        QTest::newRow("negative to uint") << "uint" << QVariant(-1) << QVariant();
        QTest::newRow("negative double to uint") << "uint" << QVariant(-1.0) << QVariant();
        QTest::newRow("300 to byte") << "byte" << QVariant(300) << QVariant();
        QTest::newRow("2^63 to int64") << "int64" << QVariant(qulonglong(1) << 63) << QVariant();
        QTest::newRow("2^64 to uint64") << "uint64" << QVariant(twoTo64) << QVariant();
        QTest::newRow("huge double to int") << "int" << QVariant(1e300) << QVariant();
        QTest::newRow("nan to int") << "int" << QVariant(std::nan("")) << QVariant();
        QTest::newRow("1e300 to float") << "float" << QVariant(1e300) << QVariant();
        QTest::newRow("uint64 max to double") << "double" << QVariant(maxU64) << QVariant();
        QTest::newRow("2^53+1 to double") << "double" << QVariant((qlonglong(1) << 53) + 1) << QVariant();
        QTest::newRow("0.1 to float") << "float" << QVariant(0.1) << QVariant();

        // Values of other kinds that would change on the way.
        QTest::newRow("no to bool") << "bool" << QVariant(QStringLiteral("no")) << QVariant();
        QTest::newRow("2 to bool") << "bool" << QVariant(2) << QVariant();
        QTest::newRow("loud to int") << "int" << QVariant(QStringLiteral("loud")) << QVariant();
        QTest::newRow("padded text to int") << "int" << QVariant(QStringLiteral(" 30")) << QVariant();
        QTest::newRow("fraction text to int") << "int" << QVariant(QStringLiteral("55.5")) << QVariant();
        QTest::newRow("two texts to string") << "string"
                                             << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")})
                                             << QVariant();
    }
    void conversions()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(QVariant, stored);
        TypedObject object;
        const QVariant before = object.declaredPropertyValue(property);
        QSignalSpy changes(&object, &TuvoMediaObject::tuvoPropertyChanged);

        QCOMPARE(object.setExtensionProperty(property, value), stored.isValid());
        const QVariant now = object.declaredPropertyValue(property);
        QCOMPARE(now.metaType(), before.metaType());
        QCOMPARE(now, stored.isValid() ? stored : before);
        QCOMPARE(changes.count(), stored.isValid() ? 1 : 0);
        if (stored.isValid())
            QCOMPARE(changes.first().at(1).metaType(), before.metaType());
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
        Reader reader;
        QVERIFY(object.requestExtensionProperty(QStringLiteral("volume"), &reader,
                                                SLOT(answer(QString,QVariant))));
        QCOMPARE(reader.answers.size(), 1);
        QCOMPARE(reader.answers.first().first, QStringLiteral("volume"));
        QCOMPARE(reader.answers.first().second, QVariant(50));
        QVERIFY(!object.requestExtensionProperty(QStringLiteral("nope"), &reader,
                                                 SLOT(answer(QString,QVariant))));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not found")));
        QVERIFY(!object.requestExtensionProperty(QStringLiteral("volume"), &reader,
                                                 SLOT(missing(QString,QVariant))));
        QCOMPARE(reader.answers.size(), 1);
        QCOMPARE(object.declaredProperties(),
                 (QStringList{QStringLiteral("serial"), QStringLiteral("title"), QStringLiteral("volume")}));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMediaObject)
#include "tst_tuvomediaobject.moc"
