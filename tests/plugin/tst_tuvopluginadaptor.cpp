#include "TuvoPluginAdaptor.h"
#include "TuvoPluginController.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

// The control interface on a real private bus: clients are connections of their own.
class tst_TuvoPluginAdaptor : public QObject
{
    Q_OBJECT

    TuvoPluginController *controller = nullptr;
    QStringList clientNames;

    QDBusConnection newClient()
    {
        const QString name = QUuid::createUuid().toString(QUuid::Id128);
        clientNames.append(name);
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    }

    bool call(const QDBusConnection &client, const QString &method)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QDBusConnection::sessionBus().baseService(), QStringLiteral("/control"),
            QStringLiteral("com.oxbel.tuvo.plugin"), method);
        // The adaptor answers on this same thread: keep the event loop running.
        const QDBusMessage reply = QDBusConnection(client).call(call, QDBus::BlockWithGui);
        return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().isEmpty();
    }

private Q_SLOTS:
    void init()
    {
        controller = new TuvoPluginController;
        new TuvoPluginAdaptor(controller);
        QVERIFY(QDBusConnection::sessionBus().registerObject(QStringLiteral("/control"), controller));
    }

    void cleanup()
    {
        QDBusConnection::sessionBus().unregisterObject(QStringLiteral("/control"));
        delete controller;
        for (const QString &name : qAsConst(clientNames))
            QDBusConnection::disconnectFromBus(name);
        clientNames.clear();
    }

    void activateListsTheCallersUniqueName()
    {
        QDBusConnection client = newClient();
        QSignalSpy activations(controller, &TuvoPluginController::activationRequested);
        QVERIFY(call(client, QStringLiteral("activate")));
        QCOMPARE(activations.count(), 1);
        QCOMPARE(controller->activatorList(), QStringList{client.baseService()});
    }

    void vanishedClientIsDeactivated()
    {
        QString first, second, secondUnique;
        {
            // A connection closes only once no QDBusConnection refers to it.
            QDBusConnection a = newClient();
            QDBusConnection b = newClient();
            QVERIFY(call(a, QStringLiteral("activate")));
            QVERIFY(call(b, QStringLiteral("activate")));
            first = a.name();
            second = b.name();
            secondUnique = b.baseService();
        }
        QSignalSpy deactivations(controller, &TuvoPluginController::deactivationRequested);

        QDBusConnection::disconnectFromBus(first);
        QTRY_COMPARE(controller->activatorList(), QStringList{secondUnique});
        QCOMPARE(deactivations.count(), 0);

        QDBusConnection::disconnectFromBus(second);
        QTRY_COMPARE(deactivations.count(), 1);
        QVERIFY(!controller->isActive());
    }

    void explicitDeactivateEndsTheWatch()
    {
        QDBusConnection client = newClient();
        QVERIFY(call(client, QStringLiteral("activate")));
        QSignalSpy deactivations(controller, &TuvoPluginController::deactivationRequested);
        QVERIFY(call(client, QStringLiteral("deactivate")));
        QCOMPARE(deactivations.count(), 1);

        // Leaving the bus afterwards must not deactivate a second time. A watched
        // witness leaving after it proves that the daemon's signals have arrived.
        const QString name = client.name();
        client = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(name);
        QString witnessName;
        {
            QDBusConnection witness = newClient();
            QVERIFY(call(witness, QStringLiteral("activate")));
            witnessName = witness.name();
        }
        QDBusConnection::disconnectFromBus(witnessName);
        QTRY_COMPARE(deactivations.count(), 2);
        QCOMPARE(controller->activatorList(), QStringList());
    }

    void deactivateWithoutActivateStillReachesTheController()
    {
        QDBusConnection active = newClient();
        QVERIFY(call(active, QStringLiteral("activate")));
        QVERIFY(call(active, QStringLiteral("deactivate")));
        QSignalSpy deactivations(controller, &TuvoPluginController::deactivationRequested);

        QDBusConnection stranger = newClient();
        QTest::ignoreMessage(QtWarningMsg,
                             "TuvoPluginAdaptor::deactivate failed to disconnect NameOwnerChanged signal");
        QVERIFY(call(stranger, QStringLiteral("deactivate")));
        QCOMPARE(deactivations.count(), 1);
    }

    void repeatedActivateListsOnce()
    {
        QString name;
        {
            QDBusConnection client = newClient();
            QVERIFY(call(client, QStringLiteral("activate")));
            // The bus connection already holds that watch and says so.
            QTest::ignoreMessage(QtWarningMsg,
                                 "TuvoPluginAdaptor::activate failed to connect NameOwnerChanged signal");
            QVERIFY(call(client, QStringLiteral("activate")));
            QCOMPARE(controller->activatorList(), QStringList{client.baseService()});
            name = client.name();
        }
        QSignalSpy deactivations(controller, &TuvoPluginController::deactivationRequested);
        QDBusConnection::disconnectFromBus(name);
        QTRY_COMPARE(deactivations.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoPluginAdaptor)
#include "tst_tuvopluginadaptor.moc"
