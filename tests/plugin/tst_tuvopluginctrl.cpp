#include "TuvoPluginController.h"

#include <QSignalSpy>
#include <QTest>

// The controller's states (waiting, active, idle) and its two edge signals, driven by
// scripts of client calls: "+a" is an activate by client "a", "-a" its deactivate.
class tst_TuvoPluginController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void script_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("activations");
        QTest::addColumn<int>("deactivations");
        QTest::addColumn<QStringList>("activators");
        QTest::addColumn<bool>("active");
        // Before the first activation there is nobody to lose.
        QTest::newRow("waiting") << "-:1.7" << 0 << 0 << QStringList() << true;
        QTest::newRow("first activation") << "+a" << 1 << 0 << QStringList{"a"} << true;
        QTest::newRow("same client listed once") << "+a +a" << 1 << 0 << QStringList{"a"} << true;
        QTest::newRow("one of two leaves") << "+a +b -a" << 1 << 0 << QStringList{"b"} << true;
        QTest::newRow("last one leaves") << "+a +b -a -b" << 1 << 1 << QStringList() << false;
        QTest::newRow("idle asks again") << "+a -a -a" << 1 << 2 << QStringList() << false;
        QTest::newRow("new client reactivates") << "+a -a +c" << 2 << 1 << QStringList{"c"} << true;
        QTest::newRow("case sensitive") << "+Client +client -CLIENT" << 1 << 0
                                        << QStringList{"Client", "client"} << true;
        QTest::newRow("empty name") << "+ -" << 1 << 1 << QStringList() << false;
    }
    void script()
    {
        QFETCH(QString, script);
        QFETCH(int, activations);
        QFETCH(int, deactivations);
        QFETCH(QStringList, activators);
        QFETCH(bool, active);
        TuvoPluginController controller;
        QSignalSpy activated(&controller, &TuvoPluginController::activationRequested);
        QSignalSpy deactivated(&controller, &TuvoPluginController::deactivationRequested);
        // The activation is asked for before the first client is listed.
        QStringList listedDuringActivation;
        connect(&controller, &TuvoPluginController::activationRequested, this,
                [&] { listedDuringActivation += controller.activatorList(); });
        if (deactivations > 0)
            QTest::ignoreMessage(QtDebugMsg, "No more activators");
        for (const QString &step : script.split(QLatin1Char(' '))) {
            if (step.startsWith(QLatin1Char('+')))
                controller.activate(step.mid(1));
            else
                controller.deactivate(step.mid(1));
        }
        QCOMPARE(activated.count(), activations);
        QCOMPARE(deactivated.count(), deactivations);
        QCOMPARE(listedDuringActivation, QStringList());
        QCOMPARE(controller.activatorList(), activators);
        if (activations == 0)
            QTest::ignoreMessage(QtDebugMsg,
                                 "bool TuvoPluginController::isActive() still waiting for first activation");
        QCOMPARE(controller.isActive(), active);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoPluginController)
#include "tst_tuvopluginctrl.moc"
