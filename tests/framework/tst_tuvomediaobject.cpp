#include <TuvoMediaObject.h>

#include <QSignalSpy>
#include <QTest>

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
        QTest::newRow("converted") << "volume" << QVariant(QStringLiteral("30")) << true << QVariant(30);
        QTest::newRow("vetoed") << "volume" << QVariant(101) << false << QVariant(50);
        QTest::newRow("not convertible") << "volume" << QVariant(QStringLiteral("loud")) << false << QVariant(50);
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
