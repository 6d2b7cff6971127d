#include "BusClient.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
const QString Marker = QStringLiteral("/tmp/enable-tuvo-plugins-debug");
}

// The per-plugin log file that the debug marker file switches on.
class tst_WrapperLog : public QObject
{
    Q_OBJECT

    bool createdMarker = false;

    static QString readFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }

private Q_SLOTS:
    void cleanup()
    {
        if (createdMarker)
            QFile::remove(Marker);
        createdMarker = false;
    }

    void noMarkerNoFile()
    {
        if (QFile::exists(Marker))
            QSKIP("the debug marker file exists on this machine");
        QTemporaryDir home;
        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        wrapper.sendSignal(SIGTERM);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void markerWritesAppendingLogInHome()
    {
        if (!QFile::exists(Marker)) {
            QFile marker(Marker);
            QVERIFY(marker.open(QIODevice::WriteOnly));
            createdMarker = true;
        }
        QTemporaryDir home;
        const QString logPath = home.filePath(QStringLiteral("libtuvo-test-plugin.log"));
        {
            QFile earlier(logPath);
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier line\n");
        }

        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"),
                       QStringLiteral("source:b_src:P:b;renderer:a_ren:P:a"));
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        BusClient client;
        QVERIFY(client.activate(QStringLiteral("libtuvo_test_plugin")));
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.source.P.b_src")));
        wrapper.sendSignal(SIGTERM);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 0);

        const QString log = readFile(logPath);
        QVERIFY(log.startsWith(QLatin1String("earlier line\n")));
        QVERIFY(log.contains(QLatin1String("Starting new plugin:  ") + TestPaths::testPlugin()));
        QVERIFY(log.contains(QLatin1String("tuvo-dbus-wrapper revision: N/A")));
        QVERIFY(log.contains(QLatin1String("tuvo-dbus-wrapper builtime:")));
        QVERIFY(log.contains(QLatin1String("activated:  \"") + TestPaths::testPlugin() + QLatin1Char('"')));
        QVERIFY(log.contains(QLatin1String("void TuvoDBusWrapper::deinitialize()")));

        // One line per message, each stamped with time and level.
        const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QRegularExpression stamp(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[(debug|warning|critical)\\] "));
        int stamped = 0;
        for (const QString &line : lines)
            stamped += stamp.match(line).hasMatch() ? 1 : 0;
        QVERIFY(stamped > 10);

        // Withdrawal at quit, in ascending key order.
        QStringList unregistered;
        for (const QString &line : lines) {
            const int at = line.indexOf(QLatin1String("unregister object "));
            if (at >= 0)
                unregistered.append(line.mid(at + 18).section(QLatin1Char(' '), 0, 0));
        }
        QCOMPARE(unregistered, (QStringList{QStringLiteral("\"/com/oxbel/tuvo/plugin/libtuvo_test_plugin\""),
                                            QStringLiteral("\"/com/oxbel/tuvo/renderer/a_ren\""),
                                            QStringLiteral("\"/com/oxbel/tuvo/source/b_src\"")}));
    }
};

QTEST_GUILESS_MAIN(tst_WrapperLog)
#include "tst_wrapperlog.moc"
