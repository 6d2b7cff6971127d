#include "TuvoPluginAdaptor.h"
#include "TuvoPluginController.h"

#include "BusClient.h"

#include <QMap>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <memory>

// The control interface on a real private bus, driven by scripts of clients, each a
// connection of its own: "+a" is an activate call by client "a", "-a" its deactivate
// call, "xa" the client leaving the bus.
class tst_TuvoPluginAdaptor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void script_data()
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
    void script()
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

QTEST_GUILESS_MAIN(tst_TuvoPluginAdaptor)
#include "tst_tuvopluginadaptor.moc"
