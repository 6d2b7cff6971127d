#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString SampleControl = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin");
const QString TestControl = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");

uint ownerPid(const QString &name)
{
    const QDBusReply<uint> pid = QDBusConnection::sessionBus().interface()->servicePid(name);
    return pid.isValid() ? pid.value() : 0;
}
} // namespace

// tuvo-client on a bus that starts the build tree's wrappers from their service files:
// plugins are named and used before any wrapper runs. With no screensaver on the bus, a
// wrapper started this way ends after its last client (every case ends waiting for
// that), and the next call starts a new one.
// tuvo-client holding an activation in the background; what it says on standard error.
struct Holder
{
    explicit Holder(const QStringList &arguments) { process.start(QStringLiteral(TUVO_CLIENT_BINARY), arguments); }
    ~Holder()
    {
        process.kill();
        process.waitForFinished();
    }
    bool waitForError(const QString &text)
    {
        return QTest::qWaitFor([&] {
            errors += QString::fromUtf8(process.readAllStandardError());
            return errors.contains(text);
        }, 10000);
    }
    QProcess process;
    QString errors;
};

class tst_TuvoClientActivation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        // Every case starts from a bus where no wrapper runs.
        QVERIFY(TestBus::waitForName(SampleControl, false, 20000));
        QVERIFY(TestBus::waitForName(TestControl, false, 20000));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("browse starts the wrapper")
            << QStringList{"--plugin", "sample", "browse", "sample_source", "albums"} << 0 << "album_1" << "";
        QTest::newRow("list shows what the bus can start")
            << QStringList{"list", "plugin"} << 0 << "libtuvo_sample_plugin" << "";
        QTest::newRow("marked as not running") << QStringList{"list"} << 0 << "(not running; started on demand)" << "";
        QTest::newRow("json says activatable")
            << QStringList{"--json", "list", "plugin"} << 0 << "\"activatable\":true" << "";
        QTest::newRow("a plugin that is nowhere")
            << QStringList{"--plugin", "nosuch", "--json", "list"} << 3 << "" << "no plugin \"nosuch\"";
        QTest::newRow("did you mean the plugin")
            << QStringList{"--plugin", "sampel", "list"} << 3 << "" << "did you mean \"sample\"?";
        QTest::newRow("did you mean the verb") << QStringList{"brwose"} << 2 << "" << "did you mean \"browse\"?";
    }

    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess client;
        client.start(QStringLiteral(TUVO_CLIENT_BINARY), arguments);
        QVERIFY(client.waitForFinished(20000));
        const QString output = QString::fromUtf8(client.readAllStandardOutput());
        const QString errors = QString::fromUtf8(client.readAllStandardError());
        QVERIFY2(client.exitCode() == exitCode, qPrintable(errors));
        QVERIFY2(output.contains(out), qPrintable(output));
        QVERIFY2(errors.contains(err), qPrintable(errors));
        if (exitCode != 0)
            QVERIFY(!output.contains(QLatin1String("\"kind\"")));
    }

    void activateStartsAgainWhatTheBusCanStart()
    {
        Holder holder({QStringLiteral("activate"), QStringLiteral("test")});
        QVERIFY(holder.waitForError(QStringLiteral("keeping libtuvo_test_plugin active")));
        const uint first = ownerPid(TestControl);
        QVERIFY(first != 0);
        ::kill(pid_t(first), SIGKILL);
        QVERIFY(holder.waitForError(QStringLiteral("libtuvo_test_plugin is active again")));
        QVERIFY(ownerPid(TestControl) != first);
        ::kill(pid_t(holder.process.processId()), SIGINT);
        QVERIFY(holder.process.waitForFinished(20000));
        QCOMPARE(holder.process.exitCode(), 0);
    }

    void activateEndsWhenNothingCanStartItAgain()
    {
        // The test plugin under a name no service file has.
        QTemporaryDir dir;
        const QString plugin = dir.filePath(QStringLiteral("libtuvo-unlisted-plugin.so"));
        QVERIFY(QFile::copy(TestPaths::testPlugin(), plugin));
        WrapperProcess wrapper;
        wrapper.setHome(dir.path());
        QVERIFY(wrapper.startWithPlugin(plugin));
        Holder holder({QStringLiteral("activate"), QStringLiteral("unlisted")});
        QVERIFY(holder.waitForError(QStringLiteral("keeping libtuvo_unlisted_plugin active")));
        wrapper.kill();
        QVERIFY(holder.process.waitForFinished(20000));
        QCOMPARE(holder.process.exitCode(), 7);
        QVERIFY(holder.waitForError(QStringLiteral("the bus cannot start it again")));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoClientActivation)
#include "tst_tuvoclientactivation.moc"
