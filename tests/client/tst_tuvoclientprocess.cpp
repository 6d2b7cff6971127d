// tuvo-client and tuvo-mpris as real processes against the real wrapper and the test
// plugin on a private bus. Each row is a script: start the wrapper, drive the test plugin
// through its controls, run tuvo-client, the bash completion or playerctl (alongside the
// script from "run" on), then check its exit status and output and what reached the
// renderers. A few cases use the same steps to reach tuvo-mpris's playlists and clock,
// and to browse at length into a proxy-source object of this process.
#include "BusClient.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoBusNames.h>
#include <TuvoDBusValue.h>
#include <TuvoMprisActivePlaylistDBusStruct.h>
#include <TuvoMprisPlaylistDBusStruct.h>

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <memory>
#include <tuple>

namespace {
const QString Objects = QStringLiteral("source:s_one:Test Plugin:Source One;renderer:r_one:Test Plugin:Renderer One;"
                                       "renderer:r_two:Test Plugin:Renderer Two");
const QString Player = QStringLiteral("org.mpris.MediaPlayer2.tuvo.r_one"), MprisPath = QStringLiteral("/org/mpris/MediaPlayer2");
// r_one answers at once: paused 42 s into track_7, item 1 of "morning", with media info "I".
const QStringList Answers{"ctl|renderer/r_one|set_status|morning|u:1|i:2|track_7", "ctl|renderer/r_one|set_position|u:42",
                          "ctl|renderer/r_one|set_media_info|track_7|I", "ctl|renderer/r_one|set_query_mode|status|now",
                          "ctl|renderer/r_one|set_query_mode|position|now", "ctl|renderer/r_one|set_query_mode|media_info|now"};
const QStringList Answering = QStringList{"wrapper", "activate"} + Answers;
// The same seen by tuvo-mpris, started before the wrapper, whose first questions
// may have come before, with "morning" assigned through the wrapper (which walks only such a playlist).
const QStringList Mpris = QStringList{"mpris", "wrapper", "activate"} + Answers
                          + QStringList{"drain|renderer/r_one|status|answer_status|morning|u:1|i:2|track_7",
                                        "drain|renderer/r_one|position|answer_position|u:42", "drain|renderer/r_one|media_info|answer_media_info|track_7|I",
                                        "cli|assign-playlist|r_one|morning", "player|Paused", "ctl|renderer/r_one|clear_calls"};

// A control argument from its text: u:, i:, d:, b: typed, v: in a variant, l: a string
// list, L: a list of strings and ints, M: metadata of every type, I: a media info.
QVariant argument(const QString &text)
{
    const QString v = text.mid(2);
    const auto item = [](const QString &s) { bool ok; const int i = s.toInt(&ok); return ok ? QVariant(i) : QVariant(s); };
    if (text.startsWith(QLatin1String("u:")))
        return v.toUInt();
    if (text.startsWith(QLatin1String("i:")))
        return v.toInt();
    if (text.startsWith(QLatin1String("d:")))
        return v.toDouble();
    if (text.startsWith(QLatin1String("b:")))
        return v == QLatin1String("true");
    if (text.startsWith(QLatin1String("v:")))
        return QVariant::fromValue(QDBusVariant(v == QLatin1String("true") ? QVariant(true) : item(v)));
    if (text.startsWith(QLatin1String("l:")))
        return v.split(QLatin1Char(','));
    if (text.startsWith(QLatin1String("L:"))) {
        QVariantList list;
        for (const QString &s : v.split(QLatin1Char(',')))
            list.append(item(s));
        return list;
    }
    if (text == QLatin1String("M"))
        return QVariantMap{{"bool", true}, {"double", 0.25}, {"int", -1}, {"int64", (qlonglong(1) << 40) - 1},
                           {"string", "Title 1"}, {"uint", 1u}, {"uint64", qulonglong(1) << 58}};
    if (text == QLatin1String("I"))
        return QVariantMap{{"artist", QVariantList{QVariant::fromValue(QDBusVariant("Ada")),
                                                   QVariant::fromValue(QDBusVariant("Ben"))}},
                           {"duration", 212u}, {"title", "Low Tide"}};
    return text;
}

// A reply as text: lists in brackets, unsigned numbers with a "u".
QString render(const QVariant &value)
{
    const QVariant v = TuvoDBusValue::plain(value);
    if (v.metaType() == QMetaType::fromType<uint>())
        return v.toString() + QLatin1Char('u');
    if (v.metaType() != QMetaType::fromType<QVariantList>() && v.metaType() != QMetaType::fromType<QStringList>())
        return v.toString();
    QStringList items;
    for (const QVariant &item : v.toList())
        items.append(render(item));
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

// A proxy-source object of this process, for a long browse: slow, stopping for a while or never
// answering its result calls (an error answer takes the same way in the wrapper). It counts what
// comes out of order.
enum Answer { Reply, Never, Pause };

class ProxySource : public QDBusVirtualObject
{
public:
    Answer answer = Reply;
    int slowUs = 0;
    uint total = 0;
    uint next = 0;
    int disordered = 0;
    bool ended = false;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("browse_result"))
            return false;
        QThread::usleep(ulong(slowUs));
        // A little longer than the wrapper waits for an answer: long enough to be given up,
        // short enough that the results sent meanwhile stay well below the 63 MiB at which
        // libdbus stops reading (which this plain receiver, unlike the client library,
        // would not survive).
        if (answer == Pause && next == 2000)
            QThread::msleep(3300);
        const auto records = qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(message.arguments().at(1));
        for (const TuvoBrowseResultDBusStruct &record : records) {
            if (record.index != next || record.remainingCount != int(total - 1 - next) || ended)
                ++disordered;
            ++next;
            ended = record.remainingCount == 0;
        }
        if (message.isReplyRequired() && answer != Never)
            connection.send(message.createReply());
        return true;
    }
};
} // namespace

