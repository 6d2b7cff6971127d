#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "TestScreenSaver.h"
#include "WrapperProcess.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestControlService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
// The machine-wide file that switches on a log file per plugin.
const QString Marker = QStringLiteral("/tmp/enable-tuvo-plugins-debug");

QString service(const char *kind, const QString &plugin, const QString &uuid)
{
    return QStringLiteral("com.oxbel.tuvo.%1.%2.%3").arg(QLatin1String(kind), plugin, uuid);
}

BusSignalRecorder *hellos(const char *member, QObject *parent)
{
    return new BusSignalRecorder(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                 QStringLiteral("com.oxbel.tuvo.registry"), QLatin1String(member),
                                 QDBusConnection::sessionBus(), parent);
}

// The tuvo names (other than the test plugin's own) that were taken, or given up.
QStringList tuvoNames(const BusSignalRecorder &changes, bool taken)
{
    QStringList names;
    for (const QVariantList &args : changes.arguments()) {
        const QString name = args.value(0).toString();
        if (name.startsWith(QLatin1String("com.oxbel.tuvo.")) && name != TestPluginService
            && args.value(taken ? 1 : 2).toString().isEmpty())
            names.append(name);
    }
    return names;
}
} // namespace

// The real wrapper process on a private bus, seen from clients outside it.
class tst_WrapperProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    bool createdMarker = false;

    void startTestWrapper(WrapperProcess &wrapper, const QString &objects = QString())
    {
        wrapper.setHome(home.path());
        if (!objects.isNull())
            wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), objects);
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
    }

