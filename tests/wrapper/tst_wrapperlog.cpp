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
        QFile file(home.filePath(QStringLiteral("libtuvo-test-plugin.log")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("earlier line\n") > 0);
        file.close();

        WrapperProcess wrapper;
        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QStringLiteral("source:b_src:P:b;renderer:a_ren:P:a"));
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        BusClient client;
        QVERIFY(client.activate(QStringLiteral("libtuvo_test_plugin")));
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.source.P.b_src")));
        wrapper.sendSignal(SIGTERM);
        QVERIFY(wrapper.waitForExit());
        QCOMPARE(wrapper.exitCode(), 0);

        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString log = QString::fromUtf8(file.readAll());
        QVERIFY(log.startsWith(QLatin1String("earlier line\n")));
        for (const QString &line : {QStringLiteral("Starting new plugin:  ") + TestPaths::testPlugin(),
                                    QStringLiteral("tuvo-dbus-wrapper revision: N/A"), QStringLiteral("tuvo-dbus-wrapper builtime:"),
                                    QStringLiteral("activated:  \"%1\"").arg(TestPaths::testPlugin()),
                                    QStringLiteral("void TuvoDBusWrapper::deinitialize()")})
            QVERIFY2(log.contains(line), qPrintable(line));

        // One line per message, each stamped with time and level; withdrawal at quit in
        // ascending key order.
        const QRegularExpression stamp(QStringLiteral(
            "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[(debug|warning|critical)\\] "));
        int stamped = 0;
        QStringList unregistered;
        for (const QString &line : log.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            stamped += stamp.match(line).hasMatch() ? 1 : 0;
            const int at = line.indexOf(QLatin1String("unregister object "));
            if (at >= 0)
                unregistered.append(line.mid(at + 18).section(QLatin1Char(' '), 0, 0));
        }
        QVERIFY(stamped > 10);
        QCOMPARE(unregistered, (QStringList{"\"/com/oxbel/tuvo/plugin/libtuvo_test_plugin\"",
                                            "\"/com/oxbel/tuvo/renderer/a_ren\"", "\"/com/oxbel/tuvo/source/b_src\""}));
    }
};

QTEST_GUILESS_MAIN(tst_WrapperLog)
#include "tst_wrapperlog.moc"