class tst_TuvoClientProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> activator;
    BusClient controller;
    QProcess client, bridge;
    QByteArray stdOut, stdErr;
    QElapsedTimer clock;
    uint id = 0;
    int maxMs = 0;

    // Calls control \a step[1] ("source/s_one", "plugin") of the test plugin.
    QDBusMessage control(QStringList step, uint id)
    {
        const QString object = step.value(1), kind = object.section(QLatin1Char('/'), 0, 0);
        QVariantList args;
        for (const QString &text : step.mid(3))
            args.append(text == QLatin1String("$ID") ? QVariant(id) : argument(text));
        return controller.call(QStringLiteral("com.oxbel.tuvo.testplugin"),
                               QStringLiteral("/com/oxbel/tuvo/test") + (kind == QLatin1String("plugin") ? QString() : QLatin1Char('/') + object),
                               QStringLiteral("com.oxbel.tuvo.test.") + kind.left(1).toUpper() + kind.mid(1), step.value(2), args);
    }
    QStringList calls() { return control({QString(), QStringLiteral("renderer/r_one"), QStringLiteral("calls")}, 0).arguments().value(0).toStringList(); }
    QVariant property(const QString &interface, const QString &name)
    {
        const QDBusMessage reply = controller.call(Player, MprisPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                                   {QStringLiteral("org.mpris.MediaPlayer2.") + interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void start(const QStringList &args)
    {
        if (args.value(0) == QLatin1String("@complete")) { // the bash completion on these words
            QStringList words{QStringLiteral("'" TUVO_CLIENT_BINARY "'")};
            for (const QString &word : args.mid(1))
                words.append(QLatin1Char('\'') + word + QLatin1Char('\''));
            const QString script = QStringLiteral("source '" TUVO_CLIENT_COMPLETION "'; COMP_WORDS=(%1); COMP_CWORD=%2; "
                                                  "_tuvo_client; printf '%s\\n' \"${COMPREPLY[@]}\"");
            client.start(QStringLiteral("bash"), {QStringLiteral("-c"), script.arg(words.join(QLatin1Char(' '))).arg(words.size() - 1)});
        } else if (args.value(0) == QLatin1String("@playerctl")) {
            client.start(QStringLiteral("playerctl"), args.mid(1));
        } else {
            client.start(QStringLiteral(TUVO_CLIENT_BINARY), args);
        }
        clock.start();
        QVERIFY(client.waitForStarted(5000));
    }
    bool waitFor(const std::function<bool()> &done, int ms = 10000)
    {
        return QTest::qWaitFor([&] { stdOut += client.readAllStandardOutput(); stdErr += client.readAllStandardError(); return done(); }, ms);
    }

    // Steps, "|" between words: wrapper, unlisted (one of the test plugin under a name the bus
    // cannot start), failing (an unlisted one whose plugin fails), activate,
    // "ctl|OBJECT|MEMBER|ARGS..." (a control of the test plugin), "is|...|ANSWER" and
    // "until|...|=ANSWER" or "until|...|~PART" (a control's answer, waited for),
    // "drain|OBJECT|QUERY|MEMBER|ARGS..." (answers each kept request of QUERY), "op|browses"
    // (the id, $ID, of the operation the client started), "cli|ARGS..." (another tuvo-client,
    // to succeed), mpris (tuvo-mpris), "player|STATUS" (its player, once it shows that status and media),
    // run, out|TEXT, err|TEXT, complete, "sig|N", exit, freeze, kill, drop, "killowner|BUS", "name|BUS|1/0",
    // "wrapperexit|CODE", "wait|MS", "max|MS" (the client's time limit).
    void perform(const QStringList &script, const QStringList &args)
    {
        stdOut.clear();
        stdErr.clear();
        id = 0;
        maxMs = 0;
        for (const QString &line : std::as_const(script)) {
            const QStringList step = line.split(QLatin1Char('|'));
            const QString what = step.first(), value = QString(step.value(1)).replace(QLatin1String("$ID"), QString::number(id));
            if (what == QLatin1String("wrapper") || what == QLatin1String("unlisted") || what == QLatin1String("failing")) {
                const QString unlisted = home.filePath(QStringLiteral("libtuvo-unlisted-plugin.so"));
                QVERIFY(what == QLatin1String("wrapper") || QFile::exists(unlisted) || QFile::copy(TestPaths::testPlugin(), unlisted));
                wrapper = std::make_unique<WrapperProcess>();
                wrapper->setHome(home.path());
                wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), Objects);
                wrapper->setEnv(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
                if (what == QLatin1String("failing"))
                    wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_FAIL"), QStringLiteral("1"));
                QVERIFY(wrapper->startWithPlugin(what == QLatin1String("wrapper") ? TestPaths::testPlugin() : unlisted));
            } else if (what == QLatin1String("activate")) {
                activator = std::make_unique<BusClient>();
                QVERIFY(activator->activate(QStringLiteral("libtuvo_test_plugin")));
                QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_one")));
            } else if (what == QLatin1String("ctl")) {
                QCOMPARE(control(step, id).type(), QDBusMessage::ReplyMessage);
            } else if (what == QLatin1String("is") || what == QLatin1String("until")) { // the control's answer, rendered
                const QString expected = QString(step.last()).replace(QLatin1String("$ID"), QString::number(id))
                                             .remove(QRegularExpression(QStringLiteral("^[=~]")));
                const bool part = step.last().startsWith(QLatin1Char('~'));
                QString got;
                (void)QTest::qWaitFor([&] {
                    QStringList parts;
                    for (const QVariant &a : control(step.mid(0, step.size() - 1), id).arguments())
                        parts.append(render(a));
                    got = parts.join(QLatin1Char(';'));
                    return part ? got.contains(expected) : got == expected;
                }, 10000);
                QVERIFY2(part ? got.contains(expected) : got == expected, qPrintable(got));
            } else if (what == QLatin1String("drain")) { // answers each request of a query the renderer kept
                while (control({QString(), value, QStringLiteral("outstanding"), step.value(2)}, id).arguments().value(0).toInt() > 0)
                    QVERIFY(control(QStringList{QString(), value} + step.mid(3), id).arguments().value(0).toBool());
            } else if (what == QLatin1String("op")) { // the id of the operation the client started
                QVERIFY(QTest::qWaitFor([&] {
                    id = qdbus_cast<QList<uint>>(control({QString(), QStringLiteral("source/s_one"), value}, 0).arguments().value(0)).value(0);
                    return id != 0;
                }, 10000));
            } else if (what == QLatin1String("cli")) {
                QProcess other;
                other.start(QStringLiteral(TUVO_CLIENT_BINARY), step.mid(1));
                QVERIFY(QTest::qWaitFor([&] { return other.state() == QProcess::NotRunning; }, 20000));
                QCOMPARE(other.exitCode(), 0);
            } else if (what == QLatin1String("run")) {
                start(args);
            } else if (what == QLatin1String("out")) {
                QVERIFY2(waitFor([&] { return stdOut.contains(value.toUtf8()); }), qPrintable(value));
            } else if (what == QLatin1String("err")) {
                QVERIFY2(waitFor([&] { return stdErr.contains(value.toUtf8()); }), qPrintable(value));
            } else if (what == QLatin1String("sig")) {
                ::kill(pid_t(client.processId()), value.toInt());
            } else if (what == QLatin1String("exit")) {
                QVERIFY(waitFor([&] { return client.state() == QProcess::NotRunning; }, 20000));
            } else if (what == QLatin1String("complete")) { // each line is written whole as it happens
                QVERIFY(stdOut.endsWith('\n'));
            } else if (what == QLatin1String("freeze")) {
                wrapper->sendSignal(SIGSTOP);
            } else if (what == QLatin1String("drop")) { // the activating client leaves
                activator.reset();
            } else if (what == QLatin1String("killowner")) { // the process that owns the name
                const QDBusReply<uint> pid = controller.connection().interface()->servicePid(value);
                QVERIFY(pid.isValid());
                ::kill(pid_t(pid.value()), SIGKILL);
            } else if (what == QLatin1String("kill")) {
                wrapper->kill();
                activator.reset();
            } else if (what == QLatin1String("name")) {
                QVERIFY(TestBus::waitForName(value, step.value(2) == QLatin1String("1")));
            } else if (what == QLatin1String("wrapperexit")) {
                QVERIFY(wrapper->waitForExit());
                QCOMPARE(wrapper->exitCode(), value.toInt());
            } else if (what == QLatin1String("mpris")) {
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("HOME"), home.path());
                env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
                bridge.setProcessEnvironment(env);
                bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
                bridge.start(QStringLiteral(TUVO_MPRIS_BINARY), {});
                QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.mpris")));
            } else if (what == QLatin1String("player")) {
                QVERIFY(TestBus::waitForName(Player));
                QTRY_VERIFY(property(QStringLiteral("Player"), QStringLiteral("PlaybackStatus")).toString() == value
                            && qdbus_cast<QVariantMap>(property(QStringLiteral("Player"), QStringLiteral("Metadata"))).contains("mpris:length"));
            } else if (what == QLatin1String("wait")) {
                QTest::qWait(value.toInt());
            } else if (what == QLatin1String("max")) { // the client ends within this many ms
                maxMs = value.toInt();
            } else {
                QFAIL(qPrintable(line));
            }
        }
    }

    // A row of runs(), whose columns say what the defaults are.
    static void row(const char *name, const QStringList &script, const QStringList &args, int exitCode = 0,
                    const QString &out = QStringLiteral("^$"), const QString &err = QStringLiteral("^$"), const QStringList &calls = {})
    {
        QTest::newRow(name) << script << args << exitCode << out << err << calls;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty(), "playerctl is missing (scripts/install-deps.sh installs it)");
        // Two playlists for tuvo-mpris and the wrapper: "morning" of three items, and "Evening".
        for (const auto &[name, items] : {std::pair{"morning", "a.ogg\nb.ogg\nc.ogg\n"}, std::pair{"evening", "#PLAYLIST:Evening\nd.ogg\n"}}) {
            QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("data/tuvo/playlists"))));
            QFile file(home.filePath(QStringLiteral("data/tuvo/playlists/%1.m3u").arg(QLatin1String(name))));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(items) > 0);
        }
    }

    void cleanup()
    {
        client.kill();
        client.waitForFinished(5000);
        bridge.terminate();
        bridge.waitForFinished(5000);
        if (wrapper)
            wrapper->sendSignal(SIGCONT);
        activator.reset();
        wrapper.reset();
        // The bus ends a wrapper it started once its last client leaves.
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin"), false, 20000));
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"), false, 20000));
    }

    void runs_data()
    {
        QTest::addColumn<QStringList>("script"); // the steps of perform()
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode"); // 0 unless given; -1: ended by a signal of the script
        QTest::addColumn<QString>("out"); // regular expressions, "^$" unless given
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("calls"); // at r_one and r_two ("none": nothing), unless empty

        const QStringList up{"wrapper", "activate"};
        const QString r1 = "com.oxbel.tuvo.renderer.Test-Plugin.r_one", r2 = "com.oxbel.tuvo.renderer.Test-Plugin.r_two";
        const QStringList none{"none"};
        // The bus starts the sample and test plugins' wrappers from their service files.
        row("nothing to list", {}, {"list", "renderer"}, 0);
        row("what the bus can start", {}, {"--json", "list", "plugin"}, 0,
            "\\{\"activatable\":true,\"bus_name\":\"com.oxbel.tuvo.plugin.libtuvo_sample_plugin\"");
        row("browse starts the wrapper", {}, {"--plugin", "sample", "browse", "sample_source", "albums"}, 0, "album_1");
        row("did you mean the plugin", {}, {"--plugin", "sampel", "list"}, 3, "^$", "did you mean \"sample\"\\?");
        row("list", up, {"list"}, 0,
            "^KIND .*\nplugin +libtuvo_test_plugin +libtuvo_test_plugin +com.oxbel.tuvo.plugin.libtuvo_test_plugin +-\n"
            "(plugin [^\n]*started on demand\\)\n)*plugin +libtuvo_sample_plugin [^\n]*\\(not running; started on demand\\)\n"
            "(plugin [^\n]*started on demand\\)\n)*"
            "source +s_one +libtuvo_test_plugin +com.oxbel.tuvo.source.Test-Plugin.s_one +Source One\nrenderer +r_one +\\S+ +"
            + r1 + " +Renderer One\nrenderer +r_two .*\n$", "^$", none);
        row("list renderers, json", up, {"list", "renderer", "--json"}, 0,
            "^\\{\"bus_name\":\"" + r1 + "\",\"kind\":\"renderer\",\"name\":\"r_one\",\"owner\":\":1\\.\\d+\",\"plugin\":"
            "\"libtuvo_test_plugin\",\"plugin_name\":\"Test Plugin\",\"title\":\"Renderer One\"\\}\n\\{[^\n]*\"title\":\"Renderer Two\"\\}\n$", "^$", none);
        row("the name list prints", up, {"stop", "r_two"}, 0, "^$", "^$", {"r_two:stop()"});
        row("ambiguous prefix", up, {"stop", "r_"}, 4, "^$", r1 + ".*" + r2, none);
        row("missing renderer", up, {"stop", "nothing"}, 3, "^$", "nothing", none);
        row("missing plugin", up, {"--plugin", "nosuch", "--json", "list"}, 3, "^$", "no plugin \"nosuch\"", none);
        row("help", {}, {"--help"}, 0, "\n  browse .*\n  seek ");
        row("help of a verb", {}, {"help", "seek"}, 0, "^Usage: tuvo-client \\[OPTIONS\\] seek");
        row("usage", up, {"stop"}, 2, "^$", "stop needs RENDERER", none);

        const QStringList playlist = up + QStringList{"ctl|renderer/r_one|add_playlist|list_one|l:sample:///track_1"};
        const QStringList assigned = playlist + QStringList{"cli|assign-playlist|r_one|list_one", "ctl|renderer/r_one|clear_calls"};
        const QList<std::tuple<const char *, QStringList, QString>> commands{
            {"play", {"play", "r_one"}, "play()"},
            {"play uri", {"play", "r_one", "sample:///track_1"}, "playUri(\"sample:///track_1\", 0)"},
            {"play uri at", {"play", "r_one", "sample:///track_1", "--start", "30"}, "playUri(\"sample:///track_1\", 30)"},
            {"play with content type", {"play", "r_one", "file:///a.ogg", "--content-type", "audio/ogg"},
             "playUriWithContentType(\"file:///a.ogg\", \"audio/ogg\")"},
            {"pause", {"pause", "r_one"}, "pause()"},
            {"pause at", {"pause", "--at", "12", "r_one"}, "pauseAt(12)"},
            {"resume", {"resume", "r_one"}, "resume()"},
            {"stop", {"stop", "r_one"}, "stop()"},
            {"seek to", {"seek", "r_one", "30"}, "setPosition(30, 0)"},
            {"seek ahead", {"seek", "r_one", "+10"}, "setPosition(10, 1)"},
            {"seek back", {"seek", "r_one", "-10"}, "setPosition(10, 2)"},
            {"seek back, suffix", {"seek", "r_one", "7-"}, "setPosition(7, 2)"},
            {"assign playlist", {"assign-playlist", "r_one", "list_one"}, "assignPlaylist(\"list_one\")"},
            {"next", {"next", "r_one"}, "next()"},
            {"previous", {"previous", "r_one"}, "previous()"},
            {"goto", {"goto", "r_one", "2"}, "gotoIndex(2)"}};
        for (const auto &[name, args, call] : commands) {
            const bool navigates = QStringList{"next", "previous", "goto"}.contains(args.first());
            row(name, (navigates ? assigned : playlist), args, 0, "^$", "^$", {"r_one:" + call});
        }

        const QStringList queries = Answering;
        row("status", queries, {"status", "r_one"}, 0, "^STATE.*\npaused +morning +1 +track_7\n$");
        row("status, json", queries, {"status", "r_one", "--json"}, 0,
            "^\\{\"object\":\"track_7\",\"playlist\":\"morning\",\"playlist_index\":1,\"state\":2,\"state_name\":\"paused\"\\}\n$");
        row("position", queries, {"position", "r_one"}, 0, "^42\n$");
        row("position, json", queries, {"position", "r_one", "-j"}, 0, "^\\{\"position\":42\\}\n$");
        row("media info", queries, {"media-info", "r_one"}, 0,
            "^KEY.*\nid +string +track_7\nartist +string +Ada\nartist +string +Ben\nduration +uint +212\ntitle +string +Low Tide\n$");
        row("media info, json", queries, {"media-info", "r_one", "duration", "--json"}, 0,
            "^\\{\"id\":\"track_7\",\"metadata\":\\{\"duration\":\\[212\\]\\},\"types\":\\{\"duration\":\\[\"uint\"\\]\\}\\}\n$");
        row("media info refused", up + QStringList{"ctl|renderer/r_one|set_query_mode|media_info|refuse"}, {"media-info", "r_one"}, 1, "^$",
            "failed to get media info");
        row("status ended by a renderer error",
            up + QStringList{"run", "until|renderer/r_one|outstanding|status|=1",
            "ctl|renderer/r_one|emit_error|i:327|no status"}, {"status", "r_one"}, 1, "^$", "Message cancelled\\.");

        const QStringList browse = up + QStringList{"run", "op|browses"};
        QString ordered = "^INDEX[^\n]*\n";
        for (int i = 0; i < 25; ++i)
            ordered += QStringLiteral("%1 +item_%1 +index=%1 title=\"Item %1\"\n").arg(i);
        row("browse in order", browse + QStringList{"is|source/s_one|last_browse|[albums,low,[],3u,25u]", "ctl|source/s_one|deliver_results|$ID|i:25|i:24"},
            {"browse", "s_one", "albums", "--skip", "3", "--count", "25", "--predicate", "low"}, 0, ordered + "$");
        // Each type in JSON is the JSON writer's table (tst_tuvoclijsonwriter).
        row("browse, every type", browse + QStringList{"ctl|source/s_one|deliver_result|$ID|$ID|item_0|M|u:0|i:0"}, {"browse", "s_one"}, 0,
            "^INDEX[^\n]*\n0 +item_0 +bool=true double=0.25 int=-1 int64=1099511627775 string=\"Title 1\" uint=1 uint64=288230376151711744\n$");
        const QStringList failing = browse + QStringList{"ctl|source/s_one|deliver_results|$ID|i:4|i:10", "ctl|source/s_one|deliver_error|$ID|$ID|u:7|backend gone"};
        row("error after results", failing, {"browse", "s_one"}, 1, "^INDEX[^\n]*\n0 ([^\n]*\n){3}3 +item_3 [^\n]*\n$",
            "browse failed with error 7: backend gone");
        row("error after results, json", failing, {"browse", "s_one", "-j"}, 1,
            "^(\\{\"id\".*\n){3}\\{\"id\":\"item_3\".*\n\\{\"error\":\\{\"code\":7,\"message\":\"[^\"]*backend gone\",\"type\":\"remote\"\\}\\}\n$",
            "browse failed with error 7: backend gone");
        for (int signal : {SIGINT, SIGTERM})
            row(signal == SIGINT ? "SIGINT cancels at the source" : "SIGTERM cancels at the source",
                browse + QStringList{"ctl|source/s_one|deliver_results|$ID|i:3|i:100", "out|\n2 ", "sig|" + QString::number(signal), "exit",
                "is|source/s_one|cancelled_browses|[$IDu]"}, {"browse", "s_one"}, 130, "", "cancelling the browse");
        row("query", up + QStringList{"run", "op|queries", "is|source/s_one|last_query|night ferry", "ctl|source/s_one|deliver_rows|$ID|i:12|i:11"},
            {"query", "s_one", "night ferry", "--json"}, 0, "^(\\{\"index\":\\d+,\"values\":\\[\"[^\n]*\\]\\}\n){11}\\{\"index\":11,.*\n$");
        row("query error right after its last rows",
            up + QStringList{"run", "op|queries", "ctl|source/s_one|deliver_row|$ID|$ID|l:a|u:0|i:5", "ctl|source/s_one|deliver_query_error|$ID|$ID|i:-3|index lost"},
            {"query", "s_one", "x"}, 1, "\"a\"", "query failed with error -3: index lost");

        const QStringList volume = up + QStringList{"ctl|properties/r_one|set_value|volume|v:80"};
        row("get", volume, {"get", "r_one", "volume"}, 0, "^80\n$");
        row("get, json", volume, {"get", "r_one", "volume", "--json"}, 0, "^\\{\"property\":\"volume\",\"type\":\"int\",\"value\":80\\}\n$");
        row("set as the type it has, then as a type", volume + QStringList{"cli|set|r_one|volume|40", "run", "exit", "is|properties/r_one|writes|[volume,volume];[40,41u]"},
            {"set", "r_one", "volume", "41", "--type", "uint"}, 0);
        row("set a word as a number", volume, {"set", "r_one", "volume", "loud"}, 2, "^$", "");
        row("set refused", volume + QStringList{"ctl|properties/r_one|set_write_result|b:false"}, {"set", "r_one", "volume", "500", "--type", "int"}, 1, "^$",
            "did not accept");
        row("watch a property",
            volume + QStringList{"run", "out|value    renderer r_one volume=80 (int)", "wait|100",
            "ctl|properties/r_one|emit_change|mute|v:true", "ctl|properties/r_one|emit_change|volume|v:55",
            "out|signal   renderer r_one property_changed volume=55 (int)", "sig|2"}, {"watch", "r_one", "volume"}, 0, "^(?!.*mute)");

        const QStringList frozen = up + QStringList{"freeze"};
        row("frozen renderer", frozen + QStringList{"max|2000"}, {"--timeout", "1", "status", "r_one"}, 5, "^$", r1 + " did not answer within 1 s");
        row("frozen plugin", frozen + QStringList{"max|1500"}, {"-t", "0.5", "--plugin", "test", "stop", "r_one"}, 5, "^$",
            "com.oxbel.tuvo.plugin.libtuvo_test_plugin");
        row("--plugin activates for the command", {"wrapper", "run", "exit", "name|" + r1 + "|0"}, {"--plugin", "test", "stop", "r_one"}, 0);
        row("--plugin waits for a late object",
            up + QStringList{"run", "wait|200", "ctl|plugin|add_object|renderer|r_late|Test Plugin|Late", "exit", "is|renderer/r_late|calls|[stop()]"},
            {"--plugin", "libtuvo_test_plugin", "stop", "r_late"}, 0);
        row("--plugin, an object that never comes", up, {"-t", "0.3", "-p", "test", "stop", "r_never"}, 3, "^$", "r_never");
        row("--plugin, a plugin that fails", {"failing", "max|10000", "run", "exit", "wrapperexit|1"}, {"-t", "20", "--plugin", "unlisted", "stop", "r_one"}, 3,
            "^$", "the process of the plugin libtuvo_unlisted_plugin left the bus");
        row("activate holds the plugin",
            {"wrapper", "run", "out|" + r2, "name|" + r1 + "|1",
            "err|keeping libtuvo_test_plugin active", "sig|2", "exit", "name|" + r1 + "|0"}, {"activate", "test"}, 0, "", "");
        row("activate starts again what the bus can start",
            {"run", "err|keeping libtuvo_test_plugin active", "killowner|com.oxbel.tuvo.plugin.libtuvo_test_plugin",
            "err|libtuvo_test_plugin is active again", "sig|2"}, {"activate", "test"}, 0, "", "");
        row("activate ends when nothing can start it again", {"unlisted", "run", "err|keeping libtuvo_unlisted_plugin active", "kill"},
            {"activate", "unlisted"}, 7, "", "the bus cannot start it again");

        row("watch objects and restarts",
            {"wrapper", "run", "out|present  plugin   libtuvo_test_plugin", "activate", "out|appeared renderer r_one " + r1,
            "out|hello    renderer r_two " + r2, "out|appeared source   s_one com.oxbel.tuvo.source.Test-Plugin.s_one",
            "ctl|plugin|remove_object|r_two", "out|vanished renderer r_two " + r2, "complete", "kill", "out|vanished plugin   libtuvo_test_plugin",
            "out|vanished renderer r_one", "wrapper", "activate", "out|appeared plugin   libtuvo_test_plugin", "wait|500", "sig|2"}, {"watch"}, 0,
            "vanished plugin.*appeared plugin.*appeared renderer r_one [^\n]*\n");
        const QStringList signalling = up + QStringList{"run", "out|present", "wait|100", "ctl|renderer/r_two|emit_state_changed|i:2",
            "ctl|renderer/r_one|emit_state_changed|i:1", "ctl|renderer/r_one|emit_media_changed|i:3|track_3",
            "ctl|renderer/r_one|emit_metadata_changed|artist|L:Ada,5", "ctl|renderer/r_one|emit_buffering_info|d:0.5",
            "ctl|renderer/r_one|emit_error|i:104|broken", "out|broken", "sig|15"};
        row("watch a renderer's signals", signalling, {"watch", "r_one"}, 0,
            "^(?!.*r_two).*\n\\S+ signal   renderer r_one state_changed state=1 \\(playing\\)\n\\S+ signal   renderer r_one media_changed index=3 "
            "objectId=\"track_3\"\n\\S+ signal   renderer r_one metadata_changed key=\"artist\" values=\\[\"Ada\", 5\\]\n\\S+ signal   renderer "
            "r_one buffering_info status=0.5\n\\S+ signal   renderer r_one error code=104 message=\"broken\"\n$");
        row("watch signals, json", signalling, {"watch", "--json"}, 0,
            "\\{\"args\":\\[\"artist\",\\[\"Ada\",5\\]\\],\"bus_name\":\"" + r1 + "\",\"event\":\"signal\",\"interface\":"
            "\"com.oxbel.tuvo.renderer\"[^\n]*\"signal\":\"metadata_changed\",[^\n]*\"types\":\\[\"string\",\"list\"\\]");

        row("complete a verb", {}, {"@complete", "br"}, 0, "^browse\n$", "");
        row("complete an option", {}, {"@complete", "browse", "x", "--sk"}, 0, "^--skip\n$", "");
        row("complete a kind", {}, {"@complete", "list", "re"}, 0, "^renderer\n$", "");
        row("complete a type", {}, {"@complete", "set", "r_one", "v", "1", "--type", "ui"}, 0, "^uint16\nuint\nuint64\n$", "");
        row("complete renderers", up, {"@complete", "play", "r_"}, 0, "^r_one\nr_two\n$", "");
        row("complete a bus name", up, {"@complete", "-t", "2", "stop", r1.chopped(2)}, 0, "^" + r1 + "\n$", "");
        row("complete sources", up, {"@complete", "browse", ""}, 0, "^s_one\ncom.oxbel.tuvo.source.Test-Plugin.s_one\n$", "");
        row("complete a plugin", up, {"@complete", "--plugin", "libtuvo_t"}, 0, "^libtuvo_test_plugin\n$", "");

        // Each key's mapping is the metadata table's (tst_tuvompris); here, that it reaches playerctl.
        const QStringList mpris = Mpris;
        const QStringList player{"@playerctl", "-p", "tuvo.r_one"};
        row("mpris status", mpris, player + QStringList{"status"}, 0, "^Paused\n$");
        row("mpris artists", mpris, player + QStringList{"metadata", "xesam:artist"}, 0, "^Ada, Ben\n$");
        row("mpris length", mpris, player + QStringList{"metadata", "mpris:length"}, 0, "^212000000\n$");
        row("mpris formatted", mpris, player + QStringList{"metadata", "--format", "{{artist}} - {{title}}"}, 0, "^Ada, Ben - Low Tide\n$");
        const QList<std::pair<QStringList, QString>> mprisCommands{
            {{"play"}, "play()"}, {{"pause"}, "pause()"}, {{"play-pause"}, "play()"}, {{"stop"}, "stop()"}, {{"next"}, "next()"},
            {{"previous"}, "previous()"}, {{"position", "10"}, "setPosition(10, 0)"}, {{"position", "5+"}, "setPosition(5, 1)"},
            {{"position", "3-"}, "setPosition(3, 2)"}, {{"open", "file:///m/x.ogg"}, "playUri(\"file:///m/x.ogg\", 0)"}};
        for (const auto &[command, call] : mprisCommands)
            row(qPrintable("mpris " + command.join(' ')), mpris + QStringList{"run", "exit", "until|renderer/r_one|calls|~" + call}, player + command, 0, "",
                "");
        row("mpris follows each state, and an error stops it",
            mpris + QStringList{"run", "out|Paused\n", "ctl|renderer/r_one|emit_state_changed|i:1", "out|Paused\nPlaying\n",
            "ctl|renderer/r_one|emit_state_changed|i:2", "out|Playing\nPaused\n", "ctl|renderer/r_one|emit_state_changed|i:0",
            "out|Paused\nStopped\n", "ctl|renderer/r_one|emit_state_changed|i:1", "out|Stopped\nPlaying\n",
            "ctl|renderer/r_one|emit_error|i:104|playback failed", "out|Playing\nStopped\n", "sig|15", "exit",
            "name|com.oxbel.tuvo.mpris|1"}, player + QStringList{"--follow", "status"}, -1, "", "");
        row("mpris finds a renderer that was there before it", Answering + QStringList{"mpris", "player|Paused", "run", "exit"},
            player + QStringList{"status"}, 0, "^Paused\n$");
        row("mpris player leaves with the plugin, the bridge stays",
            mpris + QStringList{"drop", "name|" + Player + "|0", "run", "exit", "name|com.oxbel.tuvo.mpris|1"}, {"@playerctl", "-l"}, 0, "^(?!.*tuvo)",
            "No players found");
    }

    void runs()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, calls);
        perform(script.contains(QStringLiteral("run")) ? script : script + QStringList{QStringLiteral("run")}, args);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(waitFor([&] { return client.state() == QProcess::NotRunning; }, 20000));
        const qint64 elapsed = clock.elapsed();
        const QString printed = QString::fromUtf8(stdOut), complaints = QString::fromUtf8(stdErr);
        QCOMPARE(client.exitStatus(), exitCode < 0 ? QProcess::CrashExit : QProcess::NormalExit);
        QVERIFY2(exitCode < 0 || client.exitCode() == exitCode, qPrintable(QString::number(client.exitCode()) + QLatin1Char(' ') + complaints));
        QVERIFY2(QRegularExpression(out, QRegularExpression::DotMatchesEverythingOption).match(printed).hasMatch(), qPrintable(printed.right(900)));
        QVERIFY2(QRegularExpression(err, QRegularExpression::DotMatchesEverythingOption).match(complaints).hasMatch(), qPrintable(complaints));
        if (maxMs > 0)
            QVERIFY2(elapsed < maxMs, qPrintable(QString::number(elapsed)));
        if (calls.isEmpty())
            return;
        QStringList reached;
        for (const QString &renderer : {QStringLiteral("r_one"), QStringLiteral("r_two")}) {
            const QDBusMessage answer = control({QString(), QStringLiteral("renderer/") + renderer, QStringLiteral("calls")}, 0);
            for (const QString &call : answer.arguments().value(0).toStringList())
                reached.append(renderer + QLatin1Char(':') + call);
        }
        QCOMPARE(reached, calls == QStringList{QStringLiteral("none")} ? QStringList() : calls);
    }

    void mprisPlaylists()
    {
        perform(Mpris, {});
        if (QTest::currentTestFailed())
            return;
        const QString playlists = QStringLiteral("org.mpris.MediaPlayer2.Playlists");
        QDBusMessage reply = controller.call(Player, MprisPath, playlists, QStringLiteral("GetPlaylists"), {0u, 10u, QStringLiteral("Alphabetical"), false});
        const auto lists = qdbus_cast<TuvoMprisPlaylistDBusList>(reply.arguments().value(0));
        QCOMPARE(lists.size(), 2);
        QCOMPARE(lists.at(0).name, QStringLiteral("Evening"));
        QCOMPARE(lists.at(1).name, QStringLiteral("morning"));
        QCOMPARE(property(QStringLiteral("Playlists"), QStringLiteral("PlaylistCount")).toUInt(), 2u);
        reply = controller.call(Player, MprisPath, playlists, QStringLiteral("ActivatePlaylist"), {QVariant::fromValue(lists.at(0).id)});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(calls().filter(QRegularExpression(QStringLiteral("^(assignPlaylist|play)\\("))),
                     (QStringList{QStringLiteral("assignPlaylist(\"evening\")"), QStringLiteral("play()")}));
        perform({QStringLiteral("ctl|renderer/r_one|emit_playlist_changed|evening")}, {});
        TuvoMprisActivePlaylistDBusStruct active;
        QTRY_VERIFY((active = qdbus_cast<TuvoMprisActivePlaylistDBusStruct>(
                         property(QStringLiteral("Playlists"), QStringLiteral("ActivePlaylist")).value<QDBusArgument>())).valid);
        QCOMPARE(active.playlist.id, lists.at(0).id);
        QCOMPARE(active.playlist.name, QStringLiteral("Evening"));
    }

    // Read ten times a second while playing, the position grows from the bridge's own clock.
    void mprisPositionComesFromTheClock()
    {
        perform(Mpris + QStringList{QStringLiteral("ctl|renderer/r_one|emit_state_changed|i:1")}, {});
        if (QTest::currentTestFailed())
            return;
        QElapsedTimer sincePlay;
        sincePlay.start();
        qlonglong position = 0;
        for (int i = 0; i < 5; ++i, QTest::qWait(100)) {
            const qlonglong read = property(QStringLiteral("Player"), QStringLiteral("Position")).toLongLong();
            QVERIFY2(read >= qMax(position, 42000000LL), qPrintable(QString::number(read)));
            position = read;
        }
        QVERIFY2(position <= 42000000 + (sincePlay.elapsed() + 1000) * 1000, qPrintable(QString::number(position)));
        QVERIFY2(calls().filter(QStringLiteral("getPosition")).size() <= 1, qPrintable(calls().join(QLatin1String("; "))));
    }

    // A long browse through the real wrapper: every result arrives, in order, and the wrapper gives
    // up waiting (with its warning) only for a client that does not answer, and waits again for one
    // that answers again.
    void longBrowse_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("slowUs");
        QTest::addColumn<uint>("results");
        QTest::addColumn<bool>("givenUp");
        QTest::addColumn<bool>("resumed");
        QTest::newRow("a slow client") << int(Reply) << 150 << 200000u << false << false;
        QTest::newRow("a client that stops for a while") << int(Pause) << 0 << 200000u << true << true;
        QTest::newRow("a client that never answers") << int(Never) << 0 << 20000u << true << false;
    }

    void longBrowse()
    {
        QFETCH(int, answer);
        QFETCH(int, slowUs);
        QFETCH(uint, results);
        QFETCH(bool, givenUp);
        QFETCH(bool, resumed);
        perform({QStringLiteral("wrapper"), QStringLiteral("activate")}, {});
        if (QTest::currentTestFailed())
            return;
        ProxySource proxy;
        proxy.answer = Answer(answer);
        proxy.slowUs = slowUs;
        proxy.total = results;
        const QString path = TuvoBusNames::proxySourceObjectPath(QStringLiteral("s_one"));
        QVERIFY(controller.connection().registerVirtualObject(path, &proxy));
        const QDBusMessage browse = controller.call(QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.s_one"),
                                                    TuvoBusNames::sourceObjectPath(QStringLiteral("s_one")), QStringLiteral("com.oxbel.tuvo.source"),
                                                    QStringLiteral("browse"), {QStringLiteral("root"), QString(), QStringList(), 0u, 0u});
        id = browse.arguments().value(0).toUInt();
        QVERIFY2(id != 0, qPrintable(browse.errorMessage()));
        QVERIFY(control({QString(), QStringLiteral("source/s_one"), QStringLiteral("stream_results"), QStringLiteral("$ID"),
                         QStringLiteral("i:%1").arg(results), QStringLiteral("i:100")}, id).arguments().value(0).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(proxy.ended, 120000);
        controller.connection().unregisterObject(path);
        QCOMPARE(proxy.next, results);
        QCOMPARE(proxy.disordered, 0);
        wrapper->stop();
        const QString log = wrapper->errorOutput();
        QCOMPARE(log.count(QLatin1String("did not answer a result call")), givenUp ? 1 : 0);
        QCOMPARE(log.count(QLatin1String("answers its result calls again")), resumed ? 1 : 0);
    }
};

QTEST_MAIN(tst_TuvoClientProcess)
#include "tst_tuvoclientprocess.moc"
