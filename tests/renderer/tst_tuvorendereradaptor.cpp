// The renderer interface of the real wrapper process on a private bus, seen from a
// client connection of its own; the test plugin's renderers log what reaches them and
// answer queries when, and as, each test tells them to.

#include "BusClient.h"
#include "BusMonitor.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "MediaInfoToString.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoMediaInfoDBus.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QProcess>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString PluginControlPath = QStringLiteral("/com/oxbel/tuvo/test");
const QString PluginControlInterface = QStringLiteral("com.oxbel.tuvo.test.Plugin");
const QString RendererControlInterface = QStringLiteral("com.oxbel.tuvo.test.Renderer");
const QString RendererInterface = QStringLiteral("com.oxbel.tuvo.renderer");
const QString Cancelled = QStringLiteral("com.oxbel.tuvo.renderer.cancelled");
const QString CancelledText = QStringLiteral("Message cancelled.");
const QString Failed = QStringLiteral("org.freedesktop.DBus.Error.Failed");
const QString MediaInfoMember = QStringLiteral("\"1getCurrentMediaInfoCallback(const TuvoMediaInfo&)\"");

QStringList rendererContract()
{
    return InterfaceContract::fromXml(InterfaceContract::contractXml(RendererInterface),
                                      RendererInterface);
}

QString outSignature(const QString &method)
{
    return InterfaceContract::outSignature(rendererContract(), method);
}

QString querySuffix(const QString &query)
{
    if (query == QLatin1String("status"))
        return QStringLiteral("get_status");
    if (query == QLatin1String("position"))
        return QStringLiteral("get_position");
    return QStringLiteral("get_current_media_info");
}

TuvoMediaInfo mediaInfoOf(const QDBusMessage &reply)
{
    return TuvoMediaInfoDBus::fromWire(qdbus_cast<TuvoMediaInfoDBusStruct>(reply.arguments().value(0)));
}

TuvoMediaInfo record(const QString &uuid, const TuvoMediaInfo::MetaData &metaData)
{
    TuvoMediaInfo info(uuid);
    info.setMetaData(metaData);
    return info;
}

// The a{sv} form the renderer control takes: a list stands for the key's values.
QVariantMap toControlMap(const TuvoMediaInfo &info)
{
    QVariantMap map;
    const TuvoMediaInfo::MetaData &metaData = info.metaData();
    for (auto it = metaData.constBegin(); it != metaData.constEnd(); ++it)
        map.insert(it.key(), QVariant(it.value()));
    return map;
}

const TuvoMediaInfo TrackInfo = record(
    QStringLiteral("track_42"),
    {{QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben")}},
     {QStringLiteral("title"), {QStringLiteral("Low Tide")}},
     {QStringLiteral("track"), {7}}});
} // namespace

// Keeps asynchronous calls and notes the order in which their replies arrive.
class CallLog : public QObject
{
    Q_OBJECT
public:
    QStringList order;

    QDBusPendingCall track(const QString &label, const QDBusPendingCall &call)
    {
        auto *watcher = new QDBusPendingCallWatcher(call, this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, label] { order.append(label); });
        return call;
    }
    void note(const QString &label) { order.append(label); }
};

