#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "TestScreenSaver.h"
#include "WrapperProcess.h"

#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <random>
#include <vector>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestControlService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
// The machine-wide file that switches on a log file per plugin.
const QString Marker = QStringLiteral("/tmp/enable-tuvo-plugins-debug");

// A round trip to \a service: what it sent to \a client before has arrived.
bool ping(BusClient &client, const QString &service, const QString &path)
{
    return client.call(service, path, QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")).type()
           == QDBusMessage::ReplyMessage;
}

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

    // Each ends the process with a status and says why: on standard output for status 0,
    // else on standard error; no plugin name of it stays on the bus. Status -1: the process
    // registers the control object of the plugin named by the message instead, and loads
    // nothing before a client asks for it.
    void exits_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "versioned": a versioned file name of the test plugin
        QTest::addColumn<QStringList>("environment"); // NAME=value
        QTest::addColumn<bool>("activate");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString plugin = TestPaths::testPlugin(), path = "TUVO_PLUGIN_PATH=", objects = "TUVO_TEST_PLUGIN_OBJECTS=";
        const QString taken = "Registering service fails.", usage = "use: tuvo-dbus-wrapper <PLUGIN>\n";
        const auto row = [](const char *tag, const QStringList &arguments, const QString &environment, bool activate,
                            int exitCode, const QString &message) {
            QTest::newRow(tag) << arguments << QStringList{environment} << activate << exitCode << message;
        };
        row("no argument", {}, {}, false, 1, usage);
        row("--help", {"--help"}, {}, false, 0, usage);
        row("--version", {"--version"}, {}, false, 0, "tuvo-dbus-wrapper 0.");
        row("name taken", {plugin}, {}, false, 1, taken);
        row("versioned file name", {"versioned"}, {}, false, 1, taken);
        row("failing plugin", {plugin}, objects + "bogus", true, 1, "Not able to activate plugin, exiting wrapper!");
        row("source uuid", {plugin}, objects + "source:bad-uuid:Test Plugin:x", true, 1, "sourceAddedSlot: Failed to register object");
        row("renderer uuid", {plugin}, objects + "renderer:bad-uuid:Test Plugin:x", true, 1,
            "rendererAddedSlot: Failed to register object");
        // Only a quick look at the file at start: the plugin itself loads on activation.
        row("missing path", {"/nonexistent/libtuvo-missing.so"}, path, false, 1, "tried: /nonexistent/libtuvo-missing.so");
        row("not on the search path", {"libtuvo-missing.so"}, path + "/nonexistent", false, 1,
            "tried: /nonexistent/libtuvo-missing.so, ");
        row("not a shared object", {TestPaths::sourceDir() + "/README.md"}, path, false, 1, "No plugin file");
        row("found on the search path", {"libtuvo-test-plugin.so"},
            path + "/nonexistent:" + QFileInfo(plugin).absolutePath(), false, -1, "libtuvo_test_plugin");
        row("further arguments ignored", {TestPaths::samplePlugin(), "ignored"}, {}, false, -1, "libtuvo_sample_plugin");
        row("bus lost", {plugin}, {}, false, 1, "Lost the connection to the session bus");
    }
    void exits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(bool, activate);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QByteArray tag = QTest::currentDataTag();
        WrapperProcess holder;
        if (tag == "name taken")
            startTestWrapper(holder);
        QTemporaryDir dir;
        if (arguments.value(0) == "versioned") {
            arguments = QStringList{dir.filePath("libtuvo-test-plugin.so.1")};
            QVERIFY(QFile::link(TestPaths::testPlugin(), arguments.first()));
        }
        QProcess daemon;
        if (tag == "bus lost") {
            daemon.start("dbus-daemon", {"--config-file=" TUVO_TEST_BUS_CONFIG, "--print-address", "--nofork"});
            QVERIFY(daemon.waitForReadyRead(10000));
            environment.append("DBUS_SESSION_BUS_ADDRESS=" + QString::fromUtf8(daemon.readLine()).trimmed());
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        for (const QString &entry : environment)
            if (!entry.isEmpty())
                env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        QProcess wrapper;
        wrapper.setProcessEnvironment(env);
        wrapper.start(TestPaths::wrapper(), arguments);
        QVERIFY(wrapper.waitForStarted(10000));
        if (activate)
            QVERIFY(TestBus::waitForName(TestControlService));
        BusClient client;
        if (activate)
            QVERIFY(client.activate(TestPluginName));
        if (exitCode < 0) {
            QVERIFY(TestBus::waitForName("com.oxbel.tuvo.plugin." + message));
            const QString xml = TestBus::introspect("com.oxbel.tuvo.plugin." + message, "/com/oxbel/tuvo/plugin/" + message);
            QVERIFY2(xml.contains("<interface name=\"com.oxbel.tuvo.plugin\">"), qPrintable(xml));
            QVERIFY(TestBus::names().filter("com.oxbel.tuvo.source.").isEmpty());
            wrapper.terminate();
            QVERIFY(wrapper.waitForFinished(10000));
            return;
        }
        if (tag == "bus lost") {
            QVERIFY(!wrapper.waitForFinished(1500)); // a grace period for a wrong exit to show
            daemon.kill();
            daemon.waitForFinished();
        }
        QVERIFY(wrapper.waitForFinished(10000));
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), exitCode);
        const QString said = QString::fromLocal8Bit(exitCode ? wrapper.readAllStandardError() : wrapper.readAllStandardOutput());
        QVERIFY2(said.contains(message), qPrintable(said));
        const QStringList left = tag == "name taken" ? QStringList{TestControlService} : QStringList();
        QTRY_COMPARE(TestBus::names().filter("com.oxbel.tuvo.plugin."), left);
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
    // 200 clients activate and vanish in random order, every third by deactivating first:
    // the plugin is loaded once and unloaded once, and the process, whose device is
    // idle, ends only when the last client has gone.
    void activationChurn()
    {
        TestScreenSaver screenSaver(true);
        QVERIFY(screenSaver.appear());
        std::unique_ptr<BusSignalRecorder> owners(BusSignalRecorder::nameOwnerChanges());
        BusSignalRecorder *sources = hellos("new_source", this);
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        // How often a name was taken, or given up: the test plugin's control name is
        // taken when the plugin is loaded and given up when it is unloaded.
        const auto changes = [&owners](const QString &name, bool taken) {
            int n = 0;
            for (const QVariantList &args : owners->arguments())
                n += args.value(0) == name && args.value(taken ? 1 : 2).toString().isEmpty();
            return n;
        };
        const int count = 200;
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("event order seed %u", seed);
        std::mt19937 random(seed);
        std::vector<int> events; // each client twice: its first event activates it, its second makes it vanish
        for (int i = 0; i < count; ++i)
            events.insert(events.end(), {i, i});
        std::shuffle(events.begin(), events.end(), random);
        std::vector<std::unique_ptr<BusClient>> clients(count);
        std::vector<int> deferred; // vanishings held back while their client is the only one
        int active = 0;
        const auto vanish = [&](int i) {
            if (i % 3 == 0)
                QVERIFY(clients[size_t(i)]->deactivate(TestPluginName));
            clients[size_t(i)]->disconnect();
            --active;
        };
        for (int i : events) {
            if (!clients[size_t(i)]) {
                clients[size_t(i)] = std::make_unique<BusClient>();
                QVERIFY(clients[size_t(i)]->activate(TestPluginName));
                ++active;
            } else {
                deferred.push_back(i);
            }
            while (!deferred.empty() && active > 1) {
                vanish(deferred.front());
                deferred.erase(deferred.begin());
            }
            QVERIFY(wrapper.isRunning());
        }
        QCOMPARE(deferred.size(), size_t(1));
        QCOMPARE(active, 1);
        // Everybody but the last has gone, and the wrapper has heard of it all.
        for (int i = 0; i < count; ++i)
            QTRY_VERIFY(i == deferred.front() || changes(clients[size_t(i)]->uniqueName(), false) == 1);
        BusClient pinger;
        QVERIFY(ping(pinger, TestControlService, QStringLiteral("/com/oxbel/tuvo/plugin/") + TestPluginName));
        QVERIFY(wrapper.isRunning());
        QCOMPARE(changes(TestPluginService, false), 0);
        vanish(deferred.front());
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 0);
        QTRY_COMPARE(changes(TestPluginService, false), 1);
        QCOMPARE(changes(TestPluginService, true), 1);
        QCOMPARE(sources->count(), 1);
    }

    // Clients that leave the bus right after their activate, before the wrapper can
    // watch them, are dropped all the same: the idle process ends.
    void activatorsLeavingAtOnce()
    {
        TestScreenSaver screenSaver(true);
        QVERIFY(screenSaver.appear());
        WrapperProcess wrapper;
        startTestWrapper(wrapper);
        for (int i = 0; i < 50; ++i) {
            BusClient client;
            client.connection().asyncCall(QDBusMessage::createMethodCall(
                TestControlService, QStringLiteral("/com/oxbel/tuvo/plugin/") + TestPluginName,
                QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
            // Once the daemon answers this, it has passed the activate on.
            QVERIFY(ping(client, QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus")));
        }
        QVERIFY2(wrapper.waitForExit(), qPrintable(TestBus::names().join(u' ')));
        QCOMPARE(wrapper.exitCode(), 0);
    }

    // A plugin that crashes takes its own wrapper down and nothing else: its callers get
    // an error at once, and another plugin's wrapper serves on, to Qt and GLib clients.
    void crashStaysInside()
    {
        WrapperProcess sample;
        sample.setHome(home.path());
        QVERIFY(sample.startWithPlugin(TestPaths::samplePlugin()) && sample.activate(QStringLiteral("new_source")));
        WrapperProcess wrapper;
        startTestWrapper(wrapper, QStringLiteral("renderer:crash_renderer:P:r"));
        QVERIFY(wrapper.activate(QStringLiteral("new_renderer")));
        const QString renderer = service("renderer", QStringLiteral("P"), QStringLiteral("crash_renderer"));
        const QString path = QStringLiteral("/com/oxbel/tuvo/renderer/crash_renderer");
        BusClient client;
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < 100; ++i)
            calls.append(client.connection().asyncCall(QDBusMessage::createMethodCall(
                renderer, path, QStringLiteral("com.oxbel.tuvo.renderer"), QStringLiteral("get_status")), 120000));
        QVERIFY(ping(client, renderer, path));
        wrapper.sendSignal(SIGSEGV);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitStatus(), QProcess::CrashExit);
        for (QDBusPendingCall &call : calls) {
            call.waitForFinished();
            QCOMPARE(call.reply().errorName(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
        }
        const QDBusMessage browse = client.call(service("source", QStringLiteral("Sample-Plugin"), QStringLiteral("sample_source")),
                                                QStringLiteral("/com/oxbel/tuvo/source/sample_source"),
                                                QStringLiteral("com.oxbel.tuvo.source"), QStringLiteral("browse"),
                                                {QString(), QString(), QStringList(), 0u, 0u});
        QVERIFY(browse.type() == QDBusMessage::ReplyMessage && browse.arguments().value(0).toUInt() != 0);
        // Its renderer from the shell: GLib reads what Qt marshals.
        const auto gdbus = [](const QString &method, const QStringList &arguments) {
            QProcess process;
            process.start("gdbus", QStringList{"call", "--session", "--dest", "com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer",
                                               "--object-path", "/com/oxbel/tuvo/renderer/sample_renderer", "--method",
                                               "com.oxbel.tuvo.renderer." + method} + arguments);
            process.waitForFinished(20000);
            return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
        };
        QCOMPARE(gdbus("get_position", {}), "(uint32 0,)");
        QVERIFY(gdbus("get_current_media_info", {""}).contains("failed to get media info"));
        QCOMPARE(gdbus("play_uri", {"sample:///track_1", "0"}), "()");
        QCOMPARE(gdbus("get_current_media_info", {"title"}), "(('track_1', {'title': [<'Low Tide'>]}),)");
        QCOMPARE(gdbus("get_status", {}), "('', uint32 0, 1, 'track_1')");
        QVERIFY(sample.isRunning());
    }
};

QTEST_GUILESS_MAIN(tst_WrapperProcess)
#include "tst_wrapperprocess.moc"
