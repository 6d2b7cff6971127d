#include "TuvoPluginAdaptor.h"
#include "TuvoPluginController.h"

#include "BusClient.h"

#include <QMap>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <memory>

// The plugin controller's states (waiting, active, idle) and its two edge signals, and
// the control interface on a real private bus, driven by scripts of clients: "+a" is an
// activate by client "a", "-a" its deactivate, "xa" the client leaving the bus (each
// client a connection of its own on the bus).
class tst_TuvoPluginControl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controller_data()
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
    void controller()
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

    void adaptor_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("deactivations");
        QTest::addColumn<QStringList>("activators");
        QTest::addColumn<QStringList>("warnings");
        QTest::newRow("caller's unique name") << "+a" << 0 << QStringList{"a"} << QStringList();
        QTest::newRow("vanished client") << "+a +b xa" << 0 << QStringList{"b"} << QStringList();
        QTest::newRow("last vanished client") << "+a +b xa xb" << 1 << QStringList() << QStringList();
        // Leaving after a deactivate must not deactivate again: the witness's leaving
        // comes after it.
        QTest::newRow("deactivate ends the watch") << "+a -a xa +w xw" << 2 << QStringList() << QStringList();
        QTest::newRow("deactivate by a stranger") << "+a -a -s" << 2 << QStringList()
            << QStringList{"TuvoPluginAdaptor::deactivate failed to disconnect NameOwnerChanged signal"};
        // The bus connection already holds that watch and says so.
        QTest::newRow("repeated activate") << "+a +a xa" << 1 << QStringList()
            << QStringList{"TuvoPluginAdaptor::activate failed to connect NameOwnerChanged signal"};
    }
    void adaptor()
    {
        QFETCH(QString, script);
        QFETCH(int, deactivations);
        QFETCH(QStringList, activators);
        QFETCH(QStringList, warnings);
        TuvoPluginController controller;
        new TuvoPluginAdaptor(&controller);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(QStringLiteral("/control"), &controller));
        QSignalSpy deactivated(&controller, &TuvoPluginController::deactivationRequested);
        for (const QString &warning : warnings)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));

        std::map<QString, std::unique_ptr<BusClient>> clients;
        QMap<QString, QString> letters; // unique name -> client
        for (const QString &step : script.split(QLatin1Char(' '))) {
            std::unique_ptr<BusClient> &client = clients[step.mid(1)];
            if (!client) {
                client = std::make_unique<BusClient>();
                letters.insert(client->uniqueName(), step.mid(1));
            }
            if (step.startsWith(QLatin1Char('x'))) {
                client->disconnect();
                continue;
            }
            // The adaptor answers on this thread: the call keeps the event loop running.
            const QDBusMessage reply = client->call(bus.baseService(), QStringLiteral("/control"),
                                                    QStringLiteral("com.oxbel.tuvo.plugin"),
                                                    step.startsWith(QLatin1Char('+')) ? QStringLiteral("activate")
                                                                                      : QStringLiteral("deactivate"));
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QCOMPARE(reply.arguments(), QVariantList());
        }
        auto listed = [&] {
            QStringList names;
            for (const QString &name : controller.activatorList())
                names.append(letters.value(name));
            return names;
        };
        QTRY_COMPARE(listed(), activators);
        QTRY_COMPARE(deactivated.count(), deactivations);
        bus.unregisterObject(QStringLiteral("/control"));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoPluginControl)
#include "tst_tuvoplugincontrol.moc"
