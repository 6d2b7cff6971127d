#include <TuvoCallback.h>
#include <TuvoMediaInfo.h>

#include <QTest>

namespace {
class Receiver : public QObject
{
    Q_OBJECT
public:
    QVariantList last;
    int calls = 0;

public Q_SLOTS:
    void position(uint value) { record({value}); }
    void status(QString playlist, uint index, int state, QString object)
    {
        record({playlist, index, state, object});
    }
    void mediaInfo(const TuvoMediaInfo &info) { record({QVariant::fromValue(info)}); }
    void result(uint id, QString object, QMap<QString, QVariant> meta, uint index, int remaining)
    {
        record({id, object, meta, index, remaining});
    }
    void nothing() { record({}); }

Q_SIGNALS:
    void aSignal(uint value);

private:
    void record(const QVariantList &args)
    {
        last = args;
        ++calls;
    }
};
} // namespace

// The asynchronous answer channel: member texts in, checked calls out.
class tst_TuvoCallback : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resolvesMemberTexts_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<bool>("valid");
        QTest::newRow("slot marker") << QByteArray("1position(uint)") << true;
        QTest::newRow("SLOT() macro") << QByteArray(SLOT(position(uint))) << true;
        QTest::newRow("no marker") << QByteArray("position(uint)") << true;
        QTest::newRow("blanks") << QByteArray("1position( uint )") << true;
        QTest::newRow("const ref normalised") << QByteArray("1position(const uint&)") << true;
        QTest::newRow("unknown slot") << QByteArray("1positionCallback(uint)") << false;
        QTest::newRow("other parameter type") << QByteArray("1position(int)") << false;
        QTest::newRow("other parameter count") << QByteArray("1nothing()") << false;
        QTest::newRow("a signal") << QByteArray("2aSignal(uint)") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void resolvesMemberTexts()
    {
        QFETCH(QByteArray, member);
        QFETCH(bool, valid);
        Receiver receiver;
        if (!valid)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("callback")));
        const TuvoCallback callback = TuvoCallback::resolve<uint>(&receiver, member.constData());
        QCOMPARE(callback.isValid(), valid);
        QCOMPARE(callback.invoke(7u), valid);
        QCOMPARE(receiver.calls, valid ? 1 : 0);
    }

    void invokePassesEveryArgument()
    {
        Receiver receiver;
        const TuvoCallback status = TuvoCallback::resolve<QString, uint, int, QString>(
            &receiver, "1status(QString,uint,int,QString)");
        QVERIFY(status.invoke(QStringLiteral("list"), 3u, -2, QStringLiteral("obj")));
        QCOMPARE(receiver.last, (QVariantList{QStringLiteral("list"), 3u, -2, QStringLiteral("obj")}));

        const QVariantMap meta{{QStringLiteral("title"), QStringLiteral("x")}};
        const TuvoCallback result = TuvoCallback::resolve<uint, QString, QVariantMap, uint, int>(
            &receiver, "1result(uint,QString,QMap<QString,QVariant>,uint,int)");
        QVERIFY(result.invoke(9u, QStringLiteral("o"), meta, 1u, 0));
        QCOMPARE(receiver.last.at(2).toMap(), meta);

        TuvoMediaInfo info(QStringLiteral("id"));
        info.setMetaData(QStringLiteral("k"), {1, QStringLiteral("v")});
        const TuvoCallback media =
            TuvoCallback::resolve<TuvoMediaInfo>(&receiver, "1mediaInfo(const TuvoMediaInfo&)");
        QVERIFY(media.invoke(info));
        QCOMPARE(receiver.last.at(0).value<TuvoMediaInfo>(), info);

        const TuvoCallback none = TuvoCallback::resolve<>(&receiver, "1nothing()");
        QVERIFY(none.invoke());
        QCOMPARE(receiver.calls, 4);
    }

    void invokeWithOtherTypesIsRefused()
    {
        Receiver receiver;
        const TuvoCallback callback = TuvoCallback::resolve<uint>(&receiver, "1position(uint)");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("other types")));
        QVERIFY(!callback.invoke(7));
        QCOMPARE(receiver.calls, 0);
    }

    void vanishedReceiverIsNotCalled()
    {
        auto *receiver = new Receiver;
        const TuvoCallback callback = TuvoCallback::resolve<uint>(receiver, "1position(uint)");
        QVERIFY(callback.isAlive());
        delete receiver;
        QVERIFY(callback.isValid());
        QVERIFY(!callback.isAlive());
        QVERIFY(!callback.invoke(1u));
        QVERIFY(!TuvoCallback().isValid());
        QVERIFY(!TuvoCallback().invoke());
    }
};

QTEST_GUILESS_MAIN(tst_TuvoCallback)
#include "tst_tuvocallback.moc"