private Q_SLOTS:
    void cleanup()
    {
        if (createdMarker)
            QFile::remove(Marker);
        createdMarker = false;
        // No test leaves a wrapper behind to disturb the next one.
        QVERIFY(TestBus::waitForName(TestControlService, false));
    }

    void derivedNamesOfThePluginControl()
    {
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        // Further arguments are ignored.
        QVERIFY(wrapper.start({TestPaths::samplePlugin(), QStringLiteral("ignored")}));
        QCOMPARE(wrapper.helloName(), QStringLiteral("libtuvo_sample_plugin"));
        const QString xml = TestBus::introspect(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"),
                                                QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"));
        QVERIFY2(xml.contains(QLatin1String("<interface name=\"com.oxbel.tuvo.plugin\">")), qPrintable(xml));
        // Nothing is loaded before a client asks for it.
        QVERIFY(!TestBus::hasOwner(service("source", QStringLiteral("Sample-Plugin"), QStringLiteral("sample_source"))));
    }

    // Each ends the process with status 1 and says why.
    void failures_data()
    {
        QTest::addColumn<QString>("plugin"); // "versioned": a versioned file name of the test plugin
        QTest::addColumn<QString>("objects");
        QTest::addColumn<bool>("activate");
        QTest::addColumn<QString>("message");
        const QString taken = QStringLiteral("Registering service fails.");
        const QString notActivated = QStringLiteral("Not able to activate plugin, exiting wrapper!");
        QTest::newRow("name taken") << TestPaths::testPlugin() << QString() << false << taken;
        QTest::newRow("versioned file name") << "versioned" << QString() << false << taken;
        QTest::newRow("failing plugin") << TestPaths::testPlugin() << "bogus" << true << notActivated;
        QTest::newRow("source uuid") << TestPaths::testPlugin() << "source:bad-uuid:Test Plugin:x" << true
                                     << "sourceAddedSlot: Failed to register object";
        QTest::newRow("renderer uuid") << TestPaths::testPlugin() << "renderer:bad-uuid:Test Plugin:x" << true
                                       << "rendererAddedSlot: Failed to register object";
    }
    void failures()
    {
        QFETCH(QString, plugin);
        QFETCH(QString, objects);
        QFETCH(bool, activate);
        QFETCH(QString, message);
        WrapperProcess first;
        if (QByteArray(QTest::currentDataTag()) == "name taken")
            startTestWrapper(first);
        QTemporaryDir dir;
        if (plugin == QLatin1String("versioned")) {
            plugin = dir.filePath(QStringLiteral("libtuvo-test-plugin.so.1"));
            QVERIFY(QFile::link(TestPaths::testPlugin(), plugin));
        }
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        if (!objects.isEmpty())
            wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), objects);
        QVERIFY(wrapper.start({plugin}, activate));
        BusClient client;
        if (activate)
            QVERIFY(client.activate(wrapper.helloName()));
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY2(wrapper.errorOutput().contains(message), qPrintable(wrapper.errorOutput()));
        QCOMPARE(first.isRunning(), !first.helloName().isEmpty()); // the holder stays
    }

    // An outside client whose activation ends when it exits; proxies stay off the bus.
    void gdbusActivationPublishesInOrder()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("renderer:r_one:Test Plugin:First;proxysource:p_src:Test Plugin:ps;"
                                                 "source:s_two:Test Plugin:Second;proxyrenderer:p_ren:Test Plugin:pr;"
                                                 "renderer:r_three:Other:Third"));
        BusSignalRecorder *sources = hellos("new_source", this);
        BusSignalRecorder *renderers = hellos("new_renderer", this);
        QScopedPointer<BusSignalRecorder> changes(BusSignalRecorder::nameOwnerChanges());
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"), {QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                                              TestControlService, QStringLiteral("--object-path"),
                                              QStringLiteral("/com/oxbel/tuvo/plugin/") + TestPluginName,
                                              QStringLiteral("--method"), QStringLiteral("com.oxbel.tuvo.plugin.activate")});
        QVERIFY(gdbus.waitForFinished(10000));
        QCOMPARE(gdbus.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(gdbus.readAllStandardOutput()).trimmed(), QStringLiteral("()"));

        QVERIFY(renderers->waitForCount(2) && sources->waitForCount(1));
        QCOMPARE(renderers->arguments(), (QList<QVariantList>{{"Test Plugin", "r_one", "First"}, {"Other", "r_three", "Third"}}));
        QCOMPARE(sources->arguments(), (QList<QVariantList>{{"Test Plugin", "s_two", "Second"}}));
        const QStringList published{service("renderer", "Test-Plugin", "r_one"), service("source", "Test-Plugin", "s_two"),
                                    service("renderer", "Other", "r_three")};
        QCOMPARE(tuvoNames(*changes, true).mid(0, 3), published);

        // gdbus has exited: the plugin is unloaded and its objects leave the bus.
        for (const QString &name : published)
            QVERIFY(TestBus::waitForName(name, false));
        QVERIFY(!tuvoNames(*changes, true).join(QLatin1Char(' ')).contains(QLatin1String(".p_")));
        QCOMPARE(renderers->count() + sources->count(), 3);
        QVERIFY(wrapper.isRunning());
    }

    void deviceBecomingInactiveEndsAnIdleProcess()
    {
        TestScreenSaver screensaver(false);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        QTRY_VERIFY(screensaver.getActiveCalls() > 0);
        // Never activated: an inactive device ends nothing.
        screensaver.setActive(true);
        screensaver.setActive(false);
        // A grace period for a wrong exit to show.
        QTest::qWait(300);
        QVERIFY(wrapper.isRunning());
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        client.disconnect();
        QVERIFY(TestBus::waitForName(service("source", "Test-Plugin", "test_source"), false));
        QVERIFY(wrapper.isRunning());
        screensaver.setActive(true);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), 0);
    }

    // With the machine-wide debug marker file, the wrapper also appends its log to a file
    // named after the plugin in its home; without it, it writes no file there.
    void quitWithdrawsEverythingInKeyOrder_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("marker");
        QTest::newRow("inactivity") << 0 << false;
        QTest::newRow("SIGTERM, with the debug marker") << int(SIGTERM) << true;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
    }
    void quitWithdrawsEverythingInKeyOrder()
    {
        QFETCH(int, signal);
        QFETCH(bool, marker);
        if (marker && !QFile::exists(Marker)) {
            QFile file(Marker);
            QVERIFY(file.open(QIODevice::WriteOnly));
            createdMarker = true;
        }
        QTemporaryDir ownHome;
        QFile log(ownHome.filePath(QStringLiteral("libtuvo-test-plugin.log")));
        if (marker)
            QVERIFY(log.open(QIODevice::WriteOnly) && log.write("earlier line\n") > 0);
        log.close();
        TestScreenSaver screensaver(true);
        QVERIFY(screensaver.appear());
        WrapperProcess wrapper;
        wrapper.setHome(ownHome.path());
        wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QStringLiteral("source:z_source:P:z;renderer:b_renderer:P:b;source:a_source:P:a"));
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(TestBus::waitForName(service("source", "P", "a_source")));
        QScopedPointer<BusSignalRecorder> changes(BusSignalRecorder::nameOwnerChanges());
        if (signal) {
            wrapper.sendSignal(signal);
        } else {
            // The last client's deactivate with the device idle: unloaded, then the process ends.
            QTRY_VERIFY(screensaver.getActiveCalls() > 0);
            QVERIFY(client.deactivate(TestPluginName));
        }
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), 0);
        const QStringList lost = tuvoNames(*changes, false);
        if (signal) {
            // Ascending keys: the controller's class name sorts before lower-case uuids.
            QCOMPARE(lost, (QStringList{TestControlService, service("source", "P", "a_source"),
                                        service("renderer", "P", "b_renderer"), service("source", "P", "z_source")}));
        } else {
            // The objects went with the unload already; then only the control object remains.
            QCOMPARE(lost.size(), 4);
            QCOMPARE(lost.last(), TestControlService);
        }
        if (!marker) {
            if (!QFile::exists(Marker))
                QCOMPARE(QDir(ownHome.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
            return;
        }
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY(text.startsWith(QLatin1String("earlier line\n")));
        for (const QString &line : {QStringLiteral("Starting new plugin:  ") + TestPaths::testPlugin(),
                                    QStringLiteral("tuvo-dbus-wrapper revision: N/A"), QStringLiteral("tuvo-dbus-wrapper builtime:"),
                                    QStringLiteral("activated:  \"%1\"").arg(TestPaths::testPlugin()),
                                    QStringLiteral("void TuvoDBusWrapper::deinitialize()"),
                                    QStringLiteral("unregister object \"/com/oxbel/tuvo/source/a_source\"")})
            QVERIFY2(text.contains(line), qPrintable(line));
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

    // Without a plugin the usage is an error, on standard error; asked for, it is output.
    void helpAndVersionStartNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("no argument") << QStringList() << 1 << "use: tuvo-dbus-wrapper <PLUGIN>\n";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "use: tuvo-dbus-wrapper <PLUGIN>\n";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "tuvo-dbus-wrapper 0.";
    }
    void helpAndVersionStartNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QProcess process;
        process.start(TestPaths::wrapper(), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), exitCode);
        const QByteArray printed = exitCode ? process.readAllStandardError() : process.readAllStandardOutput();
        QVERIFY2(QString::fromLocal8Bit(printed).startsWith(output), printed.constData());
        QVERIFY(TestBus::names().filter(QStringLiteral("com.oxbel.tuvo.plugin.")).isEmpty());
    }

    void withdrawnAndReportedAgain()
    {
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("source:s_one:Test Plugin:One"));
        BusSignalRecorder *sources = hellos("new_source", this);
        BusClient client;
        QVERIFY(client.activate(TestPluginName));
        QVERIFY(sources->waitForCount(1));
        const QString name = service("source", "Test-Plugin", "s_one");
        auto control = [&](const QString &method, const QVariantList &args) {
            return client.call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test"),
                               QStringLiteral("com.oxbel.tuvo.test.Plugin"), method, args).arguments().value(0).toBool();
        };
        QVERIFY(control(QStringLiteral("remove_object"), {QStringLiteral("s_one")}));
        QVERIFY(TestBus::waitForName(name, false));
        const QString xml = TestBus::introspect(TestBus::owner(TestControlService), QStringLiteral("/com/oxbel/tuvo/source"));
        QVERIFY2(!xml.contains(QLatin1String("s_one")), qPrintable(xml));

        QVERIFY(control(QStringLiteral("add_object"), {"source", "s_one", "Test Plugin", "One again"}));
        QVERIFY(sources->waitForCount(2));
        QCOMPARE(sources->arguments().at(1).value(2).toString(), QStringLiteral("One again"));
        QVERIFY(TestBus::hasOwner(name));
    }
};

QTEST_GUILESS_MAIN(tst_WrapperProcess)
#include "tst_wrapperprocess.moc"
