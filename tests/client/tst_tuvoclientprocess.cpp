// tuvo-client as a real process against the real wrapper on a private bus, with the
// test plugin, whose controls on the bus tell what reached its objects and make them
// answer and signal.

#include "BusClient.h"
#include "ClientProcess.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoDBusValue.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestControlService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString Objects = QStringLiteral("source:s_one:Test Plugin:Source One;"
                                       "renderer:r_one:Test Plugin:Renderer One;"
                                       "renderer:r_two:Test Plugin:Renderer Two");
const QString SourceOne = QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.s_one");
const QString RendererOne = QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_one");
const QString RendererTwo = QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_two");

// Metadata of every type a client can hand the test source over the bus.
QVariantMap metadataOf(int i)
{
    return {{QStringLiteral("bool"), i % 2 == 0},
            {QStringLiteral("double"), i + 0.25},
            {QStringLiteral("int"), -i},
            {QStringLiteral("int64"), (qlonglong(i) << 40) - 1},
            {QStringLiteral("string"), QStringLiteral("Title %1").arg(i)},
            {QStringLiteral("uint"), uint(i)},
            {QStringLiteral("uint64"), qulonglong(i) << 58}};
}

QList<QJsonObject> jsonLines(const QString &text)
{
    QList<QJsonObject> objects;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {};
        objects.append(document.object());
    }
    return objects;
}

// The cells of the table rows (without the header) of list's output.
QList<QStringList> tableRows(const QString &text)
{
    QList<QStringList> rows;
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty())
        lines.removeFirst();
    for (const QString &line : qAsConst(lines))
        rows.append(line.split(QRegularExpression(QStringLiteral("\\s{2,}"))));
    return rows;
}
} // namespace

