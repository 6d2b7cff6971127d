#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "TestScreenSaver.h"
#include "WrapperProcess.h"

#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestControlService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");

QString sourceService(const QString &pluginPart, const QString &uuid)
{
    return QStringLiteral("com.oxbel.tuvo.source.%1.%2").arg(pluginPart, uuid);
}
QString rendererService(const QString &pluginPart, const QString &uuid)
{
    return QStringLiteral("com.oxbel.tuvo.renderer.%1.%2").arg(pluginPart, uuid);
}
} // namespace

// The real wrapper process on a private bus, seen from clients outside it.
class tst_WrapperProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;

    void startTestWrapper(WrapperProcess &wrapper, const QString &objects = QString())
    {
        wrapper.setHome(home.path());
        if (!objects.isNull())
            wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), objects);
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
    }

    // Unique names that own a tuvo name, in the order they lost it.
    static QStringList lostTuvoNames(const BusSignalRecorder &changes)
    {
        QStringList lost;
        for (const QVariantList &args : changes.arguments()) {
            const QString name = args.value(0).toString();
            if (name.startsWith(QLatin1String("com.oxbel.tuvo.")) && args.value(2).toString().isEmpty()
                && !name.startsWith(TestPluginService))
                lost.append(name);
        }
        return lost;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        QVERIFY(QFile::exists(TestPaths::wrapper()));
    }

    void cleanup()
    {
        // No test leaves a wrapper behind to disturb the next one.
        QVERIFY(TestBus::waitForName(TestControlService, false));
    }

    void usageWithoutArgument()
    {
        QProcess process;
        process.start(TestPaths::wrapper(), QStringList());
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()).trimmed(),
                 QStringLiteral("use: tuvo-dbus-wrapper <PLUGIN>"));
    }

    void derivedNamesOfThePluginControl()
    {
        BusSignalRecorder hello(QString(), QStringLiteral("/com/oxbel/tuvo/plugin"),
                                QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("new_plugin"));
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        // Further arguments are ignored.
        QVERIFY(wrapper.start({TestPaths::samplePlugin(), QStringLiteral("ignored")}));
        QCOMPARE(wrapper.helloName(), QStringLiteral("libtuvo_sample_plugin"));
        QVERIFY(hello.waitForCount(1));
        QCOMPARE(hello.messages().first().path(), QStringLiteral("/com/oxbel/tuvo/plugin"));
        QCOMPARE(hello.messages().first().arguments(), QVariantList{QStringLiteral("libtuvo_sample_plugin")});

        const QString service = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin");
        QVERIFY(TestBus::hasOwner(service));
        const QString xml =
            TestBus::introspect(service, QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"));
        QVERIFY2(xml.contains(QLatin1String("<interface name=\"com.oxbel.tuvo.plugin\">")), qPrintable(xml));
        QVERIFY(xml.contains(QLatin1String("<method name=\"activate\"")));
        QVERIFY(xml.contains(QLatin1String("<method name=\"deactivate\"")));
        // Nothing is loaded before a client asks for it.
        QVERIFY(!TestBus::hasOwner(QStringLiteral("com.oxbel.tuvo.source.Sample-Plugin.sample_source")));
    }

    void secondProcessForTheSamePluginFails()
    {
        WrapperProcess first;
        startTestWrapper(first);
        WrapperProcess second;
        second.setHome(home.path());
        QVERIFY(second.start({TestPaths::testPlugin()}, false));
        QVERIFY(second.waitForExit());
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.errorOutput().contains(QLatin1String("Registering service fails.")));
        QVERIFY(first.isRunning());
    }

    void versionedFileNameIsRefusedByTheBus()
    {
        QTemporaryDir dir;
        const QString versioned = dir.filePath(QStringLiteral("libtuvo-test-plugin.so.1"));
        QVERIFY(QFile::link(TestPaths::testPlugin(), versioned));
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        QVERIFY(wrapper.start({versioned}, false));
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY(wrapper.errorOutput().contains(QLatin1String("Registering service fails.")));
    }

    void gdbusActivationPublishesInOrder()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("renderer:r_one:Test Plugin:First;"
                                                 "source:s_two:Test Plugin:Second;"
                                                 "renderer:r_three:Other:Third"));
        BusSignalRecorder sources(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                  QStringLiteral("com.oxbel.tuvo.registry"), QStringLiteral("new_source"));
        BusSignalRecorder renderers(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                    QStringLiteral("com.oxbel.tuvo.registry"), QStringLiteral("new_renderer"));
        QScopedPointer<BusSignalRecorder> changes(BusSignalRecorder::nameOwnerChanges());

        // An outside client; its activation ends when it exits.
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"),
                    {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                     TestControlService, QStringLiteral("--object-path"),
                     QStringLiteral("/com/oxbel/tuvo/plugin/") + TestPluginName,
                     QStringLiteral("--method"), QStringLiteral("com.oxbel.tuvo.plugin.activate")});
        QVERIFY(gdbus.waitForFinished(10000));
        QCOMPARE(gdbus.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(gdbus.readAllStandardOutput()).trimmed(), QStringLiteral("()"));

        QVERIFY(renderers.waitForCount(2));
        QVERIFY(sources.waitForCount(1));
        QCOMPARE(renderers.arguments().at(0),
                 (QVariantList{QStringLiteral("Test Plugin"), QStringLiteral("r_one"), QStringLiteral("First")}));
        QCOMPARE(renderers.arguments().at(1),
                 (QVariantList{QStringLiteral("Other"), QStringLiteral("r_three"), QStringLiteral("Third")}));
        QCOMPARE(sources.arguments().at(0),
                 (QVariantList{QStringLiteral("Test Plugin"), QStringLiteral("s_two"), QStringLiteral("Second")}));
        // Publication order across both kinds: r_one, s_two, r_three.
        QStringList acquired;
        for (const QVariantList &args : changes->arguments()) {
            const QString name = args.value(0).toString();
            if (args.value(1).toString().isEmpty() && name.startsWith(QLatin1String("com.oxbel.tuvo."))
                && name != TestPluginService)
                acquired.append(args.value(0).toString());
        }
        QCOMPARE(acquired.mid(0, 3), (QStringList{rendererService(QStringLiteral("Test-Plugin"), QStringLiteral("r_one")),
                                                  sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("s_two")),
                                                  rendererService(QStringLiteral("Other"), QStringLiteral("r_three"))}));

        // gdbus has exited: the plugin is unloaded and its objects leave the bus.
        QVERIFY(TestBus::waitForName(rendererService(QStringLiteral("Test-Plugin"), QStringLiteral("r_one")), false));
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("s_two")), false));
        QVERIFY(wrapper.isRunning());
    }

    void vanishingClientUnloadsThePlugin()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        const QString source = sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("test_source"));
        BusClient stays;
        BusClient leaves;
        QVERIFY(leaves.activate(TestPluginName));
        QVERIFY(stays.activate(TestPluginName));
        QVERIFY(TestBus::waitForName(source));
        QScopedPointer<BusSignalRecorder> changes(BusSignalRecorder::nameOwnerChanges());
        const QString leaving = leaves.uniqueName();
        leaves.disconnect();
        QTRY_VERIFY(changes->firstArguments().contains(leaving));
        // The daemon told the wrapper before this call reaches it; another activator
        // remains, so everything stays published.
        QVERIFY(stays.activate(TestPluginName));
        QVERIFY(TestBus::hasOwner(source));
        QVERIFY(stays.deactivate(TestPluginName));
        QVERIFY(TestBus::waitForName(source, false));

        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(TestBus::waitForName(source));
        client.disconnect();
        QVERIFY(TestBus::waitForName(source, false));
        QVERIFY(wrapper.isRunning());
    }

    void inactiveDeviceEndsAProcessThatLostItsClients()
    {
        TestScreenSaver screensaver(true);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        QTRY_VERIFY(screensaver.getActiveCalls() > 0);
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(wrapper.isRunning());
        QVERIFY(client.deactivate(TestPluginName));
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), 0);
    }

    void deviceBecomingInactiveEndsAnIdleProcess()
    {
        TestScreenSaver screensaver(false);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        client.disconnect();
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("test_source")), false));
        QVERIFY(wrapper.isRunning());
        screensaver.setActive(true);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 0);
    }

    void neverActivatedProcessStays()
    {
        TestScreenSaver screensaver(true);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        QTRY_VERIFY(screensaver.getActiveCalls() > 0);
        screensaver.setActive(false);
        screensaver.setActive(true);
        // A grace period for a wrong exit to show; nothing may happen.
        QTest::qWait(300);
        QVERIFY(wrapper.isRunning());
        wrapper.sendSignal(SIGTERM);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 0);
    }

    void quitWithdrawsEverythingInKeyOrder_data()
    {
        QTest::addColumn<bool>("bySignal");
        QTest::newRow("inactivity") << false;
        QTest::newRow("SIGTERM") << true;
        QTest::newRow("SIGINT") << true;
    }
    void quitWithdrawsEverythingInKeyOrder()
    {
        QFETCH(bool, bySignal);
        TestScreenSaver screensaver(true);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("source:z_source:P:z;renderer:b_renderer:P:b;"
                                                 "source:a_source:P:a"));
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("P"), QStringLiteral("a_source"))));
        QScopedPointer<BusSignalRecorder> changes(BusSignalRecorder::nameOwnerChanges());

        if (bySignal) {
            wrapper.sendSignal(QByteArray(QTest::currentDataTag()) == "SIGINT" ? SIGINT : SIGTERM);
        } else {
            // Leave the bus with the device idle: unloaded, then the process ends.
            QTRY_VERIFY(screensaver.getActiveCalls() > 0);
            client.disconnect();
        }
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), 0);
        QVERIFY(!TestBus::hasOwner(TestControlService));

        const QStringList lost = lostTuvoNames(*changes);
        if (bySignal) {
            // Ascending keys: the controller's class name sorts before lower-case uuids.
            QCOMPARE(lost, (QStringList{TestControlService, sourceService(QStringLiteral("P"), QStringLiteral("a_source")),
                                        rendererService(QStringLiteral("P"), QStringLiteral("b_renderer")),
                                        sourceService(QStringLiteral("P"), QStringLiteral("z_source"))}));
        } else {
            // The objects went with the unload already; then only the control object remains.
            QCOMPARE(lost.last(), TestControlService);
            QCOMPARE(lost.size(), 4);
        }
    }

    void invalidUuidEndsTheProcess_data()
    {
        QTest::addColumn<QString>("objects");
        QTest::addColumn<QString>("message");
        QTest::newRow("source") << "source:bad-uuid:Test Plugin:x" << "sourceAddedSlot: Failed to register object";
        QTest::newRow("renderer") << "renderer:bad-uuid:Test Plugin:x" << "rendererAddedSlot: Failed to register object";
    }
    void invalidUuidEndsTheProcess()
    {
        QFETCH(QString, objects);
        QFETCH(QString, message);
        WrapperProcess wrapper;
        startTestWrapper(wrapper, objects);
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY2(wrapper.errorOutput().contains(message), qPrintable(wrapper.errorOutput()));
    }

    void failedActivationEndsTheProcess()
    {
        WrapperProcess wrapper;
        wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_FAIL"), QStringLiteral("1"));
        startTestWrapper(wrapper);
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY(wrapper.errorOutput().contains(QLatin1String("Not able to activate plugin, exiting wrapper!")));
    }

    // Only a quick look at the file at start: the plugin itself loads on activation.
    void pluginFileIsCheckedAtStart_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("searchPath");
        QTest::addColumn<QString>("refusal");
        const QString plugins = QFileInfo(TestPaths::testPlugin()).absolutePath();
        QTest::newRow("missing path") << "/nonexistent/libtuvo-missing.so" << ""
                                      << "tried: /nonexistent/libtuvo-missing.so";
        QTest::newRow("not on the search path")
            << "libtuvo-missing.so" << "/nonexistent" << "tried: /nonexistent/libtuvo-missing.so, ";
        QTest::newRow("not a shared object") << TestPaths::sourceDir() + "/README.md" << "" << "No plugin file";
        QTest::newRow("found on the search path")
            << "libtuvo-test-plugin.so" << "/nonexistent:" + plugins << "";
    }
    void pluginFileIsCheckedAtStart()
    {
        QFETCH(QString, argument);
        QFETCH(QString, searchPath);
        QFETCH(QString, refusal);
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("TUVO_PLUGIN_PATH"), searchPath);
        // Found: it registers and says hello.
        QVERIFY(wrapper.start({argument}, refusal.isEmpty()));
        if (refusal.isEmpty())
            return;
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY2(wrapper.errorOutput().contains(refusal), qPrintable(wrapper.errorOutput()));
        QVERIFY(!TestBus::hasOwner(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_missing")));
    }

    void helpAndVersionStartNothing_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("output");
        QTest::newRow("--help") << "--help" << "use: tuvo-dbus-wrapper <PLUGIN>\n";
        QTest::newRow("--version") << "--version" << "tuvo-dbus-wrapper 0.";
    }
    void helpAndVersionStartNothing()
    {
        QFETCH(QString, option);
        QFETCH(QString, output);
        QProcess process;
        process.start(TestPaths::wrapper(), {option});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(process.readAllStandardOutput()).contains(output));
        QVERIFY(TestBus::names().filter(QStringLiteral("com.oxbel.tuvo.plugin.")).isEmpty());
    }

    void proxiesAreNeverPublished()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("proxysource:p_src:Test Plugin:ps;"
                                                 "proxyrenderer:p_ren:Test Plugin:pr;"
                                                 "source:real_src:Test Plugin:rs"));
        BusSignalRecorder sources(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                  QStringLiteral("com.oxbel.tuvo.registry"), QStringLiteral("new_source"));
        BusSignalRecorder renderers(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                    QStringLiteral("com.oxbel.tuvo.registry"), QStringLiteral("new_renderer"));
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(sources.waitForCount(1));
        QCOMPARE(sources.arguments().first().value(1).toString(), QStringLiteral("real_src"));
        QVERIFY(!TestBus::hasOwner(sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("p_src"))));
        QVERIFY(!TestBus::hasOwner(rendererService(QStringLiteral("Test-Plugin"), QStringLiteral("p_ren"))));
        QCOMPARE(renderers.count(), 0);
    }

    void withdrawnAndReportedAgain()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("source:s_one:Test Plugin:One"));
        BusSignalRecorder sources(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                  QStringLiteral("com.oxbel.tuvo.registry"), QStringLiteral("new_source"));
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(sources.waitForCount(1));
        const QString service = sourceService(QStringLiteral("Test-Plugin"), QStringLiteral("s_one"));
        QVERIFY(TestBus::hasOwner(service));

        auto control = [&](const QString &method, const QVariantList &args) {
            return client.call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test"),
                               QStringLiteral("com.oxbel.tuvo.test.Plugin"), method, args)
                .arguments()
                .value(0)
                .toBool();
        };
        QVERIFY(control(QStringLiteral("remove_object"), {QStringLiteral("s_one")}));
        QVERIFY(TestBus::waitForName(service, false));
        const QString xml = TestBus::introspect(TestBus::owner(TestControlService),
                                                QStringLiteral("/com/oxbel/tuvo/source"));
        QVERIFY2(!xml.contains(QLatin1String("s_one")), qPrintable(xml));

        QVERIFY(control(QStringLiteral("add_object"), {QStringLiteral("source"), QStringLiteral("s_one"),
                                                       QStringLiteral("Test Plugin"), QStringLiteral("One again")}));
        QVERIFY(sources.waitForCount(2));
        QCOMPARE(sources.arguments().at(1).value(2).toString(), QStringLiteral("One again"));
        QVERIFY(TestBus::hasOwner(service));
    }
};

QTEST_GUILESS_MAIN(tst_WrapperProcess)
#include "tst_wrapperprocess.moc"