class tst_TuvoRendererAdaptor : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> activator;
    std::unique_ptr<BusClient> client;
    int rendererCount = 0;
    QString uuid;

    QString service() const { return QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.") + uuid; }
    QString path() const { return QStringLiteral("/com/oxbel/tuvo/renderer/") + uuid; }
    QString controlPath() const { return QStringLiteral("/com/oxbel/tuvo/test/renderer/") + uuid; }

    QDBusMessage call(const QString &method, const QVariantList &arguments = {})
    {
        return client->call(service(), path(), RendererInterface, method, arguments);
    }
    QDBusPendingCall callAsync(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service(), path(), RendererInterface, method);
        message.setArguments(arguments);
        return client->connection().asyncCall(message);
    }
    // Control calls travel on the client's connection too, so they reach the wrapper
    // after every call the client made before them.
    QDBusMessage control(const QString &method, const QVariantList &arguments = {})
    {
        return client->call(TestPluginService, controlPath(), RendererControlInterface, method, arguments);
    }
    QVariant controlValue(const QString &method, const QVariantList &arguments = {})
    {
        const QDBusMessage reply = control(method, arguments);
        if (reply.type() != QDBusMessage::ReplyMessage)
            qWarning() << "control call" << method << "failed:" << reply.errorMessage();
        return reply.arguments().value(0);
    }
    QStringList rendererCalls() { return controlValue(QStringLiteral("calls")).toStringList(); }
    QStringList rendererCalls(const QString &prefix)
    {
        return rendererCalls().filter(QRegularExpression(QLatin1Char('^') + prefix));
    }
    int outstanding(const QString &query) { return controlValue(QStringLiteral("outstanding"), {query}).toInt(); }
    bool answerMediaInfo(const TuvoMediaInfo &info)
    {
        return controlValue(QStringLiteral("answer_media_info"), {info.uuid(), toControlMap(info)}).toBool();
    }
    int errorCount(const QString &text) { return int(wrapper->errorOutput().count(text)); }

    static bool isCancelled(const QDBusPendingCall &call)
    {
        return call.isFinished() && call.isError() && call.error().name() == Cancelled
               && call.error().message() == CancelledText;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        TuvoMediaInfoDBusStruct::registerMetaType();
        QVERIFY(!rendererContract().isEmpty());
        wrapper.reset(new WrapperProcess);
        wrapper->setHome(home.path());
        wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QString());
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        activator.reset(new BusClient);
        QVERIFY(activator->activate(TestPluginName));
        QVERIFY(TestBus::waitForName(TestPluginService));
        client.reset(new BusClient);
        QVERIFY(client->isConnected());
    }

    void cleanupTestCase()
    {
        client.reset();
        activator.reset();
        wrapper.reset();
    }

    // Every test gets a renderer of its own, so no state carries over.
    void init()
    {
        uuid = QStringLiteral("renderer_%1").arg(++rendererCount);
        const QDBusMessage reply = client->call(
            TestPluginService, PluginControlPath, PluginControlInterface, QStringLiteral("add_object"),
            {QStringLiteral("renderer"), uuid, QStringLiteral("Test Plugin"), QStringLiteral("Test Renderer")});
        QCOMPARE(reply.arguments().value(0).toBool(), true);
        QVERIFY(TestBus::waitForName(service()));
    }

    void cleanup()
    {
        client->call(TestPluginService, PluginControlPath, PluginControlInterface,
                     QStringLiteral("remove_object"), {uuid});
        QVERIFY(TestBus::waitForName(service(), false));
        QVERIFY(wrapper->isRunning());
    }

    void liveIntrospectionIsTheContract()
    {
        const QString xml = TestBus::introspect(service(), path());
        QCOMPARE(InterfaceContract::fromXml(xml, RendererInterface), rendererContract());
    }

    void commandsReachTheRenderer_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("expected");

        QTest::newRow("play") << "play" << QVariantList() << "play()";
        QTest::newRow("play_uri") << "play_uri" << QVariantList{QStringLiteral("sample:///track_3"), 42u}
                                  << "playUri(\"sample:///track_3\", 42)";
        QTest::newRow("play_uri without start") << "play_uri" << QVariantList{QStringLiteral("http://host/a.mp3")}
                                                << "playUri(\"http://host/a.mp3\", 0)";
        QTest::newRow("play_uri empty url") << "play_uri" << QVariantList{QString(), 5u} << "playUri(\"\", 5)";
        QTest::newRow("play_uri encoded") << "play_uri" << QVariantList{QStringLiteral("file:///m/a%20b.mp3")}
                                          << "playUri(\"file:///m/a b.mp3\", 0)";
        QTest::newRow("play_uri beyond ascii")
            << "play_uri" << QVariantList{QStringLiteral("file:///m/日本 Björk.mp3"), 1u}
            << "playUri(\"file:///m/日本 Björk.mp3\", 1)";
        QTest::newRow("play_uri_content_type")
            << "play_uri_content_type" << QVariantList{QStringLiteral("http://h/x.ogg"), QStringLiteral("audio/ogg")}
            << "playUriWithContentType(\"http://h/x.ogg\", \"audio/ogg\")";
        QTest::newRow("play_uri_content_type empty")
            << "play_uri_content_type" << QVariantList{QString(), QString()} << "playUriWithContentType(\"\", \"\")";
        QTest::newRow("stop") << "stop" << QVariantList() << "stop()";
        QTest::newRow("pause") << "pause" << QVariantList() << "pause()";
        QTest::newRow("pause_at") << "pause_at" << QVariantList{17u} << "pauseAt(17)";
        QTest::newRow("resume") << "resume" << QVariantList() << "resume()";
        QTest::newRow("set_position") << "set_position" << QVariantList{-30, 2} << "setPosition(-30, 2)";
        QTest::newRow("set_position without mode") << "set_position" << QVariantList{90} << "setPosition(90, 0)";
        QTest::newRow("set_position unknown mode") << "set_position" << QVariantList{5, 77} << "setPosition(5, 77)";
        QTest::newRow("assign_playlist unknown") << "assign_playlist" << QVariantList{QStringLiteral("nothing")}
                                                 << "assignPlaylist(null)";
    }

    void commandsReachTheRenderer()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expected);
        const QDBusMessage reply = call(method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), QString());
        QCOMPARE(rendererCalls(), QStringList{expected});
    }

    void refusedCommandsStillReplyEmpty()
    {
        for (const char *command : {"play", "playUri", "playUriWithContentType", "stop", "pause", "pauseAt",
                                    "resume", "setPosition", "assignPlaylist", "next", "previous", "gotoIndex"})
            QVERIFY(controlValue(QStringLiteral("set_command_result"), {QLatin1String(command), false}).toBool());
        QVERIFY(controlValue(QStringLiteral("add_playlist"), {QStringLiteral("refusing_list"),
                                                              QStringList{QStringLiteral("a")}}).toBool());
        const QStringList warnings{QStringLiteral("TuvoRendererAdaptor: assigning playlist fails."),
                                   QStringLiteral("TuvoRendererAdaptor: playlist next fails."),
                                   QStringLiteral("TuvoRendererAdaptor: playlist previous fails."),
                                   QStringLiteral("TuvoRendererAdaptor: playlist goto_index fails.")};
        QList<int> before;
        for (const QString &warning : warnings)
            before.append(errorCount(warning));

        const QList<QPair<QString, QVariantList>> calls{
            {QStringLiteral("play"), {}},
            {QStringLiteral("play_uri"), {QStringLiteral("x")}},
            {QStringLiteral("play_uri_content_type"), {QStringLiteral("x"), QStringLiteral("y")}},
            {QStringLiteral("stop"), {}},
            {QStringLiteral("pause"), {}},
            {QStringLiteral("pause_at"), {1u}},
            {QStringLiteral("resume"), {}},
            {QStringLiteral("set_position"), {1}},
            {QStringLiteral("assign_playlist"), {QStringLiteral("refusing_list")}},
            {QStringLiteral("next"), {}},
            {QStringLiteral("previous"), {}},
            {QStringLiteral("goto_index"), {3u}},
        };
        for (const auto &c : calls) {
            const QDBusMessage reply = call(c.first, c.second);
            QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(c.first + reply.errorMessage()));
            QCOMPARE(reply.signature(), QString());
        }
        // A refused assignment still counts: navigation reaches the renderer.
        QCOMPARE(rendererCalls().mid(8), (QStringList{QStringLiteral("assignPlaylist(\"refusing_list\")"),
                                                      QStringLiteral("next()"), QStringLiteral("previous()"),
                                                      QStringLiteral("gotoIndex(3)")}));
        for (int i = 0; i < warnings.size(); ++i)
            QTRY_COMPARE(errorCount(warnings.at(i)), before.at(i) + 1);
        QVERIFY(controlValue(QStringLiteral("remove_playlist"), {QStringLiteral("refusing_list")}).toBool());
    }

    void navigationFollowsTheAssignedPlaylist()
    {
        // Nothing assigned: navigation does not reach the renderer.
        QCOMPARE(call(QStringLiteral("goto_index"), {1u}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call(QStringLiteral("next")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call(QStringLiteral("previous")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(rendererCalls(), QStringList());

        QVERIFY(controlValue(QStringLiteral("add_playlist"),
                             {QStringLiteral("nav_list"), QStringList{QStringLiteral("a"), QStringLiteral("b")}}).toBool());
        call(QStringLiteral("assign_playlist"), {QStringLiteral("nav_list")});
        call(QStringLiteral("next"));
        call(QStringLiteral("previous"));
        call(QStringLiteral("goto_index"), {2u});
        QCOMPARE(rendererCalls(), (QStringList{QStringLiteral("assignPlaylist(\"nav_list\")"), QStringLiteral("next()"),
                                               QStringLiteral("previous()"), QStringLiteral("gotoIndex(2)")}));

        // The renderer's own playlist changes leave the guard alone.
        control(QStringLiteral("emit_playlist_changed"), {QString()});
        call(QStringLiteral("next"));
        QCOMPARE(rendererCalls().size(), 5);

        // An unknown id hands the renderer no playlist and closes the guard again.
        control(QStringLiteral("clear_calls"));
        call(QStringLiteral("assign_playlist"), {QStringLiteral("missing")});
        call(QStringLiteral("next"));
        call(QStringLiteral("previous"));
        call(QStringLiteral("goto_index"), {0u});
        QCOMPARE(rendererCalls(), QStringList{QStringLiteral("assignPlaylist(null)")});
        QVERIFY(controlValue(QStringLiteral("remove_playlist"), {QStringLiteral("nav_list")}).toBool());
    }

    void callsShareOneRenderRequest_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QVariantList>("values");

        QTest::newRow("status") << "status" << "getStatus(\"1getStatusCallback(QString,uint,int,QString)\")"
                                << "answer_status"
                                << QVariantList{QStringLiteral("list_9"), 4u, 1, QStringLiteral("item_3")};
        QTest::newRow("position") << "position" << "getPosition(\"1getPositionCallback(uint)\")"
                                  << "answer_position" << QVariantList{93u};
    }

    void callsShareOneRenderRequest()
    {
        QFETCH(QString, query);
        QFETCH(QString, member);
        QFETCH(QString, answer);
        QFETCH(QVariantList, values);
        const QString method = querySuffix(query);

        CallLog log;
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < 3; ++i)
            calls.append(log.track(QString::number(i), callAsync(method)));
        QCOMPARE(rendererCalls(), QStringList{member});
        QCOMPARE(outstanding(query), 1);
        for (const QDBusPendingCall &c : calls)
            QVERIFY(!c.isFinished());

        QVERIFY(controlValue(answer, values).toBool());
        QTRY_COMPARE(log.order, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
        for (const QDBusPendingCall &c : calls) {
            const QDBusMessage reply = c.reply();
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QCOMPARE(reply.signature(), outSignature(method));
            QCOMPARE(reply.arguments(), values);
        }

        // Answered: the next call asks again.
        QDBusPendingCall later = callAsync(method);
        QCOMPARE(rendererCalls(), (QStringList{member, member}));
        QVERIFY(controlValue(answer, values).toBool());
        later.waitForFinished();
        QCOMPARE(later.reply().arguments(), values);
    }

    void queriesAnsweredInsideTheRequest_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QVariantList>("arguments");

        QTest::newRow("status") << "status" << "set_status"
                                << QVariantList{QString(), 0u, 2, QStringLiteral("item")} << QVariantList();
        QTest::newRow("position") << "position" << "set_position" << QVariantList{12u} << QVariantList();
        QTest::newRow("media info") << "media_info" << "set_media_info"
                                    << QVariantList{TrackInfo.uuid(), toControlMap(TrackInfo)}
                                    << QVariantList{QString()};
        QTest::newRow("media info with key") << "media_info" << "set_media_info"
                                             << QVariantList{TrackInfo.uuid(), toControlMap(TrackInfo)}
                                             << QVariantList{QStringLiteral("title")};
    }

    // A renderer may answer inside the request; for media info the call used to be
    // kept only after asking, so such an answer found nothing to reply to.
    void queriesAnsweredInsideTheRequest()
    {
        QFETCH(QString, query);
        QFETCH(QString, preset);
        QFETCH(QVariantList, values);
        QFETCH(QVariantList, arguments);
        QVERIFY(controlValue(QStringLiteral("set_query_mode"), {query, QStringLiteral("now")}).toBool());
        control(preset, values);
        const int warnings = errorCount(QStringLiteral("There are no D-Bus messages to reply to!"));

        for (int round = 0; round < 2; ++round) {
            const QDBusMessage reply = call(querySuffix(query), arguments);
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            if (query == QLatin1String("media_info")) {
                const QString key = arguments.value(0).toString();
                const TuvoMediaInfo expected = key.isEmpty()
                    ? TrackInfo
                    : record(TrackInfo.uuid(), {{key, TrackInfo.metaData(key)}});
                QCOMPARE(mediaInfoOf(reply), expected);
            } else {
                QCOMPARE(reply.arguments(), values);
            }
        }
        QCOMPARE(rendererCalls().size(), 2);
        QCOMPARE(errorCount(QStringLiteral("There are no D-Bus messages to reply to!")), warnings);
    }

    void refusedStatusOrPositionFailsAtOnce_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QVariantList>("values");
        QTest::newRow("status") << "status" << "failed to get status" << "answer_status"
                                << QVariantList{QStringLiteral("l"), 1u, 1, QStringLiteral("o")};
        QTest::newRow("position") << "position" << "failed to get position" << "answer_position"
                                  << QVariantList{5u};
    }

    // No answer follows a refusal: the call gets an error at once instead of waiting
    // for its time-out, and later calls are not stuck behind it.
    void refusedStatusOrPositionFailsAtOnce()
    {
        QFETCH(QString, query);
        QFETCH(QString, text);
        QFETCH(QString, answer);
        QFETCH(QVariantList, values);
        const QString method = querySuffix(query);
        QVERIFY(controlValue(QStringLiteral("queue_query_modes"), {query, QStringList{QStringLiteral("refuse")}}).toBool());

        const QDBusMessage refused = call(method);
        QCOMPARE(refused.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(refused.errorName(), Failed);
        QCOMPARE(refused.errorMessage(), text);

        QDBusPendingCall next = callAsync(method);
        QCOMPARE(rendererCalls().size(), 2);
        QVERIFY(controlValue(answer, values).toBool());
        next.waitForFinished();
        QCOMPARE(next.reply().arguments(), values);
    }

    void mediaInfoWithAndWithoutKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<TuvoMediaInfo>("expected");
        QTest::newRow("whole record") << QString() << TrackInfo;
        QTest::newRow("list of values") << "artist"
                                        << record(TrackInfo.uuid(), {{QStringLiteral("artist"),
                                                                      {QStringLiteral("Ada"), QStringLiteral("Ben")}}});
        QTest::newRow("integer value") << "track" << record(TrackInfo.uuid(), {{QStringLiteral("track"), {7}}});
        QTest::newRow("key without values") << "composer"
                                            << record(TrackInfo.uuid(), {{QStringLiteral("composer"), {}}});
    }

    void mediaInfoWithAndWithoutKey()
    {
        QFETCH(QString, key);
        QFETCH(TuvoMediaInfo, expected);
        QDBusPendingCall pending = callAsync(QStringLiteral("get_current_media_info"), {key});
        // The renderer is asked for the whole record, with a null key.
        QCOMPARE(rendererCalls(), QStringList{QStringLiteral("getCurrentMediaInfo(%1, null)").arg(MediaInfoMember)});
        QVERIFY(!pending.isFinished());
        QVERIFY(answerMediaInfo(TrackInfo));
        pending.waitForFinished();
        const QDBusMessage reply = pending.reply();
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), outSignature(QStringLiteral("get_current_media_info")));
        QCOMPARE(mediaInfoOf(reply), expected);
    }

    void mediaInfoCallsAreAskedForOneAfterTheOther()
    {
        CallLog log;
        QDBusPendingCall title = log.track(QStringLiteral("title"),
                                           callAsync(QStringLiteral("get_current_media_info"), {QStringLiteral("title")}));
        QDBusPendingCall artist = log.track(QStringLiteral("artist"),
                                            callAsync(QStringLiteral("get_current_media_info"), {QStringLiteral("artist")}));
        QCOMPARE(rendererCalls().size(), 1);
        QCOMPARE(outstanding(QStringLiteral("media_info")), 1);

        QVERIFY(answerMediaInfo(TrackInfo));
        QTRY_COMPARE(log.order, QStringList{QStringLiteral("title")});
        QCOMPARE(mediaInfoOf(title.reply()),
                 record(TrackInfo.uuid(), {{QStringLiteral("title"), {QStringLiteral("Low Tide")}}}));
        // Only now is the renderer asked for the second call.
        QCOMPARE(rendererCalls().size(), 2);
        QVERIFY(!artist.isFinished());

        const TuvoMediaInfo changed = record(QStringLiteral("track_43"),
                                             {{QStringLiteral("artist"), {QStringLiteral("Cy")}}});
        QVERIFY(answerMediaInfo(changed));
        QTRY_COMPARE(log.order, (QStringList{QStringLiteral("title"), QStringLiteral("artist")}));
        QCOMPARE(mediaInfoOf(artist.reply()), changed);
        QCOMPARE(rendererCalls().size(), 2);
    }

    void mediaInfoRefusalInTheMiddleOfTheQueue()
    {
        QVERIFY(controlValue(QStringLiteral("queue_query_modes"),
                             {QStringLiteral("media_info"),
                              QStringList{QStringLiteral("later"), QStringLiteral("refuse"), QStringLiteral("later")}})
                    .toBool());
        CallLog log;
        QList<QDBusPendingCall> calls;
        for (const char *key : {"title", "artist", "track"})
            calls.append(log.track(QLatin1String(key),
                                   callAsync(QStringLiteral("get_current_media_info"), {QLatin1String(key)})));
        QCOMPARE(rendererCalls().size(), 1);

        QVERIFY(answerMediaInfo(TrackInfo));
        QTRY_COMPARE(log.order, (QStringList{QStringLiteral("title"), QStringLiteral("artist")}));
        QCOMPARE(calls.at(0).reply().type(), QDBusMessage::ReplyMessage);
        QCOMPARE(calls.at(1).error().name(), Failed);
        QCOMPARE(calls.at(1).error().message(), QStringLiteral("failed to get media info"));
        // The third call was asked for at once, after the refusal.
        QCOMPARE(rendererCalls().size(), 3);
        QCOMPARE(outstanding(QStringLiteral("media_info")), 1);
        QVERIFY(!calls.at(2).isFinished());

        QVERIFY(answerMediaInfo(TrackInfo));
        QTRY_VERIFY(calls.at(2).isFinished());
        QCOMPARE(mediaInfoOf(calls.at(2).reply()), record(TrackInfo.uuid(), {{QStringLiteral("track"), {7}}}));
    }

    // Once the renderer answers inside the request, each answer leads to the next
    // request at once, until the queue is empty.
    void mediaInfoQueueDrainsWhenAnsweredInside()
    {
        QVERIFY(controlValue(QStringLiteral("queue_query_modes"),
                             {QStringLiteral("media_info"), QStringList{QStringLiteral("later")}}).toBool());
        CallLog log;
        QList<QDBusPendingCall> calls;
        const QStringList keys{QStringLiteral("title"), QStringLiteral("artist"), QString(), QStringLiteral("track"),
                               QStringLiteral("title")};
        for (const QString &key : keys)
            calls.append(log.track(QString::number(calls.size()),
                                   callAsync(QStringLiteral("get_current_media_info"), {key})));
        QCOMPARE(rendererCalls().size(), 1);
        QVERIFY(controlValue(QStringLiteral("set_query_mode"), {QStringLiteral("media_info"), QStringLiteral("now")}).toBool());
        control(QStringLiteral("set_media_info"), {TrackInfo.uuid(), toControlMap(TrackInfo)});

        QVERIFY(answerMediaInfo(TrackInfo));
        QTRY_COMPARE(log.order.size(), keys.size());
        QCOMPARE(log.order, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
                                         QStringLiteral("3"), QStringLiteral("4")}));
        for (int i = 0; i < keys.size(); ++i) {
            const TuvoMediaInfo expected = keys.at(i).isEmpty()
                ? TrackInfo
                : record(TrackInfo.uuid(), {{keys.at(i), TrackInfo.metaData(keys.at(i))}});
            QCOMPARE(mediaInfoOf(calls.at(i).reply()), expected);
        }
        QCOMPARE(rendererCalls().size(), keys.size());
        QCOMPARE(outstanding(QStringLiteral("media_info")), 0);
    }

    // A refused call used to get the error and then an empty reply as well, which no
    // client library shows its caller: the monitor sees what the daemon routes.
    void refusedMediaInfoGetsExactlyOneReply()
    {
        const QString wrapperName = TestBus::owner(service());
        QVERIFY(!wrapperName.isEmpty());
        const QString me = client->uniqueName();
        BusMonitor monitor;
        QVERIFY(monitor.start({QStringLiteral("type='method_call',sender='%1'").arg(me),
                               QStringLiteral("type='method_return',sender='%1'").arg(wrapperName),
                               QStringLiteral("type='error',sender='%1'").arg(wrapperName)}));
        QVERIFY(controlValue(QStringLiteral("set_query_mode"), {QStringLiteral("media_info"), QStringLiteral("refuse")}).toBool());

        const QDBusMessage reply = call(QStringLiteral("get_current_media_info"), {QStringLiteral("title")});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), Failed);
        QCOMPARE(reply.errorMessage(), QStringLiteral("failed to get media info"));
        // Whatever the wrapper sent for that call went out before its reply to this one.
        QDBusMessage ping = QDBusMessage::createMethodCall(service(), path(), QStringLiteral("org.freedesktop.DBus.Peer"),
                                                           QStringLiteral("Ping"));
        QCOMPARE(client->connection().call(ping).type(), QDBusMessage::ReplyMessage);

        BusMonitor::Record query, pinged;
        QVERIFY(monitor.waitFor([](const BusMonitor::Record &r) { return r.member == QLatin1String("get_current_media_info"); }, &query));
        QVERIFY(monitor.waitFor([](const BusMonitor::Record &r) { return r.member == QLatin1String("Ping"); }, &pinged));
        QVERIFY(monitor.waitFor([&](const BusMonitor::Record &r) { return r.replySerial == pinged.serial && r.destination == me; }));
        QStringList replies;
        for (const BusMonitor::Record &r : monitor.records()) {
            if (r.replySerial == query.serial && r.destination == me)
                replies.append(r.type + QLatin1Char(' ') + r.errorName);
        }
        QCOMPARE(replies, QStringList{QStringLiteral("error ") + Failed});
    }

    void navigationCancelsEveryWaitingQuery_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("assigned");
        QTest::newRow("next") << "next" << false;
        QTest::newRow("previous") << "previous" << false;
        QTest::newRow("next with playlist") << "next" << true;
        QTest::newRow("previous with playlist") << "previous" << true;
    }

    void navigationCancelsEveryWaitingQuery()
    {
        QFETCH(QString, command);
        QFETCH(bool, assigned);
        if (assigned) {
            QVERIFY(controlValue(QStringLiteral("add_playlist"), {QStringLiteral("cancel_list"), QStringList()}).toBool());
            call(QStringLiteral("assign_playlist"), {QStringLiteral("cancel_list")});
        }
        CallLog log;
        QList<QDBusPendingCall> calls{
            log.track(QStringLiteral("media info"), callAsync(QStringLiteral("get_current_media_info"), {QString()})),
            log.track(QStringLiteral("status"), callAsync(QStringLiteral("get_status"))),
            log.track(QStringLiteral("position"), callAsync(QStringLiteral("get_position"))),
            log.track(QStringLiteral("position"), callAsync(QStringLiteral("get_position"))),
            log.track(QStringLiteral("media info"), callAsync(QStringLiteral("get_current_media_info"), {QString()})),
        };
        control(QStringLiteral("clear_calls"));

        QCOMPARE(call(command).type(), QDBusMessage::ReplyMessage);
        // Position calls first, then status, then media info.
        QTRY_COMPARE(log.order, (QStringList{QStringLiteral("position"), QStringLiteral("position"),
                                             QStringLiteral("status"), QStringLiteral("media info"),
                                             QStringLiteral("media info")}));
        for (const QDBusPendingCall &c : calls)
            QVERIFY2(isCancelled(c), qPrintable(c.error().name()));
        QCOMPARE(rendererCalls(), assigned ? QStringList{command + QStringLiteral("()")} : QStringList());

        // Nothing is waiting any more: a new call asks the renderer again.
        control(QStringLiteral("clear_calls"));
        QDBusPendingCall again = callAsync(QStringLiteral("get_status"));
        QCOMPARE(rendererCalls().size(), 1);
        QVERIFY(!again.isFinished());
        if (assigned)
            QVERIFY(controlValue(QStringLiteral("remove_playlist"), {QStringLiteral("cancel_list")}).toBool());
    }

    void rendererErrorsCancelTheirQueries_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("cancelled");
        const QStringList all{QStringLiteral("position"), QStringLiteral("status"), QStringLiteral("media_info")};
        QTest::newRow("41") << 41 << all;
        QTest::newRow("42") << 42 << all;
        QTest::newRow("326") << 326 << QStringList{QStringLiteral("position")};
        QTest::newRow("327") << 327 << QStringList{QStringLiteral("status")};
        QTest::newRow("other") << 100 << QStringList();
        QTest::newRow("zero") << 0 << QStringList();
    }

    void rendererErrorsCancelTheirQueries()
    {
        QFETCH(int, code);
        QFETCH(QStringList, cancelled);
        CallLog log;
        BusSignalRecorder errors(QString(), path(), RendererInterface, QStringLiteral("error"), client->connection());
        QVERIFY(errors.isConnected());
        connect(&errors, &BusSignalRecorder::received, &log, [&log] { log.note(QStringLiteral("signal")); });
        QMap<QString, QDBusPendingCall> calls{
            {QStringLiteral("position"), log.track(QStringLiteral("position"), callAsync(QStringLiteral("get_position")))},
            {QStringLiteral("status"), log.track(QStringLiteral("status"), callAsync(QStringLiteral("get_status")))},
            {QStringLiteral("media_info"),
             log.track(QStringLiteral("media_info"), callAsync(QStringLiteral("get_current_media_info"), {QString()}))},
        };

        control(QStringLiteral("emit_error"), {code, QStringLiteral("went wrong")});
        QVERIFY(errors.waitForCount(1));
        QCOMPARE(errors.arguments().first(), (QVariantList{code, QStringLiteral("went wrong")}));
        // The cancellations went out before the signal.
        QCOMPARE(log.order, cancelled + QStringList{QStringLiteral("signal")});
        for (auto it = calls.constBegin(); it != calls.constEnd(); ++it) {
            if (cancelled.contains(it.key()))
                QVERIFY2(isCancelled(it.value()), qPrintable(it.key()));
            else
                QVERIFY2(!it.value().isFinished(), qPrintable(it.key()));
        }

        // The others still get their answers.
        control(QStringLiteral("answer_position"), {1u});
        control(QStringLiteral("answer_status"), {QString(), 0u, 0, QString()});
        answerMediaInfo(TrackInfo);
        for (auto it = calls.constBegin(); it != calls.constEnd(); ++it) {
            if (!cancelled.contains(it.key())) {
                QTRY_VERIFY2(it.value().isFinished(), qPrintable(it.key()));
                QCOMPARE(it.value().reply().type(), QDBusMessage::ReplyMessage);
            }
        }
    }

    void lateAnswerServesANewerCall_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QVariantList>("first");
        QTest::addColumn<QVariantList>("second");
        QTest::addColumn<QString>("warning");
        QTest::newRow("position") << "position" << "answer_position" << QVariantList{11u} << QVariantList{22u}
                                  << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getPositionCallback()";
        QTest::newRow("status") << "status" << "answer_status"
                                << QVariantList{QStringLiteral("a"), 1u, 1, QStringLiteral("x")}
                                << QVariantList{QStringLiteral("b"), 2u, 2, QStringLiteral("y")}
                                << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getStatusCallback()";
        QTest::newRow("media info") << "media_info" << "answer_media_info"
                                    << QVariantList{QStringLiteral("first"), QVariantMap()}
                                    << QVariantList{QStringLiteral("second"), QVariantMap()}
                                    << "There are no D-Bus messages to reply to!\n";
    }

    // Cancellation does not withdraw the request that is out: its answer serves
    // whichever call waits by then, and the answer to the newer request finds none.
    void lateAnswerServesANewerCall()
    {
        QFETCH(QString, query);
        QFETCH(QString, answer);
        QFETCH(QVariantList, first);
        QFETCH(QVariantList, second);
        QFETCH(QString, warning);
        const QString method = querySuffix(query);
        const QVariantList arguments = query == QLatin1String("media_info") ? QVariantList{QString()} : QVariantList();
        const int warnings = errorCount(warning);

        QDBusPendingCall old = callAsync(method, arguments);
        QCOMPARE(call(QStringLiteral("next")).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(isCancelled(old));
        QDBusPendingCall newer = callAsync(method, arguments);
        QCOMPARE(rendererCalls().size(), 2);
        QCOMPARE(outstanding(query), 2);

        QVERIFY(controlValue(answer, first).toBool());
        newer.waitForFinished();
        if (query == QLatin1String("media_info"))
            QCOMPARE(mediaInfoOf(newer.reply()).uuid(), first.first().toString());
        else
            QCOMPARE(newer.reply().arguments(), first);

        QVERIFY(controlValue(answer, second).toBool());
        QTRY_COMPARE(errorCount(warning), warnings + 1);
        QCOMPARE(rendererCalls().size(), 2);
    }

    void signalsAreForwarded_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("expected");

        QTest::newRow("state") << "emit_state_changed" << QVariantList{2} << "state_changed" << QVariantList{2};
        QTest::newRow("media") << "emit_media_changed" << QVariantList{3, QStringLiteral("item_7")}
                               << "media_changed" << QVariantList{3, QStringLiteral("item_7")};
        QTest::newRow("media without id") << "emit_media_changed" << QVariantList{-1, QString()}
                                          << "media_changed" << QVariantList{-1, QString()};
        QTest::newRow("completed") << "emit_playback_completed" << QVariantList() << "playback_completed"
                                   << QVariantList();
        QTest::newRow("playlist") << "emit_playlist_changed" << QVariantList{QStringLiteral("some_list")}
                                  << "playlist_changed" << QVariantList{QStringLiteral("some_list")};
        QTest::newRow("null playlist") << "emit_playlist_changed" << QVariantList{QString()} << "playlist_changed"
                                       << QVariantList{QString()};
        QTest::newRow("buffering") << "emit_buffering_info" << QVariantList{0.5} << "buffering_info"
                                   << QVariantList{0.5};
        QTest::newRow("scanning") << "emit_scanning_info" << QVariantList{0.25} << "scanning_info"
                                  << QVariantList{0.25};
        QTest::newRow("error") << "emit_error" << QVariantList{500, QStringLiteral("no disk")} << "error"
                               << QVariantList{500, QStringLiteral("no disk")};
    }

    void signalsAreForwarded()
    {
        QFETCH(QString, trigger);
        QFETCH(QVariantList, values);
        QFETCH(QString, member);
        QFETCH(QVariantList, expected);
        BusSignalRecorder recorder(QString(), path(), RendererInterface, member, client->connection());
        QVERIFY(recorder.isConnected());
        const int critical = errorCount(QStringLiteral("A playlist has no ID!"));

        QCOMPARE(control(trigger, values).type(), QDBusMessage::ReplyMessage);
        QVERIFY(recorder.waitForCount(1));
        const QDBusMessage signal = recorder.messages().first();
        QCOMPARE(signal.arguments(), expected);
        // A signal's arguments are what it sends out.
        QCOMPARE(signal.signature(), InterfaceContract::outSignature(rendererContract(), member));
        QCOMPARE(errorCount(QStringLiteral("A playlist has no ID!")), critical);
    }

    void playlistWithoutIdIsReportedEmpty()
    {
        BusSignalRecorder recorder(QString(), path(), RendererInterface, QStringLiteral("playlist_changed"),
                                   client->connection());
        const int critical = errorCount(QStringLiteral("TuvoRendererAdaptor: A playlist has no ID!"));
        control(QStringLiteral("emit_unnamed_playlist_changed"));
        QVERIFY(recorder.waitForCount(1));
        QCOMPARE(recorder.arguments().first(), QVariantList{QString()});
        QTRY_COMPARE(errorCount(QStringLiteral("TuvoRendererAdaptor: A playlist has no ID!")), critical + 1);
    }

    void metadataValuesKeepTheirTypes()
    {
        BusSignalRecorder recorder(QString(), path(), RendererInterface, QStringLiteral("metadata_changed"),
                                   client->connection());
        const QVariantList values{7, QStringLiteral("seven"), 0.5, true, 7u, qlonglong(1) << 40};
        control(QStringLiteral("emit_metadata_changed"), {QStringLiteral("mixed"), QVariant(values)});
        QVERIFY(recorder.waitForCount(1));
        const QDBusMessage signal = recorder.messages().first();
        QCOMPARE(signal.signature(), QStringLiteral("sav"));
        QCOMPARE(signal.arguments().value(0).toString(), QStringLiteral("mixed"));

        const QDBusArgument array = signal.arguments().value(1).value<QDBusArgument>();
        QStringList signatures;
        QVariantList received;
        array.beginArray();
        while (!array.atEnd()) {
            QDBusVariant value;
            array >> value;
            signatures.append(QString::fromLatin1(QDBusMetaType::typeToSignature(value.variant().metaType())));
            received.append(value.variant());
        }
        array.endArray();
        QCOMPARE(signatures, (QStringList{QStringLiteral("i"), QStringLiteral("s"), QStringLiteral("d"),
                                          QStringLiteral("b"), QStringLiteral("u"), QStringLiteral("x")}));
        QCOMPARE(received, values);
    }

    // The answer slots are the renderer's way in; a client must not be able to fake
    // an answer.
    void answerSlotsAreNotOnTheBus_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::newRow("position") << "getPositionCallback" << QVariantList{5u};
        QTest::newRow("status") << "getStatusCallback" << QVariantList{QString(), 1u, 1, QString()};
        QTest::newRow("media info") << "getCurrentMediaInfoCallback"
                                    << QVariantList{QVariant::fromValue(TuvoMediaInfoDBus::toWire(TrackInfo))};
        QTest::newRow("state") << "rendererStateChangedSlot" << QVariantList{1};
    }

    void answerSlotsAreNotOnTheBus()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QDBusPendingCall position = callAsync(QStringLiteral("get_position"));
        const QDBusMessage reply = call(method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"));
        rendererCalls();
        QVERIFY(!position.isFinished());
        control(QStringLiteral("answer_position"), {1u});
        position.waitForFinished();
    }

    void removedRendererLeavesQueriesUnanswered()
    {
        QDBusPendingCall status = callAsync(QStringLiteral("get_status"));
        QDBusPendingCall info = callAsync(QStringLiteral("get_current_media_info"), {QString()});
        QCOMPARE(rendererCalls().size(), 2);
        client->call(TestPluginService, PluginControlPath, PluginControlInterface, QStringLiteral("remove_object"), {uuid});
        QVERIFY(TestBus::waitForName(service(), false));
        // A round trip through the wrapper after the renderer went: still no reply.
        QCOMPARE(client->call(TestPluginService, PluginControlPath, PluginControlInterface, QStringLiteral("objects"))
                     .type(),
                 QDBusMessage::ReplyMessage);
        QVERIFY(!status.isFinished());
        QVERIFY(!info.isFinished());
        QVERIFY(wrapper->isRunning());
    }

    void sampleRendererAnswersGdbus()
    {
        WrapperProcess sample;
        sample.setHome(home.path());
        QVERIFY(sample.startWithPlugin(TestPaths::samplePlugin()));
        BusClient holder; // gdbus's own activation would end with gdbus
        QVERIFY(holder.activate(QStringLiteral("libtuvo_sample_plugin")));
        const QString sampleService = QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer");
        QVERIFY(TestBus::waitForName(sampleService));

        auto gdbus = [&](const QString &method, const QStringList &arguments = {}) {
            QProcess process;
            process.start(QStringLiteral("gdbus"),
                          QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                                      sampleService, QStringLiteral("--object-path"),
                                      QStringLiteral("/com/oxbel/tuvo/renderer/sample_renderer"),
                                      QStringLiteral("--method"), RendererInterface + QLatin1Char('.') + method}
                              + arguments);
            if (!process.waitForFinished(20000))
                return QStringLiteral("<gdbus hangs>");
            return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed()
                   + QStringLiteral(" [%1]").arg(process.exitCode());
        };
        QCOMPARE(gdbus(QStringLiteral("get_status")), QStringLiteral("('', uint32 0, 0, '') [0]"));
        QCOMPARE(gdbus(QStringLiteral("get_position")), QStringLiteral("(uint32 0,) [0]"));
        QVERIFY2(gdbus(QStringLiteral("get_current_media_info"), {QStringLiteral("")}).contains(
                     QLatin1String("failed to get media info")),
                 "nothing plays yet");
        QCOMPARE(gdbus(QStringLiteral("play_uri"), {QStringLiteral("sample:///track_1"), QStringLiteral("0")}),
                 QStringLiteral("() [0]"));
        QCOMPARE(gdbus(QStringLiteral("get_current_media_info"), {QStringLiteral("title")}),
                 QStringLiteral("(('track_1', {'title': [<'Low Tide'>]}),) [0]"));
        const QString status = gdbus(QStringLiteral("get_status"));
        QVERIFY2(status.startsWith(QLatin1String("('', uint32 0, 1, 'track_1')")), qPrintable(status));
        QVERIFY(holder.deactivate(QStringLiteral("libtuvo_sample_plugin")));
        QVERIFY(TestBus::waitForName(sampleService, false));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoRendererAdaptor)
#include "tst_tuvorendereradaptor.moc"
