#include "BusClient.h"
#include "TestBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestControlService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString TestSource = QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.test_source");
}

// The wrapper as the bus starts it, from the build tree's activation files: no wrapper
// runs until a client calls, and with no screensaver on the bus a wrapper started this
// way ends after its last client; the next call starts a new one.
class tst_Activation : public QObject
{
    Q_OBJECT

    static uint ownerPid(const QString &name)
    {
        const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(name);
        return pid.isValid() ? pid.value() : 0;
    }

private Q_SLOTS:
    void startedOnDemandAndEndedWhenIdle()
    {
        const QStringList names =
            QDBusConnection::sessionBus().interface()->activatableServiceNames().value();
        QVERIFY2(names.contains(TestControlService), qPrintable(names.join(QLatin1Char(' '))));
        QVERIFY(!TestBus::hasOwner(TestControlService));
        uint earlier = 0;
        for (int round = 0; round < 2; ++round) {
            BusClient client;
            QVERIFY(client.activate(TestPluginName));
            QVERIFY(TestBus::waitForName(TestSource));
            const uint pid = ownerPid(TestControlService);
            QVERIFY(pid != 0 && pid != earlier);
            earlier = pid;
            QVERIFY(client.deactivate(TestPluginName));
            QVERIFY(TestBus::waitForName(TestControlService, false));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Activation)
#include "tst_activation.moc"
