// tuvo-client as a real process against the real wrapper and the test plugin on a private
// bus. Each row is a script: start the wrapper, drive the test plugin through its controls,
// run tuvo-client (alongside the script from "run" on), then check its exit status and
// output and what reached the renderers.
#include "BusClient.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoDBusValue.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <tuple>

namespace {
const QString Objects = QStringLiteral("source:s_one:Test Plugin:Source One;renderer:r_one:Test Plugin:Renderer One;"
                                       "renderer:r_two:Test Plugin:Renderer Two");

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
} // namespace

class tst_TuvoClientProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> activator;
    BusClient controller;
    QProcess client;
    QByteArray stdOut, stdErr;
    QElapsedTimer clock;

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
    void start(const QStringList &args)
    {
        if (args.value(0) == QLatin1String("@complete")) { // the bash completion on these words
            QStringList words{QStringLiteral("'" TUVO_CLIENT_BINARY "'")};
            for (const QString &word : args.mid(1))
                words.append(QLatin1Char('\'') + word + QLatin1Char('\''));
            const QString script = QStringLiteral("source '" TUVO_CLIENT_COMPLETION "'; COMP_WORDS=(%1); COMP_CWORD=%2; "
                                                  "_tuvo_client; printf '%s\\n' \"${COMPREPLY[@]}\"");
            client.start(QStringLiteral("bash"), {QStringLiteral("-c"), script.arg(words.join(QLatin1Char(' '))).arg(words.size() - 1)});
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

private Q_SLOTS:
    void cleanup()
    {
        client.kill();
        client.waitForFinished(5000);
        if (wrapper)
            wrapper->sendSignal(SIGCONT);
        activator.reset();
        wrapper.reset();
        QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin"), false));
    }

    void runs_data()
    {
        // Script steps, "|" between words: wrapper, failing (a wrapper whose plugin fails),
        // activate, "ctl|OBJECT|MEMBER|ARGS..." (a control of the test plugin), "is|...|ANSWER"
        // and "until|...|=ANSWER" (a control's answer, waited for), "op|browses" (the id, $ID,
        // of the operation the client started), "cli|ARGS..." (another tuvo-client, to succeed),
        // run, out|TEXT, err|TEXT, complete, "sig|N", exit, freeze, kill, "name|BUS|1/0",
        // "wrapperexit|CODE", "wait|MS", "max|MS" (the client's time limit).
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out"); // regular expressions
        QTest::addColumn<QString>("err");
        QTest::addColumn<QStringList>("calls"); // at r_one and r_two, unless empty

        const QStringList up{"wrapper", "activate"};
        const QString r1 = "com.oxbel.tuvo.renderer.Test-Plugin.r_one", r2 = "com.oxbel.tuvo.renderer.Test-Plugin.r_two";
        const QStringList none{"none"};
        QTest::newRow("nothing to list") << QStringList() << QStringList{"list"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("nothing to list, json") << QStringList() << QStringList{"list", "-j"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("list") << up << QStringList{"list"} << 0
            << "^KIND .*\nplugin +libtuvo_test_plugin +libtuvo_test_plugin +com.oxbel.tuvo.plugin.libtuvo_test_plugin +-\n"
               "source +s_one +libtuvo_test_plugin +com.oxbel.tuvo.source.Test-Plugin.s_one +Source One\nrenderer +r_one +\\S+ +"
               + r1 + " +Renderer One\nrenderer +r_two .*\n$" << "^$" << none;
        QTest::newRow("list renderers, json") << up << QStringList{"list", "renderer", "--json"} << 0
            << "^\\{\"bus_name\":\"" + r1 + "\",\"kind\":\"renderer\",\"name\":\"r_one\",\"owner\":\":1\\.\\d+\",\"plugin\":"
               "\"libtuvo_test_plugin\",\"plugin_name\":\"Test Plugin\",\"title\":\"Renderer One\"\\}\n\\{[^\n]*\"title\":\"Renderer Two\"\\}\n$" << "^$" << none;
        QTest::newRow("the name list prints") << up << QStringList{"stop", "r_two"} << 0 << "^$" << "^$" << QStringList{"r_two:stop()"};
        QTest::newRow("ambiguous prefix") << up << QStringList{"stop", "r_"} << 4 << "^$" << r1 + ".*" + r2 << none;
        QTest::newRow("missing renderer") << up << QStringList{"stop", "nothing"} << 3 << "^$" << "nothing" << none;
        QTest::newRow("missing plugin") << up << QStringList{"--plugin", "nothing", "list"} << 3 << "^$" << "nothing" << none;
        QTest::newRow("help") << QStringList() << QStringList{"--help"} << 0 << "\n  browse .*\n  seek " << "^$" << QStringList();
        QTest::newRow("help of a verb") << QStringList() << QStringList{"help", "seek"} << 0 << "^Usage: tuvo-client \\[OPTIONS\\] seek" << "^$"
                                        << QStringList();
        QTest::newRow("usage") << up << QStringList{"stop"} << 2 << "^$" << "stop needs RENDERER" << none;

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
            QTest::newRow(name) << (navigates ? assigned : playlist) << args << 0 << "^$" << "^$" << QStringList{"r_one:" + call};
        }

        QStringList queries = up;
        for (const char *query : {"status", "position", "media_info"})
            queries << QStringLiteral("ctl|renderer/r_one|set_query_mode|%1|now").arg(query);
        queries << "ctl|renderer/r_one|set_status|list_one|u:2|i:1|track_7" << "ctl|renderer/r_one|set_position|u:42"
                << "ctl|renderer/r_one|set_media_info|track_7|I";
        QTest::newRow("status") << queries << QStringList{"status", "r_one"} << 0 << "^STATE.*\nplaying +list_one +2 +track_7\n$" << "^$" << QStringList();
        QTest::newRow("status, json") << queries << QStringList{"status", "r_one", "--json"} << 0
            << "^\\{\"object\":\"track_7\",\"playlist\":\"list_one\",\"playlist_index\":2,\"state\":1,\"state_name\":\"playing\"\\}\n$" << "^$" << QStringList();
        QTest::newRow("position") << queries << QStringList{"position", "r_one"} << 0 << "^42\n$" << "^$" << QStringList();
        QTest::newRow("position, json") << queries << QStringList{"position", "r_one", "-j"} << 0 << "^\\{\"position\":42\\}\n$" << "^$" << QStringList();
        QTest::newRow("media info") << queries << QStringList{"media-info", "r_one"} << 0
            << "^KEY.*\nid +string +track_7\nartist +string +Ada\nartist +string +Ben\nduration +uint +212\ntitle +string +Low Tide\n$" << "^$" << QStringList();
        QTest::newRow("media info, json") << queries << QStringList{"media-info", "r_one", "duration", "--json"} << 0
            << "^\\{\"id\":\"track_7\",\"metadata\":\\{\"duration\":\\[212\\]\\},\"types\":\\{\"duration\":\\[\"uint\"\\]\\}\\}\n$" << "^$" << QStringList();
        QTest::newRow("media info refused") << up + QStringList{"ctl|renderer/r_one|set_query_mode|media_info|refuse"}
            << QStringList{"media-info", "r_one"} << 1 << "^$" << "failed to get media info" << QStringList();
        QTest::newRow("status ended by a renderer error") << up + QStringList{"run", "until|renderer/r_one|outstanding|status|=1",
                                                                            "ctl|renderer/r_one|emit_error|i:327|no status"}
            << QStringList{"status", "r_one"} << 1 << "^$" << "Message cancelled\\." << QStringList();

        const QStringList browse = up + QStringList{"run", "op|browses"};
        QString ordered = "^INDEX[^\n]*\n";
        for (int i = 0; i < 25; ++i)
            ordered += QStringLiteral("%1 +item_%1 +index=%1 title=\"Item %1\"\n").arg(i);
        QTest::newRow("browse in order") << browse + QStringList{"is|source/s_one|last_browse|[albums,low,[],3u,25u]", "ctl|source/s_one|deliver_results|$ID|i:25|i:24"}
            << QStringList{"browse", "s_one", "albums", "--skip", "3", "--count", "25", "--predicate", "low"} << 0 << ordered + "$" << "^$" << QStringList();
        const QStringList everyType = browse + QStringList{"ctl|source/s_one|deliver_result|$ID|$ID|item_0|M|u:0|i:0"};
        QTest::newRow("browse, every type") << everyType << QStringList{"browse", "s_one"} << 0
            << "^INDEX[^\n]*\n0 +item_0 +bool=true double=0.25 int=-1 int64=1099511627775 string=\"Title 1\" uint=1 uint64=288230376151711744\n$"
            << "^$" << QStringList();
        QTest::newRow("browse, every type in json") << everyType << QStringList{"browse", "s_one", "--json"} << 0
            << "^\\{\"id\":\"item_0\",\"index\":0,\"metadata\":\\{\"bool\":true,\"double\":0.25,\"int\":-1,\"int64\":1099511627775,"
               "\"string\":\"Title 1\",\"uint\":1,\"uint64\":288230376151711744\\},\"remaining\":0,\"types\":\\{\"bool\":\"bool\","
               "\"double\":\"double\",\"int\":\"int\",\"int64\":\"int64\",\"string\":\"string\",\"uint\":\"uint\",\"uint64\":\"uint64\"\\}\\}\n$"
            << "^$" << QStringList();
        const QStringList failing = browse + QStringList{"ctl|source/s_one|deliver_results|$ID|i:4|i:10", "ctl|source/s_one|deliver_error|$ID|$ID|u:7|backend gone"};
        QTest::newRow("error after results") << failing << QStringList{"browse", "s_one"} << 1 << "^INDEX[^\n]*\n0 ([^\n]*\n){3}3 +item_3 [^\n]*\n$"
                                             << "browse failed with error 7: backend gone" << QStringList();
        QTest::newRow("error after results, json") << failing << QStringList{"browse", "s_one", "-j"} << 1
            << "^(\\{\"id\".*\n){3}\\{\"id\":\"item_3\".*\n\\{\"error\":\\{\"code\":7,\"message\":\"[^\"]*backend gone\",\"type\":\"remote\"\\}\\}\n$"
            << "browse failed with error 7: backend gone" << QStringList();
        for (int signal : {SIGINT, SIGTERM})
            QTest::newRow(signal == SIGINT ? "SIGINT cancels at the source" : "SIGTERM cancels at the source")
                << browse + QStringList{"ctl|source/s_one|deliver_results|$ID|i:3|i:100", "out|\n2 ", "sig|" + QString::number(signal), "exit",
                                        "is|source/s_one|cancelled_browses|[$IDu]"}
                << QStringList{"browse", "s_one"} << 130 << "" << "cancelling the browse" << QStringList();
        QTest::newRow("query") << up + QStringList{"run", "op|queries", "is|source/s_one|last_query|night ferry", "ctl|source/s_one|deliver_rows|$ID|i:12|i:11"}
            << QStringList{"query", "s_one", "night ferry", "--json"} << 0 << "^(\\{\"index\":\\d+,\"values\":\\[\"[^\n]*\\]\\}\n){11}\\{\"index\":11,.*\n$" << "^$" << QStringList();
        QTest::newRow("query error right after its last rows")
            << up + QStringList{"run", "op|queries", "ctl|source/s_one|deliver_row|$ID|$ID|l:a|u:0|i:5", "ctl|source/s_one|deliver_query_error|$ID|$ID|i:-3|index lost"}
            << QStringList{"query", "s_one", "x"} << 1 << "\"a\"" << "query failed with error -3: index lost" << QStringList();

        const QStringList volume = up + QStringList{"ctl|properties/r_one|set_value|volume|v:80"};
        QTest::newRow("get") << volume << QStringList{"get", "r_one", "volume"} << 0 << "^80\n$" << "^$" << QStringList();
        QTest::newRow("get, json") << volume << QStringList{"get", "r_one", "volume", "--json"} << 0
                                   << "^\\{\"property\":\"volume\",\"type\":\"int\",\"value\":80\\}\n$" << "^$" << QStringList();
        QTest::newRow("set as the type it has") << volume << QStringList{"set", "r_one", "volume", "40"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("set as a type") << volume + QStringList{"cli|set|r_one|volume|40", "run", "exit", "is|properties/r_one|writes|[volume,volume];[40,41u]"}
            << QStringList{"set", "r_one", "volume", "41", "--type", "uint"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("set a word as a number") << volume << QStringList{"set", "r_one", "volume", "loud"} << 2 << "^$" << "" << QStringList();
        QTest::newRow("set refused") << volume + QStringList{"ctl|properties/r_one|set_write_result|b:false"}
            << QStringList{"set", "r_one", "volume", "500", "--type", "int"} << 1 << "^$" << "did not accept" << QStringList();
        QTest::newRow("watch a property") << volume + QStringList{"run", "out|value    renderer r_one volume=80 (int)", "wait|100",
                "ctl|properties/r_one|emit_change|mute|v:true", "ctl|properties/r_one|emit_change|volume|v:55",
                "out|signal   renderer r_one property_changed volume=55 (int)", "sig|2"}
            << QStringList{"watch", "r_one", "volume"} << 0 << "^(?!.*mute)" << "^$" << QStringList();

        const QStringList frozen = up + QStringList{"freeze"};
        QTest::newRow("frozen renderer") << frozen + QStringList{"max|2000"} << QStringList{"--timeout", "1", "status", "r_one"} << 5 << "^$"
                                         << r1 + " did not answer within 1 s" << QStringList();
        QTest::newRow("frozen plugin") << frozen + QStringList{"max|1500"} << QStringList{"-t", "0.5", "--plugin", "test", "stop", "r_one"} << 5 << "^$"
                                       << "com.oxbel.tuvo.plugin.libtuvo_test_plugin" << QStringList();
        QTest::newRow("--plugin activates for the command") << QStringList{"wrapper", "run", "exit", "name|" + r1 + "|0"}
            << QStringList{"--plugin", "test", "stop", "r_one"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("--plugin waits for a late object")
            << up + QStringList{"run", "wait|200", "ctl|plugin|add_object|renderer|r_late|Test Plugin|Late", "exit", "is|renderer/r_late|calls|[stop()]"}
            << QStringList{"--plugin", "libtuvo_test_plugin", "stop", "r_late"} << 0 << "^$" << "^$" << QStringList();
        QTest::newRow("--plugin, an object that never comes") << up << QStringList{"-t", "0.3", "-p", "test", "stop", "r_never"} << 3 << "^$" << "r_never" << QStringList();
        QTest::newRow("--plugin, a plugin that fails") << QStringList{"failing", "max|10000", "run", "exit", "wrapperexit|1"}
            << QStringList{"-t", "20", "--plugin", "test", "stop", "r_one"} << 3 << "^$"
            << "the process of the plugin libtuvo_test_plugin left the bus" << QStringList();
        QTest::newRow("activate holds the plugin") << QStringList{"wrapper", "run", "out|" + r2, "name|" + r1 + "|1",
                                                                  "err|keeping libtuvo_test_plugin active", "sig|2", "exit", "name|" + r1 + "|0"}
            << QStringList{"activate", "test"} << 0 << "" << "" << QStringList();

        QTest::newRow("watch objects and restarts")
            << QStringList{"wrapper", "run", "out|present  plugin   libtuvo_test_plugin", "activate", "out|appeared renderer r_one " + r1,
                           "out|hello    renderer r_two " + r2, "out|appeared source   s_one com.oxbel.tuvo.source.Test-Plugin.s_one",
                           "ctl|plugin|remove_object|r_two", "out|vanished renderer r_two " + r2, "complete", "kill", "out|vanished plugin   libtuvo_test_plugin",
                           "out|vanished renderer r_one", "wrapper", "activate", "out|appeared plugin   libtuvo_test_plugin", "wait|500", "sig|2"}
            << QStringList{"watch"} << 0 << "vanished plugin.*appeared plugin.*appeared renderer r_one [^\n]*\n" << "^$" << QStringList();
        const QStringList signalling = up + QStringList{"run", "out|present", "wait|100", "ctl|renderer/r_two|emit_state_changed|i:2",
            "ctl|renderer/r_one|emit_state_changed|i:1", "ctl|renderer/r_one|emit_media_changed|i:3|track_3",
            "ctl|renderer/r_one|emit_metadata_changed|artist|L:Ada,5", "ctl|renderer/r_one|emit_buffering_info|d:0.5",
            "ctl|renderer/r_one|emit_error|i:104|broken", "out|broken", "sig|15"};
        QTest::newRow("watch a renderer's signals") << signalling << QStringList{"watch", "r_one"} << 0
            << "^(?!.*r_two).*\n\\S+ signal   renderer r_one state_changed state=1 \\(playing\\)\n\\S+ signal   renderer r_one media_changed index=3 "
               "objectId=\"track_3\"\n\\S+ signal   renderer r_one metadata_changed key=\"artist\" values=\\[\"Ada\", 5\\]\n\\S+ signal   renderer "
               "r_one buffering_info status=0.5\n\\S+ signal   renderer r_one error code=104 message=\"broken\"\n$" << "^$" << QStringList();
        QTest::newRow("watch signals, json") << signalling << QStringList{"watch", "--json"} << 0
            << "\\{\"args\":\\[\"artist\",\\[\"Ada\",5\\]\\],\"bus_name\":\"" + r1 + "\",\"event\":\"signal\",\"interface\":"
               "\"com.oxbel.tuvo.renderer\"[^\n]*\"signal\":\"metadata_changed\",[^\n]*\"types\":\\[\"string\",\"list\"\\]" << "^$" << QStringList();

        QTest::newRow("complete a verb") << QStringList() << QStringList{"@complete", "br"} << 0 << "^browse\n$" << "" << QStringList();
        QTest::newRow("complete an option") << QStringList() << QStringList{"@complete", "browse", "x", "--sk"} << 0 << "^--skip\n$" << "" << QStringList();
        QTest::newRow("complete a kind") << QStringList() << QStringList{"@complete", "list", "re"} << 0 << "^renderer\n$" << "" << QStringList();
        QTest::newRow("complete a type") << QStringList() << QStringList{"@complete", "set", "r_one", "v", "1", "--type", "ui"} << 0
                                         << "^uint16\nuint\nuint64\n$" << "" << QStringList();
        QTest::newRow("complete renderers") << up << QStringList{"@complete", "play", "r_"} << 0 << "^r_one\nr_two\n$" << "" << QStringList();
        QTest::newRow("complete a bus name") << up << QStringList{"@complete", "-t", "2", "stop", r1.chopped(2)} << 0 << "^" + r1 + "\n$" << "" << QStringList();
        QTest::newRow("complete sources") << up << QStringList{"@complete", "browse", ""} << 0
                                          << "^s_one\ncom.oxbel.tuvo.source.Test-Plugin.s_one\n$" << "" << QStringList();
        QTest::newRow("complete a plugin") << up << QStringList{"@complete", "--plugin", "libtuvo_t"} << 0 << "^libtuvo_test_plugin\n$" << "" << QStringList();
    }

    void runs()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QStringList, calls);
        stdOut.clear();
        stdErr.clear();
        uint id = 0;
        int maxMs = 0;
        bool started = false;
        const auto finished = [&] { return waitFor([&] { return client.state() == QProcess::NotRunning; }, 20000); };
        if (!script.contains(QStringLiteral("run")))
            script.append(QStringLiteral("run"));
        for (const QString &line : std::as_const(script)) {
            const QStringList step = line.split(QLatin1Char('|'));
            const QString what = step.first(), value = QString(step.value(1)).replace(QLatin1String("$ID"), QString::number(id));
            if (what == QLatin1String("wrapper") || what == QLatin1String("failing")) {
                wrapper = std::make_unique<WrapperProcess>();
                wrapper->setHome(home.path());
                wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), Objects);
                if (what == QLatin1String("failing"))
                    wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_FAIL"), QStringLiteral("1"));
                QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
            } else if (what == QLatin1String("activate")) {
                activator = std::make_unique<BusClient>();
                QVERIFY(activator->activate(QStringLiteral("libtuvo_test_plugin")));
                QVERIFY(TestBus::waitForName(QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_one")));
            } else if (what == QLatin1String("ctl")) {
                QCOMPARE(control(step, id).type(), QDBusMessage::ReplyMessage);
            } else if (what == QLatin1String("is") || what == QLatin1String("until")) { // the control's answer, rendered
                const QString expected = QString(step.last()).replace(QLatin1String("$ID"), QString::number(id))
                                             .remove(QRegularExpression(QStringLiteral("^=")));
                QString got;
                (void)QTest::qWaitFor([&] {
                    QStringList parts;
                    for (const QVariant &a : control(step.mid(0, step.size() - 1), id).arguments())
                        parts.append(render(a));
                    return (got = parts.join(QLatin1Char(';'))) == expected;
                }, 10000);
                QCOMPARE(got, expected);
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
                started = true;
            } else if (what == QLatin1String("out")) {
                QVERIFY2(waitFor([&] { return stdOut.contains(value.toUtf8()); }), qPrintable(value));
            } else if (what == QLatin1String("err")) {
                QVERIFY2(waitFor([&] { return stdErr.contains(value.toUtf8()); }), qPrintable(value));
            } else if (what == QLatin1String("sig")) {
                ::kill(pid_t(client.processId()), value.toInt());
            } else if (what == QLatin1String("exit")) {
                QVERIFY(finished());
            } else if (what == QLatin1String("complete")) { // each line is written whole as it happens
                QVERIFY(stdOut.endsWith('\n'));
            } else if (what == QLatin1String("freeze")) {
                wrapper->sendSignal(SIGSTOP);
            } else if (what == QLatin1String("kill")) {
                wrapper->kill();
                activator.reset();
            } else if (what == QLatin1String("name")) {
                QVERIFY(TestBus::waitForName(value, step.value(2) == QLatin1String("1")));
            } else if (what == QLatin1String("wrapperexit")) {
                QVERIFY(wrapper->waitForExit());
                QCOMPARE(wrapper->exitCode(), value.toInt());
            } else if (what == QLatin1String("wait")) {
                QTest::qWait(value.toInt());
            } else if (what == QLatin1String("max")) { // the client ends within this many ms
                maxMs = value.toInt();
            } else {
                QFAIL(qPrintable(line));
            }
        }
        QVERIFY(started);
        QVERIFY(finished());
        const qint64 elapsed = clock.elapsed();
        const QString printed = QString::fromUtf8(stdOut), complaints = QString::fromUtf8(stdErr);
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QVERIFY2(client.exitCode() == exitCode, qPrintable(QString::number(client.exitCode()) + QLatin1Char(' ') + complaints));
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
};

QTEST_MAIN(tst_TuvoClientProcess)
#include "tst_tuvoclientprocess.moc"
