#include "TuvoPluginController.h"

#include <QSignalSpy>
#include <QTest>

// The controller's states (waiting, active, idle) and its two edge signals.
class tst_TuvoPluginController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshControllerCountsAsActive()
    {
        TuvoPluginController controller;
        QTest::ignoreMessage(QtDebugMsg,
                             "bool TuvoPluginController::isActive() still waiting for first activation");
        QVERIFY(controller.isActive());
        QSignalSpy deactivations(&controller, &TuvoPluginController::deactivationRequested);
        controller.deactivate(QStringLiteral(":1.7"));
        QCOMPARE(deactivations.count(), 0);
        QTest::ignoreMessage(QtDebugMsg,
                             "bool TuvoPluginController::isActive() still waiting for first activation");
        QVERIFY(controller.isActive());
    }

    void firstActivationSignalsBeforeListing()
    {
        TuvoPluginController controller;
        QStringList listedDuringSignal{QStringLiteral("unset")};
        connect(&controller, &TuvoPluginController::activationRequested, this,
                [&] { listedDuringSignal = controller.activatorList(); });
        QSignalSpy activations(&controller, &TuvoPluginController::activationRequested);
        controller.activate(QStringLiteral("a"));
        QCOMPARE(activations.count(), 1);
        QVERIFY(listedDuringSignal.isEmpty());
        QCOMPARE(controller.activatorList(), QStringList{QStringLiteral("a")});
        QVERIFY(controller.isActive());
    }

    void sameClientListedOnce()
    {
        TuvoPluginController controller;
        QSignalSpy activations(&controller, &TuvoPluginController::activationRequested);
        controller.activate(QStringLiteral("a"));
        controller.activate(QStringLiteral("a"));
        QCOMPARE(activations.count(), 1);
        QCOMPARE(controller.activatorList(), QStringList{QStringLiteral("a")});
    }

    void lastActivatorLeavingDeactivates()
    {
        TuvoPluginController controller;
        QSignalSpy activations(&controller, &TuvoPluginController::activationRequested);
        QSignalSpy deactivations(&controller, &TuvoPluginController::deactivationRequested);
        controller.activate(QStringLiteral("a"));
        controller.activate(QStringLiteral("b"));
        controller.deactivate(QStringLiteral("a"));
        QCOMPARE(deactivations.count(), 0);
        QVERIFY(controller.isActive());

        QTest::ignoreMessage(QtDebugMsg, "No more activators");
        controller.deactivate(QStringLiteral("b"));
        QCOMPARE(deactivations.count(), 1);
        QVERIFY(!controller.isActive());

        // Idle: every further deactivation asks again; a new client reactivates.
        controller.deactivate(QStringLiteral("b"));
        QCOMPARE(deactivations.count(), 2);
        controller.activate(QStringLiteral("c"));
        QCOMPARE(activations.count(), 2);
        QVERIFY(controller.isActive());
    }

    void namesAreCaseSensitive()
    {
        TuvoPluginController controller;
        QSignalSpy deactivations(&controller, &TuvoPluginController::deactivationRequested);
        controller.activate(QStringLiteral("Client"));
        controller.activate(QStringLiteral("client"));
        QCOMPARE(controller.activatorList().size(), 2);
        controller.deactivate(QStringLiteral("CLIENT"));
        QCOMPARE(controller.activatorList().size(), 2);
        QCOMPARE(deactivations.count(), 0);
    }

    void emptyNameIsAnActivator()
    {
        TuvoPluginController controller;
        QSignalSpy deactivations(&controller, &TuvoPluginController::deactivationRequested);
        controller.activate(QString());
        QVERIFY(controller.isActive());
        controller.deactivate(QString());
        QCOMPARE(deactivations.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoPluginController)
#include "tst_tuvopluginctrl.moc"
