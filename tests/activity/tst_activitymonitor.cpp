#include "ActivityMonitor.h"
#include "TestScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// Device activity from a screensaver of the test's own on the private bus, driven by
// scripts: "m" starts the monitor as a wrapper started by hand, "bm" as one the bus started; "on1"/"on0" bring the screensaver onto the bus,
// active or not; "1"/"0" make it emit ActiveChanged; "off" takes it off the bus; "fake"
// sends ActiveChanged(true) from somebody else who merely claims to be a screensaver.
class tst_ActivityMonitor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void script_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("states"); // after each step: A active, I inactive, - no monitor yet
        QTest::addColumn<int>("changes");
        QTest::addColumn<int>("questions"); // GetActive calls the screensaver answered
        // The question to an absent screensaver gets its error; nothing changes.
        QTest::newRow("no screensaver") << "m" << "A" << 0 << 0;
        QTest::newRow("already active") << "on1 m" << "-I" << 1 << 1;
        QTest::newRow("follows ActiveChanged") << "on0 m 1 0 0 1" << "-AIAAI" << 3 << 1;
        // Nobody stops the device once the screensaver has gone.
        QTest::newRow("comes and goes") << "m on1 off on1" << "AIAI" << 3 << 2;
        QTest::newRow("other senders ignored") << "on0 m fake" << "-AA" << 0 << 1;
        // Started by the bus, a wrapper counts a missing screensaver as idle.
        QTest::newRow("no screensaver, started by the bus") << "bm" << "I" << 1 << 0;
        QTest::newRow("comes and goes, started by the bus") << "bm on0 off" << "IAI" << 3 << 1;
    }
    void script()
    {
        QFETCH(QString, script);
        QFETCH(QString, states);
        QFETCH(int, changes);
        QFETCH(int, questions);
        TestScreenSaver screensaver;
        std::unique_ptr<ActivityMonitor> monitor;
        std::unique_ptr<QSignalSpy> spy;
        auto state = [&] {
            return !monitor ? QLatin1Char('-')
                            : QLatin1Char(monitor->get() == ActivityMonitor::Active ? 'A' : 'I');
        };
        const QStringList steps = script.split(QLatin1Char(' '));
        for (int i = 0; i < steps.size(); ++i) {
            const QString &step = steps.at(i);
            if (step.endsWith(QLatin1Char('m'))) {
                monitor = std::make_unique<ActivityMonitor>(
                    QDBusConnection::sessionBus(), nullptr,
                    step == QLatin1String("bm") ? ActivityMonitor::WithoutScreenSaver::CountAsInactive
                                                : ActivityMonitor::WithoutScreenSaver::CountAsActive);
                spy = std::make_unique<QSignalSpy>(monitor.get(), &ActivityMonitor::activityChanged);
                if (screensaver.isOnBus())
                    QTRY_VERIFY(screensaver.getActiveCalls() > 0);
            } else if (step.startsWith(QLatin1String("on"))) {
                screensaver.setActive(step.endsWith(QLatin1Char('1')));
                QVERIFY(screensaver.appear());
            } else if (step == QLatin1String("off")) {
                screensaver.leave();
            } else if (step == QLatin1String("fake")) {
                QDBusMessage fake = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/ScreenSaver"),
                                                               QStringLiteral("org.freedesktop.ScreenSaver"),
                                                               QStringLiteral("ActiveChanged"));
                QVERIFY(QDBusConnection::sessionBus().send(fake << true));
            } else {
                screensaver.setActive(step == QLatin1String("1"));
            }
            QTRY_COMPARE(state(), states.at(i));
        }
        // A grace period for a wrong change to show.
        QTest::qWait(200);
        QCOMPARE(state(), states.back());
        QCOMPARE(spy->count(), changes);
        if (changes > 0)
            QCOMPARE(spy->last().first().value<ActivityMonitor::Activity>(), monitor->get());
        QCOMPARE(screensaver.getActiveCalls(), questions);
    }
};

QTEST_GUILESS_MAIN(tst_ActivityMonitor)
#include "tst_activitymonitor.moc"
