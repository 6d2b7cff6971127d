// tuvo-mpris as a real process between the real wrapper with the test plugin, whose
// renderer control says what reached the renderer and makes it answer and signal, and
// Debian's playerctl, on a private bus.

#include "BusClient.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoMprisActivePlaylistDBusStruct.h>
#include <TuvoMprisPlaylistDBusStruct.h>

#include <QDBusArgument>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString PluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString Player = QStringLiteral("org.mpris.MediaPlayer2.tuvo.r_one");
const QString PlayerName = QStringLiteral("tuvo.r_one");
const QString MprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString PlaylistsInterface = QStringLiteral("org.mpris.MediaPlayer2.Playlists");

struct Run {
    bool finished = false;
    int exitCode = -1;
    QString out;
};

Run playerctl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("playerctl"), arguments);
    Run run;
    run.finished = process.waitForFinished(15000);
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return run;
}
} // namespace

class tst_TuvoMprisProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    WrapperProcess wrapper;
    QProcess bridge;
    std::unique_ptr<BusClient> activator;
    BusClient client;

    QDBusMessage control(const QString &member, const QVariantList &args = {})
    {
        return client.call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test/renderer/r_one"),
                           QStringLiteral("com.oxbel.tuvo.test.Renderer"), member, args);
    }

    QStringList calls() { return control(QStringLiteral("calls")).arguments().value(0).toStringList(); }

    QVariant property(const QString &interface, const QString &name)
    {
        const QDBusMessage reply = client.call(Player, MprisPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                               QStringLiteral("Get"), {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    // Answers the bridge's first questions of \a query, and lets the renderer answer later ones at once.
    bool answerFirst(const QString &query, const QString &answer, const QVariantList &args)
    {
        const auto outstanding = [&] {
            return control(QStringLiteral("outstanding"), {query}).arguments().value(0).toInt();
        };
        if (!QTest::qWaitFor([&] { return outstanding() > 0; }, 10000))
            return false;
        if (!control(QStringLiteral("set_query_mode"), {query, QStringLiteral("now")}).arguments().value(0).toBool())
            return false;
        while (outstanding() > 0) {
            if (!control(answer, args).arguments().value(0).toBool())
                return false;
        }
        return true;
    }

    static bool writeFile(const QString &path, const QByteArray &data)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty(),
                 "playerctl is missing (scripts/install-deps.sh installs it)");
        QVERIFY(home.isValid());
        const QString data = home.filePath(QStringLiteral("data"));
        QVERIFY(writeFile(data + QStringLiteral("/tuvo/playlists/morning.m3u"), "a.ogg\nb.ogg\nc.ogg\n"));
        QVERIFY(writeFile(data + QStringLiteral("/tuvo/playlists/evening.m3u"), "#PLAYLIST:Evening\nd.ogg\n"));

        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("XDG_DATA_HOME"), data);
        wrapper.setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QStringLiteral("renderer:r_one:Test Plugin:Renderer One"));
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        bridge.setProcessEnvironment(env);
        bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bridge.start(QStringLiteral(TUVO_MPRIS_BINARY), {});
        QVERIFY(bridge.waitForStarted());
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.mpris")));

        activator = std::make_unique<BusClient>();
        QVERIFY(activator->activate(PluginName));
        QVERIFY(TestBus::waitForName(Player));
        // The renderer is paused on the second item of "morning", 42 s in.
        QVERIFY(answerFirst(QStringLiteral("status"), QStringLiteral("answer_status"),
                            {QStringLiteral("morning"), 1u, 2, QStringLiteral("item-2")}));
        control(QStringLiteral("set_status"), {QStringLiteral("morning"), 1u, 2, QStringLiteral("item-2")});
        const QVariantMap media{{QStringLiteral("title"), QStringLiteral("Song Two")},
                                {QStringLiteral("artist"), QVariantList{QStringLiteral("Ann"), QStringLiteral("Bo")}},
                                {QStringLiteral("album"), QStringLiteral("Mornings")},
                                {QStringLiteral("uri"), QStringLiteral("file:///m/b.ogg")},
                                {QStringLiteral("duration"), 180u}};
        control(QStringLiteral("set_media_info"), {QStringLiteral("item-2"), media});
        QVERIFY(answerFirst(QStringLiteral("media_info"), QStringLiteral("answer_media_info"),
                            {QStringLiteral("item-2"), media}));
        control(QStringLiteral("set_position"), {42u});
        QVERIFY(answerFirst(QStringLiteral("position"), QStringLiteral("answer_position"), {42u}));
        // The wrapper walks only a playlist assigned through it.
        client.call(QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_one"), QStringLiteral("/com/oxbel/tuvo/renderer/r_one"),
                    QStringLiteral("com.oxbel.tuvo.renderer"), QStringLiteral("assign_playlist"), {QStringLiteral("morning")});
        QTRY_COMPARE(property(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("PlaybackStatus")).toString(),
                     QStringLiteral("Paused"));
    }

    void cleanupTestCase()
    {
        bridge.terminate();
        bridge.waitForFinished(5000);
    }

    void listsThePlayer()
    {
        const Run run = playerctl({QStringLiteral("-l")});
        QVERIFY(run.finished);
        QVERIFY2(run.out.split(QLatin1Char('\n')).contains(PlayerName), qPrintable(run.out));
    }

    // Each key's mapping is the metadata table's (tst_tuvompris); here, that it reaches playerctl.
    void readsStateAndMediaInfo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("status") << QStringList{"status"} << "Paused";
        QTest::newRow("artists") << QStringList{"metadata", "xesam:artist"} << "Ann, Bo";
        QTest::newRow("length") << QStringList{"metadata", "mpris:length"} << "180000000";
        QTest::newRow("formatted") << QStringList{"metadata", "--format", "{{artist}} - {{title}}"} << "Ann, Bo - Song Two";
    }

    void readsStateAndMediaInfo()
    {
        QFETCH(QStringList, arguments);
        const Run run = playerctl(QStringList{QStringLiteral("-p"), PlayerName} + arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QTEST(run.out, "expected");
    }

    // The renderer is paused, on item 1 of 3 of "morning", so each command is allowed.
    void commandsReachTheRenderer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("call");
        QTest::newRow("play") << QStringList{"play"} << "play()";
        QTest::newRow("pause") << QStringList{"pause"} << "pause()";
        QTest::newRow("play-pause while paused") << QStringList{"play-pause"} << "play()";
        QTest::newRow("stop") << QStringList{"stop"} << "stop()";
        QTest::newRow("next") << QStringList{"next"} << "next()";
        QTest::newRow("previous") << QStringList{"previous"} << "previous()";
        QTest::newRow("position 10") << QStringList{"position", "10"} << "setPosition(10, 0)";
        QTest::newRow("position 5+") << QStringList{"position", "5+"} << "setPosition(5, 1)";
        QTest::newRow("position 3-") << QStringList{"position", "3-"} << "setPosition(3, 2)";
        QTest::newRow("open") << QStringList{"open", "file:///m/x.ogg"} << "playUri(\"file:///m/x.ogg\", 0)";
    }

    void commandsReachTheRenderer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, call);
        control(QStringLiteral("clear_calls"));
        const Run run = playerctl(QStringList{QStringLiteral("-p"), PlayerName} + arguments);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QTRY_VERIFY2(calls().contains(call), qPrintable(calls().join(QLatin1String("; "))));
    }

    void followPrintsEachStateAndErrorsStop()
    {
        QProcess follow;
        follow.start(QStringLiteral("playerctl"), {QStringLiteral("-p"), PlayerName, QStringLiteral("--follow"),
                                                   QStringLiteral("status")});
        QString out;
        const auto waitForLine = [&](const QString &line) {
            return QTest::qWaitFor([&] {
                out += QString::fromUtf8(follow.readAllStandardOutput());
                return out.split(QLatin1Char('\n')).contains(line);
            }, 10000);
        };
        QVERIFY2(waitForLine(QStringLiteral("Paused")), qPrintable(out));
        const struct {
            int state;
            const char *line;
        } steps[] = {{1, "Playing"}, {2, "Paused"}, {0, "Stopped"}, {1, "Playing"}};
        for (const auto &step : steps) {
            out.clear();
            control(QStringLiteral("emit_state_changed"), {step.state});
            QVERIFY2(waitForLine(QLatin1String(step.line)), qPrintable(out));
        }
        // A renderer error stops the player; the bridge stays.
        out.clear();
        control(QStringLiteral("emit_error"), {104, QStringLiteral("playback failed")});
        QVERIFY2(waitForLine(QStringLiteral("Stopped")), qPrintable(out));
        follow.kill();
        follow.waitForFinished();
        QCOMPARE(bridge.state(), QProcess::Running);
        control(QStringLiteral("emit_state_changed"), {2});
    }

    void playlistsListAndActivate()
    {
        QDBusMessage reply = client.call(Player, MprisPath, PlaylistsInterface, QStringLiteral("GetPlaylists"),
                                         {0u, 10u, QStringLiteral("Alphabetical"), false});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const auto lists = qdbus_cast<TuvoMprisPlaylistDBusList>(reply.arguments().value(0));
        QCOMPARE(lists.size(), 2);
        QCOMPARE(lists.at(0).name, QStringLiteral("Evening"));
        QCOMPARE(lists.at(1).name, QStringLiteral("morning"));
        QCOMPARE(property(PlaylistsInterface, QStringLiteral("PlaylistCount")).toUInt(), 2u);

        control(QStringLiteral("clear_calls"));
        reply = client.call(Player, MprisPath, PlaylistsInterface, QStringLiteral("ActivatePlaylist"),
                            {QVariant::fromValue(lists.at(0).id)});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(calls().filter(QRegularExpression(QStringLiteral("^(assignPlaylist|play)\\("))),
                     (QStringList{QStringLiteral("assignPlaylist(\"evening\")"), QStringLiteral("play()")}));

        control(QStringLiteral("emit_playlist_changed"), {QStringLiteral("evening")});
        TuvoMprisActivePlaylistDBusStruct active;
        QTRY_VERIFY((active = qdbus_cast<TuvoMprisActivePlaylistDBusStruct>(
                         property(PlaylistsInterface, QStringLiteral("ActivePlaylist")).value<QDBusArgument>()))
                        .valid);
        QCOMPARE(active.playlist.id, lists.at(0).id);
        QCOMPARE(active.playlist.name, QStringLiteral("Evening"));
    }

    void positionComesFromTheClock()
    {
        control(QStringLiteral("set_position"), {10u});
        QVERIFY(playerctl({QStringLiteral("-p"), PlayerName, QStringLiteral("position"), QStringLiteral("10")}).finished);
        QTRY_VERIFY(calls().contains(QStringLiteral("setPosition(10, 0)")));
        control(QStringLiteral("clear_calls"));
        QElapsedTimer sincePlay;
        control(QStringLiteral("emit_state_changed"), {1});
        sincePlay.start();
        // A client polling ten times a second.
        qlonglong position = 0;
        while (sincePlay.elapsed() < 500) {
            position = property(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Position")).toLongLong();
            QTest::qWait(100);
        }
        position = property(QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Position")).toLongLong();
        const qlonglong truthUs = 10000000 + sincePlay.elapsed() * 1000;
        QVERIFY2(qAbs(position - truthUs) <= 100000,
                 qPrintable(QStringLiteral("%1 us read, %2 us true").arg(position).arg(truthUs)));
        QVERIFY2(calls().filter(QStringLiteral("getPosition")).size() <= 1, qPrintable(calls().join(QLatin1String("; "))));
        control(QStringLiteral("emit_state_changed"), {2});
    }

    void playerLeavesWithThePlugin()
    {
        QVERIFY(activator->deactivate(PluginName));
        QVERIFY(TestBus::waitForName(Player, false));
        const Run run = playerctl({QStringLiteral("-l")});
        QVERIFY(!run.out.contains(PlayerName));
        QCOMPARE(bridge.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMprisProcess)
#include "tst_tuvomprisprocess.moc"
