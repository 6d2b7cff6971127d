#include <TuvoSendThrottle.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTest>

// The bound on batches the bus daemon has not taken yet must never turn into a hang.
class tst_TuvoSendThrottle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void waitsOnlyForTheDaemon_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("live bus") << true;
        QTest::newRow("no connection") << false;
    }

    void waitsOnlyForTheDaemon()
    {
        QFETCH(bool, connected);
        const QDBusConnection bus = connected ? QDBusConnection::sessionBus() : QDBusConnection(QString());
        QCOMPARE(bus.isConnected(), connected);
        TuvoSendThrottle throttle;
        // Enough batches to fill the window several times over; each wait ends when
        // the daemon answers, or at once without a connection.
        for (int i = 0; i < TuvoSendThrottle::ProbeEvery * TuvoSendThrottle::MaxProbes * 4; ++i)
            throttle.sent(bus);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoSendThrottle)
#include "tst_tuvosendthrottle.moc"