class tst_TuvoClientProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> activator;
    std::unique_ptr<BusClient> controller;

    void startWrapper(const QString &objects = Objects)
    {
        wrapper = std::make_unique<WrapperProcess>();
        wrapper->setHome(home.path());
        wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), objects);
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
    }

    void activate()
    {
        activator = std::make_unique<BusClient>();
        QVERIFY(activator->activate(TestPluginName));
        QVERIFY(TestBus::waitForName(RendererOne));
    }

    QDBusMessage rendererControl(const QString &uuid, const QString &member, const QVariantList &args = {})
    {
        if (!controller)
            controller = std::make_unique<BusClient>();
        return controller->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test/renderer/") + uuid,
                                QStringLiteral("com.oxbel.tuvo.test.Renderer"), member, args);
    }

    QDBusMessage pluginControl(const QString &member, const QVariantList &args = {})
    {
        if (!controller)
            controller = std::make_unique<BusClient>();
        return controller->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test"),
                                QStringLiteral("com.oxbel.tuvo.test.Plugin"), member, args);
    }

    QDBusMessage sourceControl(const QString &uuid, const QString &member, const QVariantList &args = {})
    {
        if (!controller)
            controller = std::make_unique<BusClient>();
        return controller->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test/source/") + uuid,
                                QStringLiteral("com.oxbel.tuvo.test.Source"), member, args);
    }

    QDBusMessage propertyControl(const QString &uuid, const QString &member, const QVariantList &args = {})
    {
        if (!controller)
            controller = std::make_unique<BusClient>();
        return controller->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test/properties/") + uuid,
                                QStringLiteral("com.oxbel.tuvo.test.Properties"), member, args);
    }

    // The id of the operation a tuvo-client process started on s_one, once it is there.
    uint waitForOperation(const QString &list)
    {
        QList<uint> ids;
        const bool started = QTest::qWaitFor([&] {
            ids = qdbus_cast<QList<uint>>(sourceControl(QStringLiteral("s_one"), list).arguments().value(0));
            return !ids.isEmpty();
        }, 10000);
        return started ? ids.value(0) : 0;
    }

    QStringList rendererCalls(const QString &uuid)
    {
        return rendererControl(uuid, QStringLiteral("calls")).arguments().value(0).toStringList();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        QVERIFY(QFile::exists(ClientProcess::program()));
    }

    void cleanup()
    {
        if (wrapper)
            wrapper->sendSignal(SIGCONT);
        controller.reset();
        activator.reset();
        wrapper.reset();
        QVERIFY(TestBus::waitForName(TestControlService, false));
    }

    void nothingOnTheBusPrintsNothing()
    {
        for (const QStringList &args : {QStringList{QStringLiteral("list")},
                                        QStringList{QStringLiteral("list"), QStringLiteral("--json")}}) {
            const ClientProcess::Result result = ClientProcess::run(args);
            QVERIFY(result.finished);
            QCOMPARE(result.exitCode, 0);
            QCOMPARE(result.out, QString());
            QCOMPARE(result.err, QString());
        }
    }

    void listShowsTheNamesOtherVerbsAccept()
    {
        startWrapper();
        activate();
        const ClientProcess::Result table = ClientProcess::run({QStringLiteral("list")});
        QCOMPARE(table.exitCode, 0);
        QVERIFY2(table.out.startsWith(QLatin1String("KIND")), qPrintable(table.out));
        const QList<QStringList> rows = tableRows(table.out);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0), (QStringList{QStringLiteral("plugin"), TestPluginName, TestPluginName,
                                          TestControlService, QStringLiteral("-")}));
        QCOMPARE(rows.at(1), (QStringList{QStringLiteral("source"), QStringLiteral("s_one"), TestPluginName,
                                          SourceOne, QStringLiteral("Source One")}));
        QCOMPARE(rows.at(2).value(1), QStringLiteral("r_one"));
        QCOMPARE(rows.at(2).value(4), QStringLiteral("Renderer One"));
        QCOMPARE(rows.at(3).value(3), RendererTwo);

        const ClientProcess::Result json = ClientProcess::run({QStringLiteral("list"), QStringLiteral("renderer"),
                                                               QStringLiteral("--json")});
        QCOMPARE(json.exitCode, 0);
        const QList<QJsonObject> objects = jsonLines(json.out);
        QCOMPARE(objects.size(), 2);
        QCOMPARE(objects.at(0).value(QStringLiteral("kind")).toString(), QStringLiteral("renderer"));
        QCOMPARE(objects.at(0).value(QStringLiteral("name")).toString(), QStringLiteral("r_one"));
        QCOMPARE(objects.at(0).value(QStringLiteral("bus_name")).toString(), RendererOne);
        QCOMPARE(objects.at(0).value(QStringLiteral("plugin")).toString(), TestPluginName);
        QCOMPARE(objects.at(0).value(QStringLiteral("owner")).toString(), TestBus::owner(RendererOne));
        QCOMPARE(objects.at(1).value(QStringLiteral("title")).toString(), QStringLiteral("Renderer Two"));

        // What list prints in NAME and BUS-NAME is what the verbs take.
        for (const QStringList &row : rows) {
            if (row.value(0) != QLatin1String("renderer"))
                continue;
            for (const QString &name : {row.value(1), row.value(3)}) {
                const ClientProcess::Result stop = ClientProcess::run({QStringLiteral("stop"), name});
                QVERIFY2(stop.exitCode == 0, qPrintable(name + stop.err));
            }
        }
        QCOMPARE(rendererCalls(QStringLiteral("r_two")), (QStringList{QStringLiteral("stop()"), QStringLiteral("stop()")}));
    }

    void namesThatDoNotNameOneObject_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("errorMentions");

        QTest::newRow("ambiguous prefix") << QStringList{"stop", "r_"} << 4 << QStringList{RendererOne, RendererTwo};
        QTest::newRow("ambiguous bus name prefix")
            << QStringList{"status", "com.oxbel.tuvo.renderer.Test"} << 4 << QStringList{RendererOne, RendererTwo};
        QTest::newRow("missing renderer") << QStringList{"stop", "nothing"} << 3 << QStringList{"nothing"};
        QTest::newRow("missing source") << QStringList{"browse", "no_source"} << 3 << QStringList{"no_source"};
        QTest::newRow("a source is no renderer") << QStringList{"play", "s_one"} << 3 << QStringList{"s_one"};
        QTest::newRow("missing plugin") << QStringList{"--plugin", "nothing", "list"} << 3 << QStringList{"nothing"};
        QTest::newRow("usage") << QStringList{"stop"} << 2 << QStringList{"stop needs RENDERER"};
    }

    void namesThatDoNotNameOneObject()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QStringList, errorMentions);
        startWrapper();
        activate();
        const ClientProcess::Result result = ClientProcess::run(args);
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, QString());
        for (const QString &mention : errorMentions)
            QVERIFY2(result.err.contains(mention), qPrintable(result.err));
        // Nothing reached either renderer.
        QVERIFY(rendererCalls(QStringLiteral("r_one")).isEmpty());
        QVERIFY(rendererCalls(QStringLiteral("r_two")).isEmpty());
    }

    void rendererCommandsRoundTrip_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("call");

        QTest::newRow("play") << QStringList{"play", "r_one"} << "play()";
        QTest::newRow("play uri") << QStringList{"play", "r_one", "sample:///track_1"} << "playUri(\"sample:///track_1\", 0)";
        QTest::newRow("play uri at") << QStringList{"play", "r_one", "sample:///track_1", "--start", "30"}
                                     << "playUri(\"sample:///track_1\", 30)";
        QTest::newRow("play with content type")
            << QStringList{"play", "r_one", "file:///a.ogg", "--content-type", "audio/ogg"}
            << "playUriWithContentType(\"file:///a.ogg\", \"audio/ogg\")";
        QTest::newRow("pause") << QStringList{"pause", "r_one"} << "pause()";
        QTest::newRow("pause at") << QStringList{"pause", "--at", "12", "r_one"} << "pauseAt(12)";
        QTest::newRow("resume") << QStringList{"resume", "r_one"} << "resume()";
        QTest::newRow("stop") << QStringList{"stop", "r_one"} << "stop()";
        QTest::newRow("seek to") << QStringList{"seek", "r_one", "30"} << "setPosition(30, 0)";
        QTest::newRow("seek ahead") << QStringList{"seek", "r_one", "+10"} << "setPosition(10, 1)";
        QTest::newRow("seek back") << QStringList{"seek", "r_one", "-10"} << "setPosition(10, 2)";
        QTest::newRow("seek back, suffix") << QStringList{"seek", "r_one", "7-"} << "setPosition(7, 2)";
        QTest::newRow("assign playlist") << QStringList{"assign-playlist", "r_one", "list_one"}
                                         << "assignPlaylist(\"list_one\")";
        QTest::newRow("next") << QStringList{"next", "r_one"} << "next()";
        QTest::newRow("previous") << QStringList{"previous", "r_one"} << "previous()";
        QTest::newRow("goto") << QStringList{"goto", "r_one", "2"} << "gotoIndex(2)";
    }

    void rendererCommandsRoundTrip()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, call);
        startWrapper();
        activate();
        // Navigation reaches the renderer only once a playlist is assigned.
        QCOMPARE(rendererControl(QStringLiteral("r_one"), QStringLiteral("add_playlist"),
                                 {QStringLiteral("list_one"), QStringList{QStringLiteral("sample:///track_1")}})
                     .arguments()
                     .value(0),
                 QVariant(true));
        if (args.first() == QLatin1String("next") || args.first() == QLatin1String("previous")
            || args.first() == QLatin1String("goto")) {
            QCOMPARE(ClientProcess::run({QStringLiteral("assign-playlist"), QStringLiteral("r_one"),
                                         QStringLiteral("list_one")})
                         .exitCode,
                     0);
            rendererControl(QStringLiteral("r_one"), QStringLiteral("clear_calls"));
        }
        const ClientProcess::Result result = ClientProcess::run(args);
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(result.out, QString());
        QCOMPARE(rendererCalls(QStringLiteral("r_one")), QStringList{call});
        QVERIFY(rendererCalls(QStringLiteral("r_two")).isEmpty());
    }

    void rendererQueries()
    {
        startWrapper();
        activate();
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_query_mode"), {QStringLiteral("status"), QStringLiteral("now")});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_query_mode"), {QStringLiteral("position"), QStringLiteral("now")});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_query_mode"), {QStringLiteral("media_info"), QStringLiteral("now")});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_status"),
                        {QStringLiteral("list_one"), 2u, 1, QStringLiteral("track_7")});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_position"), {42u});
        const QVariantList artists{QVariant::fromValue(QDBusVariant(QStringLiteral("Ada"))),
                                   QVariant::fromValue(QDBusVariant(QStringLiteral("Ben")))};
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_media_info"),
                        {QStringLiteral("track_7"),
                         QVariantMap{{QStringLiteral("artist"), QVariant::fromValue(artists)},
                                     {QStringLiteral("duration"), 212u},
                                     {QStringLiteral("title"), QStringLiteral("Low Tide")}}});

        ClientProcess::Result result = ClientProcess::run({QStringLiteral("status"), QStringLiteral("r_one")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(tableRows(result.out), (QList<QStringList>{{QStringLiteral("playing"), QStringLiteral("list_one"),
                                                             QStringLiteral("2"), QStringLiteral("track_7")}}));
        result = ClientProcess::run({QStringLiteral("status"), QStringLiteral("r_one"), QStringLiteral("--json")});
        QCOMPARE(jsonLines(result.out).value(0),
                 (QJsonObject{{QStringLiteral("state"), 1}, {QStringLiteral("state_name"), QStringLiteral("playing")},
                              {QStringLiteral("playlist"), QStringLiteral("list_one")},
                              {QStringLiteral("playlist_index"), 2}, {QStringLiteral("object"), QStringLiteral("track_7")}}));

        result = ClientProcess::run({QStringLiteral("position"), QStringLiteral("r_one")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("42\n"));
        result = ClientProcess::run({QStringLiteral("position"), QStringLiteral("r_one"), QStringLiteral("-j")});
        QCOMPARE(jsonLines(result.out).value(0), (QJsonObject{{QStringLiteral("position"), 42}}));

        result = ClientProcess::run({QStringLiteral("media-info"), QStringLiteral("r_one")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(tableRows(result.out),
                 (QList<QStringList>{{QStringLiteral("id"), QStringLiteral("string"), QStringLiteral("track_7")},
                                     {QStringLiteral("artist"), QStringLiteral("string"), QStringLiteral("Ada")},
                                     {QStringLiteral("artist"), QStringLiteral("string"), QStringLiteral("Ben")},
                                     {QStringLiteral("duration"), QStringLiteral("uint"), QStringLiteral("212")},
                                     {QStringLiteral("title"), QStringLiteral("string"), QStringLiteral("Low Tide")}}));
        result = ClientProcess::run({QStringLiteral("media-info"), QStringLiteral("r_one"), QStringLiteral("duration"),
                                     QStringLiteral("--json")});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject info = jsonLines(result.out).value(0);
        QCOMPARE(info.value(QStringLiteral("id")).toString(), QStringLiteral("track_7"));
        QCOMPARE(info.value(QStringLiteral("metadata")).toObject(),
                 (QJsonObject{{QStringLiteral("duration"), QJsonArray{212}}}));
        QCOMPARE(info.value(QStringLiteral("types")).toObject(),
                 (QJsonObject{{QStringLiteral("duration"), QJsonArray{QStringLiteral("uint")}}}));
    }

    void queriesTheRendererDeclines()
    {
        startWrapper();
        activate();
        // A media info the renderer refuses.
        rendererControl(QStringLiteral("r_one"), QStringLiteral("set_query_mode"),
                        {QStringLiteral("media_info"), QStringLiteral("refuse")});
        ClientProcess::Result result = ClientProcess::run({QStringLiteral("media-info"), QStringLiteral("r_one")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QString());
        QVERIFY2(result.err.contains(QLatin1String("failed to get media info")), qPrintable(result.err));

        // A status query that a renderer error ends.
        ClientProcess waiting;
        waiting.start({QStringLiteral("status"), QStringLiteral("r_one")});
        QTRY_COMPARE(rendererControl(QStringLiteral("r_one"), QStringLiteral("outstanding"), {QStringLiteral("status")})
                         .arguments()
                         .value(0)
                         .toInt(),
                     1);
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_error"), {327, QStringLiteral("no status")});
        QVERIFY(waiting.waitForExit());
        QCOMPARE(waiting.exitCode(), 1);
        QVERIFY2(waiting.errors().contains(QLatin1String("Message cancelled.")), qPrintable(waiting.errors()));
    }

    void browseDeliversEveryResultInOrder_data()
    {
        QTest::addColumn<bool>("json");
        QTest::newRow("table") << false;
        QTest::newRow("json") << true;
    }

    void browseDeliversEveryResultInOrder()
    {
        QFETCH(bool, json);
        startWrapper();
        activate();
        ClientProcess browse;
        QStringList args{QStringLiteral("browse"), QStringLiteral("s_one"), QStringLiteral("albums"),
                         QStringLiteral("--skip"), QStringLiteral("3"), QStringLiteral("--count"), QStringLiteral("25"),
                         QStringLiteral("--predicate"), QStringLiteral("low")};
        if (json)
            args.append(QStringLiteral("--json"));
        browse.start(args);
        const uint id = waitForOperation(QStringLiteral("browses"));
        QVERIFY(id != 0);
        QCOMPARE(TuvoDBusValue::plain(sourceControl(QStringLiteral("s_one"), QStringLiteral("last_browse")).arguments().value(0)).toList(),
                 (QVariantList{QStringLiteral("albums"), QStringLiteral("low"), QStringList(), 3u, 25u}));
        for (int i = 0; i < 25; ++i) {
            QCOMPARE(sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_result"),
                                   {id, id, QStringLiteral("item_%1").arg(i), metadataOf(i), uint(i), 24 - i})
                         .arguments()
                         .value(0),
                     QVariant(true));
        }
        QVERIFY(browse.waitForExit());
        QCOMPARE(browse.exitCode(), 0);
        QCOMPARE(browse.errors(), QString());
        const QStringList lines = browse.outputLines();
        if (!json) {
            QCOMPARE(lines.size(), 26);
            QVERIFY(lines.at(0).startsWith(QLatin1String("INDEX")));
            for (int i = 0; i < 25; ++i) {
                const QString line = lines.at(i + 1);
                QVERIFY2(line.startsWith(QStringLiteral("%1 ").arg(i)), qPrintable(line));
                QVERIFY2(line.contains(QStringLiteral(" item_%1 ").arg(i)), qPrintable(line));
                QVERIFY2(line.contains(QStringLiteral("string=\"Title %1\"").arg(i)), qPrintable(line));
                QVERIFY2(line.contains(QStringLiteral("int=%1 ").arg(-i)), qPrintable(line));
                QVERIFY2(line.contains(QStringLiteral("bool=%1 ").arg(i % 2 == 0 ? "true" : "false")), qPrintable(line));
            }
            return;
        }
        const QList<QJsonObject> results = jsonLines(browse.output());
        QCOMPARE(results.size(), 25);
        for (int i = 0; i < 25; ++i) {
            const QJsonObject result = results.at(i);
            QCOMPARE(result.value(QStringLiteral("index")).toInt(), i);
            QCOMPARE(result.value(QStringLiteral("remaining")).toInt(), 24 - i);
            QCOMPARE(result.value(QStringLiteral("id")).toString(), QStringLiteral("item_%1").arg(i));
            const QJsonObject metadata = result.value(QStringLiteral("metadata")).toObject();
            const QVariantMap expected = metadataOf(i);
            QCOMPARE(metadata.size(), expected.size());
            QCOMPARE(metadata.value(QStringLiteral("bool")).toBool(), expected.value(QStringLiteral("bool")).toBool());
            QCOMPARE(metadata.value(QStringLiteral("int")).toInteger(), qint64(-i));
            QCOMPARE(metadata.value(QStringLiteral("uint")).toInteger(), qint64(i));
            QCOMPARE(metadata.value(QStringLiteral("int64")).toInteger(), expected.value(QStringLiteral("int64")).toLongLong());
            QCOMPARE(metadata.value(QStringLiteral("uint64")).toInteger(), expected.value(QStringLiteral("uint64")).toLongLong());
            QCOMPARE(metadata.value(QStringLiteral("double")).toDouble(), i + 0.25);
            QCOMPARE(metadata.value(QStringLiteral("string")).toString(), QStringLiteral("Title %1").arg(i));
            QCOMPARE(result.value(QStringLiteral("types")).toObject(),
                     (QJsonObject{{QStringLiteral("bool"), QStringLiteral("bool")},
                                  {QStringLiteral("double"), QStringLiteral("double")},
                                  {QStringLiteral("int"), QStringLiteral("int")},
                                  {QStringLiteral("int64"), QStringLiteral("int64")},
                                  {QStringLiteral("string"), QStringLiteral("string")},
                                  {QStringLiteral("uint"), QStringLiteral("uint")},
                                  {QStringLiteral("uint64"), QStringLiteral("uint64")}}));
        }
    }

    void errorMidBrowseFollowsTheResultsBeforeIt_data()
    {
        QTest::addColumn<bool>("json");
        QTest::newRow("table") << false;
        QTest::newRow("json") << true;
    }

    void errorMidBrowseFollowsTheResultsBeforeIt()
    {
        QFETCH(bool, json);
        startWrapper();
        activate();
        ClientProcess browse;
        browse.start(json ? QStringList{QStringLiteral("browse"), QStringLiteral("s_one"), QStringLiteral("-j")}
                          : QStringList{QStringLiteral("browse"), QStringLiteral("s_one")});
        const uint id = waitForOperation(QStringLiteral("browses"));
        for (int i = 0; i < 4; ++i)
            sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_result"),
                          {id, id, QStringLiteral("item_%1").arg(i), metadataOf(i), uint(i), 10 - i});
        sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_error"), {id, id, 7u, QStringLiteral("backend gone")});
        QVERIFY(browse.waitForExit());
        QCOMPARE(browse.exitCode(), 1);
        QVERIFY2(browse.errors().contains(QLatin1String("browse failed with error 7: backend gone")),
                 qPrintable(browse.errors()));
        if (!json) {
            QCOMPARE(browse.outputLines().size(), 5);
            QVERIFY(browse.outputLines().last().contains(QLatin1String("item_3")));
            return;
        }
        const QList<QJsonObject> lines = jsonLines(browse.output());
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.at(3).value(QStringLiteral("id")).toString(), QStringLiteral("item_3"));
        const QJsonObject error = lines.at(4).value(QStringLiteral("error")).toObject();
        QCOMPARE(error.value(QStringLiteral("type")).toString(), QStringLiteral("remote"));
        QCOMPARE(error.value(QStringLiteral("code")).toInt(), 7);
        QVERIFY(error.value(QStringLiteral("message")).toString().contains(QLatin1String("backend gone")));
    }

    void interruptCancelsTheBrowseAtTheSource_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }

    void interruptCancelsTheBrowseAtTheSource()
    {
        QFETCH(int, signal);
        startWrapper();
        activate();
        ClientProcess browse;
        browse.start({QStringLiteral("browse"), QStringLiteral("s_one")});
        const uint id = waitForOperation(QStringLiteral("browses"));
        sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_results"), {id, 3, 100});
        QVERIFY(browse.waitForOutput(QStringLiteral("\n2 ")));
        browse.sendSignal(signal);
        QVERIFY(browse.waitForExit());
        QCOMPARE(browse.exitCode(), 130);
        QCOMPARE(qdbus_cast<QList<uint>>(sourceControl(QStringLiteral("s_one"), QStringLiteral("cancelled_browses"))
                                             .arguments()
                                             .value(0)),
                 QList<uint>{id});
        QVERIFY2(browse.errors().contains(QLatin1String("cancelling the browse")), qPrintable(browse.errors()));
    }

    void queryRowsAndErrors()
    {
        startWrapper();
        activate();
        ClientProcess query;
        query.start({QStringLiteral("query"), QStringLiteral("s_one"), QStringLiteral("night ferry"), QStringLiteral("--json")});
        uint id = waitForOperation(QStringLiteral("queries"));
        QCOMPARE(sourceControl(QStringLiteral("s_one"), QStringLiteral("last_query")).arguments().value(0).toString(),
                 QStringLiteral("night ferry"));
        sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_rows"), {id, 12, 11});
        QVERIFY(query.waitForExit());
        QCOMPARE(query.exitCode(), 0);
        const QList<QJsonObject> rows = jsonLines(query.output());
        QCOMPARE(rows.size(), 12);
        QCOMPARE(rows.at(11).value(QStringLiteral("index")).toInt(), 11);
        QVERIFY(!rows.at(11).value(QStringLiteral("values")).toArray().isEmpty());

        // An error right after rows the wrapper marked as the last ones is still reported.
        ClientProcess failing;
        failing.start({QStringLiteral("query"), QStringLiteral("s_one"), QStringLiteral("x")});
        QTRY_COMPARE(qdbus_cast<QList<uint>>(sourceControl(QStringLiteral("s_one"), QStringLiteral("queries")).arguments().value(0)).size(), 2);
        id = qdbus_cast<QList<uint>>(sourceControl(QStringLiteral("s_one"), QStringLiteral("queries")).arguments().value(0)).last();
        sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_row"), {id, id, QStringList{QStringLiteral("a")}, 0u, 5});
        sourceControl(QStringLiteral("s_one"), QStringLiteral("deliver_query_error"), {id, id, -3, QStringLiteral("index lost")});
        QVERIFY(failing.waitForExit());
        QCOMPARE(failing.exitCode(), 1);
        QVERIFY(failing.output().contains(QLatin1String("\"a\"")));
        QVERIFY2(failing.errors().contains(QLatin1String("query failed with error -3: index lost")), qPrintable(failing.errors()));
    }

    void propertiesSetGetAndWatch()
    {
        startWrapper();
        activate();
        propertyControl(QStringLiteral("r_one"), QStringLiteral("set_value"),
                        {QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(80))});
        ClientProcess::Result get = ClientProcess::run({QStringLiteral("get"), QStringLiteral("r_one"), QStringLiteral("volume")});
        QVERIFY2(get.exitCode == 0, qPrintable(get.err));
        QCOMPARE(get.out, QStringLiteral("80\n"));
        get = ClientProcess::run({QStringLiteral("get"), QStringLiteral("r_one"), QStringLiteral("volume"), QStringLiteral("--json")});
        QCOMPARE(jsonLines(get.out).value(0), (QJsonObject{{QStringLiteral("property"), QStringLiteral("volume")},
                                                           {QStringLiteral("type"), QStringLiteral("int")},
                                                           {QStringLiteral("value"), 80}}));

        // Without --type the value takes the type the property has; with it, that type.
        QCOMPARE(ClientProcess::run({QStringLiteral("set"), QStringLiteral("r_one"), QStringLiteral("volume"), QStringLiteral("40")}).exitCode, 0);
        QCOMPARE(ClientProcess::run({QStringLiteral("set"), QStringLiteral("r_one"), QStringLiteral("volume"), QStringLiteral("41"),
                                     QStringLiteral("--type"), QStringLiteral("uint")}).exitCode, 0);
        QCOMPARE(ClientProcess::run({QStringLiteral("set"), QStringLiteral("r_one"), QStringLiteral("volume"), QStringLiteral("loud")}).exitCode, 2);
        QDBusMessage writes = propertyControl(QStringLiteral("r_one"), QStringLiteral("writes"));
        QCOMPARE(writes.arguments().value(0).toStringList(), (QStringList{QStringLiteral("volume"), QStringLiteral("volume")}));
        const QVariantList values = qdbus_cast<QVariantList>(writes.arguments().value(1));
        QCOMPARE(TuvoDBusValue::plain(values.value(0)), QVariant(40));
        QCOMPARE(TuvoDBusValue::plain(values.value(1)), QVariant(41u));

        propertyControl(QStringLiteral("r_one"), QStringLiteral("set_write_result"), {false});
        const ClientProcess::Result refused = ClientProcess::run({QStringLiteral("set"), QStringLiteral("r_one"), QStringLiteral("volume"),
                                                                  QStringLiteral("500"), QStringLiteral("--type"), QStringLiteral("int")});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QLatin1String("did not accept")), qPrintable(refused.err));

        ClientProcess watch;
        watch.start({QStringLiteral("watch"), QStringLiteral("r_one"), QStringLiteral("volume")});
        QVERIFY(watch.waitForOutput(QStringLiteral("value    renderer r_one volume=80 (int)")));
        QTest::qWait(100); // subscribed before the snapshot, but give the bus daemon its turn
        propertyControl(QStringLiteral("r_one"), QStringLiteral("emit_change"), {QStringLiteral("mute"), QVariant::fromValue(QDBusVariant(true))});
        propertyControl(QStringLiteral("r_one"), QStringLiteral("emit_change"), {QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(55))});
        QVERIFY(watch.waitForOutput(QStringLiteral("signal   renderer r_one property_changed volume=55 (int)")));
        QVERIFY(!watch.output().contains(QLatin1String("mute")));
        watch.sendSignal(SIGINT);
        QVERIFY(watch.waitForExit());
        QCOMPARE(watch.exitCode(), 0);
    }

    void frozenServiceTimesOut()
    {
        startWrapper();
        activate();
        wrapper->sendSignal(SIGSTOP);
        const ClientProcess::Result status =
            ClientProcess::run({QStringLiteral("--timeout"), QStringLiteral("1"), QStringLiteral("status"), QStringLiteral("r_one")});
        QCOMPARE(status.exitCode, 5);
        QVERIFY2(status.elapsedMs < 2000, qPrintable(QString::number(status.elapsedMs)));
        QCOMPARE(status.out, QString());
        QVERIFY2(status.err.contains(RendererOne + QStringLiteral(" did not answer within 1 s")), qPrintable(status.err));

        // Activation through --plugin meets the same frozen process.
        const ClientProcess::Result activation = ClientProcess::run(
            {QStringLiteral("-t"), QStringLiteral("0.5"), QStringLiteral("--plugin"), QStringLiteral("test"),
             QStringLiteral("stop"), QStringLiteral("r_one")});
        QCOMPARE(activation.exitCode, 5);
        QVERIFY2(activation.elapsedMs < 1500, qPrintable(QString::number(activation.elapsedMs)));
        QVERIFY2(activation.err.contains(TestControlService), qPrintable(activation.err));
        wrapper->sendSignal(SIGCONT);
    }

    void pluginOptionActivatesForTheCommand()
    {
        startWrapper();
        QVERIFY(!TestBus::hasOwner(RendererOne));
        const ClientProcess::Result result = ClientProcess::run(
            {QStringLiteral("--plugin"), QStringLiteral("test"), QStringLiteral("stop"), QStringLiteral("r_one")});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        // Active only while the command ran.
        QVERIFY(TestBus::waitForName(RendererOne, false));

        // An object the plugin publishes later is waited for.
        activate();
        ClientProcess late;
        late.start({QStringLiteral("--plugin"), QStringLiteral("libtuvo_test_plugin"), QStringLiteral("stop"),
                    QStringLiteral("r_late")});
        QVERIFY(TestBus::waitForName(RendererOne));
        QTest::qWait(200); // let it look for r_late in vain first
        QVERIFY(late.isRunning());
        QCOMPARE(pluginControl(QStringLiteral("add_object"), {QStringLiteral("renderer"), QStringLiteral("r_late"),
                                                             QStringLiteral("Test Plugin"), QStringLiteral("Late")})
                     .arguments()
                     .value(0),
                 QVariant(true));
        QVERIFY(late.waitForExit());
        QVERIFY2(late.exitCode() == 0, qPrintable(late.errors()));
        QCOMPARE(rendererCalls(QStringLiteral("r_late")), QStringList{QStringLiteral("stop()")});

        // And one that never comes is not found, after the time-out.
        const ClientProcess::Result never = ClientProcess::run(
            {QStringLiteral("-t"), QStringLiteral("0.3"), QStringLiteral("-p"), QStringLiteral("test"),
             QStringLiteral("stop"), QStringLiteral("r_never")});
        QCOMPARE(never.exitCode, 3);
        QVERIFY(never.err.contains(QLatin1String("r_never")));
    }

    void pluginThatCannotBeActivated()
    {
        // The wrapper answers the activation and then exits: the command must not wait
        // out its time-out for objects that never come.
        wrapper = std::make_unique<WrapperProcess>();
        wrapper->setHome(home.path());
        wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_FAIL"), QStringLiteral("1"));
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        const ClientProcess::Result result = ClientProcess::run(
            {QStringLiteral("-t"), QStringLiteral("20"), QStringLiteral("--plugin"), QStringLiteral("test"),
             QStringLiteral("stop"), QStringLiteral("r_one")});
        QCOMPARE(result.exitCode, 3);
        QVERIFY2(result.elapsedMs < 10000, qPrintable(QString::number(result.elapsedMs)));
        QVERIFY2(result.err.contains(QLatin1String("the process of the plugin libtuvo_test_plugin left the bus")),
                 qPrintable(result.err));
        QVERIFY(wrapper->waitForExit());
        QCOMPARE(wrapper->exitCode(), 1);
    }

    void watchFollowsObjectsAndWrapperRestarts()
    {
        startWrapper();
        ClientProcess watch;
        watch.start({QStringLiteral("watch")});
        QVERIFY(watch.waitForOutput(QStringLiteral("present  plugin   ") + TestPluginName));

        activate();
        QVERIFY(watch.waitForOutput(QStringLiteral("appeared renderer r_one ") + RendererOne));
        QVERIFY(watch.waitForOutput(QStringLiteral("hello    renderer r_two ") + RendererTwo));
        QVERIFY(watch.waitForOutput(QStringLiteral("appeared source   s_one ") + SourceOne));
        QVERIFY(pluginControl(QStringLiteral("remove_object"), {QStringLiteral("r_two")}).arguments().value(0).toBool());
        QVERIFY(watch.waitForOutput(QStringLiteral("vanished renderer r_two ") + RendererTwo));

        // Every line is written as it happens: the last one is complete already.
        QVERIFY(watch.output().endsWith(QLatin1Char('\n')));

        // The wrapper dies and a new one takes over; watch goes on.
        wrapper->kill();
        QVERIFY(watch.waitForOutput(QStringLiteral("vanished plugin   ") + TestPluginName));
        QVERIFY(watch.waitForOutput(QStringLiteral("vanished renderer r_one")));
        activator.reset();
        startWrapper();
        activate();
        QVERIFY(watch.waitForOutput(QStringLiteral("appeared plugin   ") + TestPluginName));
        const int restarted = watch.output().lastIndexOf(QStringLiteral("appeared plugin"));
        QTRY_VERIFY(watch.output().indexOf(QStringLiteral("appeared renderer r_one"), restarted) > restarted);

        watch.sendSignal(SIGINT);
        QVERIFY(watch.waitForExit());
        QCOMPARE(watch.exitCode(), 0);
        QCOMPARE(watch.errors(), QString());
    }

    void watchShowsTheSignalsOfATarget()
    {
        startWrapper();
        activate();
        ClientProcess watch;
        watch.start({QStringLiteral("watch"), QStringLiteral("r_one")});
        QVERIFY(watch.waitForOutput(QStringLiteral("present  renderer r_one")));
        ClientProcess json;
        json.start({QStringLiteral("watch"), QStringLiteral("--json")});
        QVERIFY(json.waitForOutput(QStringLiteral("\"event\":\"present\"")));
        QTest::qWait(100); // both subscribed; nothing in the protocol says when

        rendererControl(QStringLiteral("r_two"), QStringLiteral("emit_state_changed"), {2});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_state_changed"), {1});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_media_changed"), {3, QStringLiteral("track_3")});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_metadata_changed"),
                        {QStringLiteral("artist"), QVariantList{QStringLiteral("Ada"), 5}});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_buffering_info"), {0.5});
        rendererControl(QStringLiteral("r_one"), QStringLiteral("emit_error"), {104, QStringLiteral("broken")});
        QVERIFY(watch.waitForOutput(QStringLiteral("signal   renderer r_one error code=104 message=\"broken\"")));
        const QString out = watch.output();
        QVERIFY2(out.contains(QLatin1String("signal   renderer r_one state_changed state=1 (playing)\n")), qPrintable(out));
        QVERIFY(out.contains(QLatin1String("signal   renderer r_one media_changed index=3 objectId=\"track_3\"\n")));
        QVERIFY(out.contains(QLatin1String("signal   renderer r_one metadata_changed key=\"artist\" values=[\"Ada\", 5]\n")));
        QVERIFY(out.contains(QLatin1String("signal   renderer r_one buffering_info status=0.5\n")));
        QVERIFY2(!out.contains(QLatin1String("r_two")), qPrintable(out));

        QVERIFY(json.waitForOutput(QStringLiteral("\"signal\":\"error\"")));
        QList<QJsonObject> events = jsonLines(json.output());
        QVERIFY(!events.isEmpty());
        QJsonObject metadata;
        for (const QJsonObject &event : events) {
            if (event.value(QStringLiteral("signal")).toString() == QLatin1String("metadata_changed"))
                metadata = event;
        }
        QCOMPARE(metadata.value(QStringLiteral("event")).toString(), QStringLiteral("signal"));
        QCOMPARE(metadata.value(QStringLiteral("bus_name")).toString(), RendererOne);
        QCOMPARE(metadata.value(QStringLiteral("interface")).toString(), QStringLiteral("com.oxbel.tuvo.renderer"));
        QCOMPARE(metadata.value(QStringLiteral("args")).toArray(),
                 (QJsonArray{QStringLiteral("artist"), QJsonArray{QStringLiteral("Ada"), 5}}));
        QCOMPARE(metadata.value(QStringLiteral("types")).toArray(),
                 (QJsonArray{QStringLiteral("string"), QStringLiteral("list")}));

        for (ClientProcess *process : {&watch, &json}) {
            process->sendSignal(SIGTERM);
            QVERIFY(process->waitForExit());
            QCOMPARE(process->exitCode(), 0);
        }
    }

    void activateHoldsThePlugin()
    {
        startWrapper();
        ClientProcess holder;
        holder.start({QStringLiteral("activate"), QStringLiteral("test")});
        QVERIFY(holder.waitForOutput(RendererTwo));
        QVERIFY(TestBus::hasOwner(RendererOne));
        QVERIFY(holder.waitForError(QStringLiteral("keeping libtuvo_test_plugin active")));
        holder.sendSignal(SIGINT);
        QVERIFY(holder.waitForExit());
        QCOMPARE(holder.exitCode(), 0);
        QVERIFY(TestBus::waitForName(RendererOne, false));
    }

    void everyDocumentedOptionIsAccepted()
    {
        // The options --help documents, per verb, each tried on a command that then
        // only fails to find its (missing) object.
        const ClientProcess::Result help = ClientProcess::run({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        const QRegularExpression verbLine(QStringLiteral("^  ([a-z-]+) ([A-Z\\[].*?)\\s{2,}"),
                                          QRegularExpression::MultilineOption);
        const QRegularExpression optionPattern(QStringLiteral("^  (?:-(\\w), )?\\s*--([a-z-]+)(?: ([A-Z]+))?"),
                                               QRegularExpression::MultilineOption);
        QFile man(QStringLiteral(TUVO_CLIENT_MAN_PAGE));
        QVERIFY(man.open(QIODevice::ReadOnly));
        const QString manText = QString::fromUtf8(man.readAll());
        QFile completion(QStringLiteral(TUVO_CLIENT_COMPLETION));
        QVERIFY(completion.open(QIODevice::ReadOnly));
        const QString completionText = QString::fromUtf8(completion.readAll());

        int tried = 0;
        auto it = verbLine.globalMatch(help.out);
        QStringList verbs;
        while (it.hasNext())
            verbs.append(it.next().captured(1));
        QVERIFY(verbs.contains(QStringLiteral("browse")));
        for (const QString &verb : qAsConst(verbs)) {
            const ClientProcess::Result verbHelp = ClientProcess::run({QStringLiteral("help"), verb});
            QCOMPARE(verbHelp.exitCode, 0);
            auto options = optionPattern.globalMatch(verbHelp.out);
            while (options.hasNext()) {
                const QRegularExpressionMatch option = options.next();
                const QString name = option.captured(2);
                QVERIFY2(manText.contains(QStringLiteral("\\-\\-") + QString(name).replace(QLatin1Char('-'), QStringLiteral("\\-"))),
                         qPrintable(name));
                QVERIFY2(completionText.contains(QStringLiteral("--") + name), qPrintable(name));
                if (name == QLatin1String("help") || name == QLatin1String("version"))
                    continue;
                QStringList args{verb};
                if (verb == QLatin1String("activate"))
                    args.append(QStringLiteral("no_plugin"));
                else if (verb == QLatin1String("list") || verb == QLatin1String("watch") || verb == QLatin1String("help"))
                    args.append(QStringLiteral("--plugin=no_plugin"));
                else
                    args.append(QStringLiteral("no_object"));
                if (verb == QLatin1String("query") || verb == QLatin1String("get") || verb == QLatin1String("set")
                    || verb == QLatin1String("seek") || verb == QLatin1String("goto")
                    || verb == QLatin1String("assign-playlist"))
                    args.append(QStringLiteral("1"));
                if (verb == QLatin1String("set"))
                    args.append(QStringLiteral("2"));
                if (name == QLatin1String("start") || name == QLatin1String("content-type"))
                    args.append(QStringLiteral("sample:///track_1"));
                if (name == QLatin1String("plugin") && args.contains(QStringLiteral("--plugin=no_plugin")))
                    continue;
                for (const QString &spelling : {QStringLiteral("--") + name, QStringLiteral("-") + option.captured(1)}) {
                    if (spelling == QLatin1String("-"))
                        continue;
                    QStringList withOption = args;
                    withOption.append(spelling);
                    const QString value = option.captured(3);
                    if (value == QLatin1String("SECONDS") || value == QLatin1String("N"))
                        withOption.append(QStringLiteral("1"));
                    else if (value == QLatin1String("TYPE") && name == QLatin1String("type"))
                        withOption.append(QStringLiteral("int"));
                    else if (!value.isEmpty())
                        withOption.append(name == QLatin1String("plugin") ? QStringLiteral("no_plugin") : QStringLiteral("x"));
                    if (verb == QLatin1String("help"))
                        continue;
                    const ClientProcess::Result result = ClientProcess::run(withOption);
                    QVERIFY2(result.exitCode == 3, qPrintable(withOption.join(QLatin1Char(' ')) + QStringLiteral(" -> ")
                                                                + QString::number(result.exitCode) + QLatin1Char(' ') + result.err));
                    ++tried;
                }
            }
        }
        QVERIFY(tried > 40);
    }

    void completionOffersVerbsOptionsAndNames()
    {
        startWrapper();
        activate();
        auto complete = [](const QStringList &words) {
            QProcess bash;
            QStringList quoted;
            for (const QString &word : words)
                quoted.append(QLatin1Char('\'') + word + QLatin1Char('\''));
            const QString script = QStringLiteral(
                                       "source '%1'; COMP_WORDS=(%2); COMP_CWORD=%3; _tuvo_client; "
                                       "printf '%s\\n' \"${COMPREPLY[@]}\"")
                                       .arg(QStringLiteral(TUVO_CLIENT_COMPLETION), quoted.join(QLatin1Char(' ')))
                                       .arg(words.size() - 1);
            bash.start(QStringLiteral("bash"), {QStringLiteral("-c"), script});
            bash.waitForFinished(20000);
            return QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        const QString tool = ClientProcess::program();
        QCOMPARE(complete({tool, QStringLiteral("br")}), QStringList{QStringLiteral("browse")});
        QCOMPARE(complete({tool, QStringLiteral("browse"), QStringLiteral("x"), QStringLiteral("--sk")}),
                 QStringList{QStringLiteral("--skip")});
        QCOMPARE(complete({tool, QStringLiteral("play"), QStringLiteral("r_")}),
                 (QStringList{QStringLiteral("r_one"), QStringLiteral("r_two")}));
        QCOMPARE(complete({tool, QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("stop"), QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.r_o")}),
                 QStringList{RendererOne});
        QCOMPARE(complete({tool, QStringLiteral("browse"), QStringLiteral("")}),
                 (QStringList{QStringLiteral("s_one"), SourceOne}));
        QCOMPARE(complete({tool, QStringLiteral("--plugin"), QStringLiteral("libtuvo_t")}), QStringList{TestPluginName});
        QCOMPARE(complete({tool, QStringLiteral("list"), QStringLiteral("re")}), QStringList{QStringLiteral("renderer")});
        QCOMPARE(complete({tool, QStringLiteral("set"), QStringLiteral("r_one"), QStringLiteral("v"), QStringLiteral("1"),
                           QStringLiteral("--type"), QStringLiteral("ui")}),
                 (QStringList{QStringLiteral("uint16"), QStringLiteral("uint"), QStringLiteral("uint64")}));
    }
};

QTEST_MAIN(tst_TuvoClientProcess)
#include "tst_tuvoclientprocess.moc"
