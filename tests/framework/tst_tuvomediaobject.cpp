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

// The declared-property store that plugin objects may use for their extension properties.
class tst_TuvoMediaObject : public QObject
{
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(tst_TuvoMediaObject)
#include "tst_tuvomediaobject.moc"
