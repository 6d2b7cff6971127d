#include "ActivityMonitor.h"
#include "TestScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

// Device activity from a screensaver of the test's own on the private bus.
class tst_ActivityMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutScreenSaver_data()
    {
        QTest::addColumn<bool>("startedByBus");
        QTest::addColumn<ActivityMonitor::Activity>("expected");
        QTest::newRow("started by hand") << false << ActivityMonitor::Active;
        QTest::newRow("started by the bus") << true << ActivityMonitor::Inactive;
    }
    void withoutScreenSaver()
    {
        QFETCH(bool, startedByBus);
        QFETCH(ActivityMonitor::Activity, expected);
        ActivityMonitor monitor(QDBusConnection::sessionBus(), nullptr,
                                startedByBus ? ActivityMonitor::WithoutScreenSaver::CountAsInactive
                                             : ActivityMonitor::WithoutScreenSaver::CountAsActive);
        QSignalSpy changes(&monitor, &ActivityMonitor::activityChanged);
        QCOMPARE(monitor.get(), ActivityMonitor::Active);
        // The question to an absent screensaver gets its error.
        QTest::qWait(100);
        QCOMPARE(monitor.get(), expected);
        QCOMPARE(changes.count(), expected == ActivityMonitor::Active ? 0 : 1);
        // A screensaver that comes and goes leaves the same rule behind.
        TestScreenSaver screensaver(false);
        QVERIFY(screensaver.appear());
        QTRY_COMPARE(monitor.get(), ActivityMonitor::Active);
        screensaver.leave();
        QTRY_COMPARE(monitor.get(), expected);
    }

    void screenSaverAlreadyActive()
    {
        TestScreenSaver screensaver(true);
        QVERIFY(screensaver.appear());
        ActivityMonitor monitor(nullptr);
        QSignalSpy changes(&monitor, &ActivityMonitor::activityChanged);
        QTRY_COMPARE(monitor.get(), ActivityMonitor::Inactive);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first().first().value<ActivityMonitor::Activity>(), ActivityMonitor::Inactive);
        QCOMPARE(screensaver.getActiveCalls(), 1);
    }

    void followsActiveChanged()
    {
        TestScreenSaver screensaver(false);
        QVERIFY(screensaver.appear());
        ActivityMonitor monitor(nullptr);
        QSignalSpy changes(&monitor, &ActivityMonitor::activityChanged);
        QTRY_COMPARE(screensaver.getActiveCalls(), 1);
        screensaver.setActive(true);
        QTRY_COMPARE(monitor.get(), ActivityMonitor::Inactive);
        screensaver.setActive(false);
        QTRY_COMPARE(monitor.get(), ActivityMonitor::Active);
        screensaver.setActive(false); // no change, no signal
        screensaver.setActive(true);
        QTRY_COMPARE(changes.count(), 3);
    }

    void followsTheScreenSaverComingAndGoing()
    {
        ActivityMonitor monitor(nullptr);
        QSignalSpy changes(&monitor, &ActivityMonitor::activityChanged);
        {
            TestScreenSaver screensaver(true);
            QVERIFY(screensaver.appear());
            QTRY_COMPARE(monitor.get(), ActivityMonitor::Inactive);
            screensaver.leave();
            // Nobody stops the device any more.
            QTRY_COMPARE(monitor.get(), ActivityMonitor::Active);
        }
        TestScreenSaver another(true);
        QVERIFY(another.appear());
        QTRY_COMPARE(monitor.get(), ActivityMonitor::Inactive);
        QCOMPARE(changes.count(), 3);
    }

    void signalsOfOtherSendersAreIgnored()
    {
        TestScreenSaver screensaver(false);
        QVERIFY(screensaver.appear());
        ActivityMonitor monitor(nullptr);
        QTRY_COMPARE(screensaver.getActiveCalls(), 1);
        // Somebody else on the bus who merely claims to be a screensaver.
        QDBusMessage fake = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                       QStringLiteral("org.freedesktop.ScreenSaver"),
                                                       QStringLiteral("ActiveChanged"));
        fake << true;
        QSignalSpy changes(&monitor, &ActivityMonitor::activityChanged);
        QVERIFY(QDBusConnection::sessionBus().send(fake));
        // A grace period for a wrong change to show; nothing may happen.
        QTest::qWait(200);
        QCOMPARE(monitor.get(), ActivityMonitor::Active);
        QCOMPARE(changes.count(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_ActivityMonitor)
#include "tst_activitymonitor.moc"
