// The renderer interface of the real wrapper on a private bus, seen from a client
// connection of its own; the test plugin's renderers log what reaches them and answer
// queries when, and as, each test tells them to. How waiting calls are served is the
// reply queue's and tested with it; here, what the adaptor puts around the queues.

#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoMediaInfoDBus.h>
#include <TuvoRendererAdaptor.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
const QString TestPlugin = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString Cancelled = QStringLiteral("com.oxbel.tuvo.renderer.cancelled");
const QString NoCallLeft = QStringLiteral("There are no D-Bus messages to reply to!");
const QString MediaInfoRequest =
    QStringLiteral("getCurrentMediaInfo(\"1getCurrentMediaInfoCallback(const TuvoMediaInfo&)\", null)");
using L = QStringList;
using V = QVariantList;

QStringList contract()
{
    return InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
}

// A value as it crossed the wire, with its D-Bus type: "u:93", "[i:7 s:seven]",
// "track_42{title:[s:Low Tide]}" for a media info record.
QString typed(const QVariant &value)
{
    QVariantList items = value.toList();
    const bool isArgument = value.metaType() == QMetaType::fromType<QDBusArgument>();
    if (isArgument && value.value<QDBusArgument>().currentSignature() == QLatin1String("(sa{sav})")) {
        const TuvoMediaInfo info = qdbus_cast<TuvoMediaInfo>(value);
        QStringList entries;
        for (auto it = info.metaData().cbegin(); it != info.metaData().cend(); ++it)
            entries.append(it.key() + u':' + typed(QVariant(it.value())));
        return info.uuid() + u'{' + entries.join(u' ') + u'}';
    }
    if (isArgument)
        items = qdbus_cast<QVariantList>(value);
    else if (value.metaType() != QMetaType::fromType<QVariantList>())
        return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType())) + u':' + value.toString();
    QStringList parts;
    for (const QVariant &item : items)
        parts.append(typed(item));
    return u'[' + parts.join(u' ') + u']';
}

QString typed(const QDBusMessage &message)
{
    QStringList parts;
    for (const QVariant &argument : message.arguments())
        parts.append(typed(argument));
    return parts.join(u' ');
}

const QVariantMap Track{{QStringLiteral("artist"), V{QStringLiteral("Ada"), QStringLiteral("Ben")}},
                        {QStringLiteral("title"), QStringLiteral("Low Tide")},
                        {QStringLiteral("track"), 7}};
} // namespace

class tst_RendererProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> activator;
    std::unique_ptr<BusClient> client;
    int renderers = 0;
    QString uuid;

    QString service() const { return QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.") + uuid; }
    QString path() const { return QStringLiteral("/com/oxbel/tuvo/renderer/") + uuid; }
    QDBusMessage call(const QString &method, const QVariantList &arguments = {})
    {
        return client->call(service(), path(), Interface, method, arguments);
    }
    QDBusPendingCall callAsync(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service(), path(), Interface, method);
        message.setArguments(arguments);
        return client->connection().asyncCall(message);
    }
    // On the client's connection too, so it reaches the wrapper after the client's calls.
    QVariant control(const QString &method, const QVariantList &arguments = {},
                     const QString &interface = QStringLiteral("com.oxbel.tuvo.test.Renderer"))
    {
        const QString prefix = interface.endsWith(QLatin1String("Renderer")) ? QStringLiteral("/renderer/")
                               : interface.endsWith(QLatin1String("Plugin")) ? QString()
                                                                             : QStringLiteral("/properties/");
        const QString object = QStringLiteral("/com/oxbel/tuvo/test") + prefix + (prefix.isEmpty() ? QString() : uuid);
        return client->call(TestPlugin, object, interface, method, arguments).arguments().value(0);
    }
    QVariant plugin(const QString &method, const QVariantList &arguments)
    {
        return control(method, arguments, QStringLiteral("com.oxbel.tuvo.test.Plugin"));
    }
    QStringList rendererCalls() { return control(QStringLiteral("calls")).toStringList(); }
    int logCount(const QString &text) { return int(wrapper->errorOutput().count(text)); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        TuvoMediaInfoDBus::registerMetaType();
        wrapper = std::make_unique<WrapperProcess>();
        wrapper->setHome(home.path());
        wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QString());
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        activator = std::make_unique<BusClient>();
        QVERIFY(activator->activate(QStringLiteral("libtuvo_test_plugin")));
        QVERIFY(TestBus::waitForName(TestPlugin));
        client = std::make_unique<BusClient>();
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
        uuid = QStringLiteral("renderer_%1").arg(++renderers);
        QVERIFY(plugin(QStringLiteral("add_object"), {QStringLiteral("renderer"), uuid, QStringLiteral("Test Plugin"),
                                                      QStringLiteral("Test Renderer")}).toBool());
        QVERIFY(TestBus::waitForName(service()));
    }

    void cleanup()
    {
        plugin(QStringLiteral("remove_object"), {uuid});
        QVERIFY(TestBus::waitForName(service(), false));
        QVERIFY(wrapper->isRunning());
    }

    // The answer slots are private: a client cannot fake an answer.
    void contractHolds()
    {
        QSet<QString> delayed;
        const QStringList exported =
            InterfaceContract::fromMetaObject(TuvoRendererAdaptor::staticMetaObject, &delayed);
        QCOMPARE(exported, InterfaceContract::withDelayedReplies(contract(), delayed));
        QCOMPARE(delayed, (QSet<QString>{QStringLiteral("get_position"), QStringLiteral("get_status"),
                                         QStringLiteral("get_current_media_info")}));
        QCOMPARE(InterfaceContract::fromXml(TestBus::introspect(service(), path()), Interface), contract());
    }

    void commandsReachTheRenderer_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("play") << "play" << V() << "play()";
        QTest::newRow("play_uri") << "play_uri" << V{"sample:///track_3", 42u} << "playUri(\"sample:///track_3\", 42)";
        QTest::newRow("play_uri without start") << "play_uri" << V{"http://h/a.mp3"} << "playUri(\"http://h/a.mp3\", 0)";
        QTest::newRow("play_uri empty") << "play_uri" << V{QString(), 5u} << "playUri(\"\", 5)";
        QTest::newRow("play_uri encoded") << "play_uri" << V{"file:///m/a%20b.mp3"} << "playUri(\"file:///m/a b.mp3\", 0)";
        QTest::newRow("play_uri beyond ascii")
            << "play_uri" << V{QStringLiteral("file:///m/日本 Björk.mp3"), 1u} << "playUri(\"file:///m/日本 Björk.mp3\", 1)";
        QTest::newRow("play_uri_content_type") << "play_uri_content_type" << V{"http://h/x.ogg", "audio/ogg"}
                                               << "playUriWithContentType(\"http://h/x.ogg\", \"audio/ogg\")";
        QTest::newRow("play_uri_content_type empty")
            << "play_uri_content_type" << V{QString(), QString()} << "playUriWithContentType(\"\", \"\")";
        QTest::newRow("stop") << "stop" << V() << "stop()";
        QTest::newRow("pause") << "pause" << V() << "pause()";
        QTest::newRow("pause_at") << "pause_at" << V{17u} << "pauseAt(17)";
        QTest::newRow("resume") << "resume" << V() << "resume()";
        QTest::newRow("set_position") << "set_position" << V{-30, 2} << "setPosition(-30, 2)";
        QTest::newRow("set_position without mode") << "set_position" << V{90} << "setPosition(90, 0)";
        QTest::newRow("set_position unknown mode") << "set_position" << V{5, 77} << "setPosition(5, 77)";
        QTest::newRow("assign_playlist unknown") << "assign_playlist" << V{"nothing"} << "assignPlaylist(null)";
    }
    void commandsReachTheRenderer()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, expected);
        const QDBusMessage reply = call(method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), QString());
        QCOMPARE(rendererCalls(), L{expected});
    }

    // Navigation reaches the renderer only after a playlist was assigned through the
    // bus; an unknown id closes the guard again. Refusals are logged, never replied.
    void navigationFollowsTheAssignedPlaylist()
    {
        const L refusals{"TuvoRendererAdaptor: assigning playlist fails.", "TuvoRendererAdaptor: playlist next fails.",
                         "TuvoRendererAdaptor: playlist previous fails.",
                         "TuvoRendererAdaptor: playlist goto_index fails."};
        QList<int> before;
        for (const QString &line : refusals)
            before.append(logCount(line));
        for (const char *command : {"assignPlaylist", "next", "previous", "gotoIndex"})
            QVERIFY(control(QStringLiteral("set_command_result"), {QLatin1String(command), false}).toBool());
        QVERIFY(control(QStringLiteral("add_playlist"), {QStringLiteral("nav_list"), L{"a", "b"}}).toBool());
        const QList<V> calls{{"goto_index", 1u}, {"next"}, {"previous"}, {"assign_playlist", "nav_list"}, {"next"},
                             {"previous"}, {"goto_index", 2u}, {"assign_playlist", "missing"}, {"next"}};
        for (const V &c : calls) {
            if (c.first() == QLatin1String("assign_playlist"))  // the renderer's own change leaves the guard
                control(QStringLiteral("emit_playlist_changed"), {QString()});
            QCOMPARE(call(c.first().toString(), c.mid(1)).signature(), QString());
        }
        QCOMPARE(rendererCalls(), (L{"assignPlaylist(\"nav_list\")", "next()", "previous()", "gotoIndex(2)",
                                     "assignPlaylist(null)"}));
        const QList<int> added{2, 1, 1, 1};
        for (int i = 0; i < refusals.size(); ++i)
            QTRY_COMPARE(logCount(refusals.at(i)), before.at(i) + added.at(i));
    }

    void queriesAreAnswered_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("oneAtATime");
        const V track{"track_42", Track};
        QTest::newRow("position") << "get_position" << V() << "getPosition(\"1getPositionCallback(uint)\")"
                                  << "answer_position" << V{93u} << "u:93" << false;
        QTest::newRow("status") << "get_status" << V() << "getStatus(\"1getStatusCallback(QString,uint,int,QString)\")"
                                << "answer_status" << V{"list_9", 4u, 1, "item_3"} << "s:list_9 u:4 i:1 s:item_3"
                                << false;
        QTest::newRow("media info") << "get_current_media_info" << V{QString()} << MediaInfoRequest
                                    << "answer_media_info" << track
                                    << "track_42{artist:[s:Ada s:Ben] title:[s:Low Tide] track:[i:7]}" << true;
        QTest::newRow("media info of a key") << "get_current_media_info" << V{"artist"} << MediaInfoRequest
                                             << "answer_media_info" << track << "track_42{artist:[s:Ada s:Ben]}" << true;
        QTest::newRow("media info of a number") << "get_current_media_info" << V{"track"} << MediaInfoRequest
                                                << "answer_media_info" << track << "track_42{track:[i:7]}" << true;
        QTest::newRow("media info of a key without values") << "get_current_media_info" << V{"composer"}
                                                            << MediaInfoRequest << "answer_media_info" << track
                                                            << "track_42{composer:[]}" << true;
    }
    // Two calls: one renderer answer serves both, except for media info, where each
    // call is asked for in turn since each may name a different key.
    void queriesAreAnswered()
    {
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(QVariantList, values);
        QFETCH(QString, expected);
        QFETCH(bool, oneAtATime);
        QDBusPendingCall first = callAsync(method, arguments);
        QDBusPendingCall second = callAsync(method, arguments);
        QCOMPARE(rendererCalls(), L{request});
        QVERIFY(control(answer, values).toBool());
        if (oneAtATime) {
            first.waitForFinished();
            QCOMPARE(rendererCalls(), (L{request, request}));
            QVERIFY(!second.isFinished());
            QVERIFY(control(answer, values).toBool());
        }
        for (QDBusPendingCall *pending : {&first, &second}) {
            pending->waitForFinished();
            QCOMPARE(pending->reply().signature(), InterfaceContract::outSignature(contract(), method));
            QCOMPARE(typed(pending->reply()), expected);
        }
    }

    void refusedQueriesFailAtOnce_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("text");
        QTest::newRow("position") << "position" << "get_position" << "failed to get position";
        QTest::newRow("status") << "status" << "get_status" << "failed to get status";
        QTest::newRow("media info") << "media_info" << "get_current_media_info" << "failed to get media info";
    }
    void refusedQueriesFailAtOnce()
    {
        QFETCH(QString, query);
        QFETCH(QString, method);
        QFETCH(QString, text);
        QVERIFY(control(QStringLiteral("set_query_mode"), {query, QStringLiteral("refuse")}).toBool());
        const QDBusMessage reply = call(method, query == QLatin1String("media_info") ? V{QString()} : V());
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.Failed"));
        QCOMPARE(reply.errorMessage(), text);
    }

    void cancellation_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QStringList>("cancelled");
        const L all{"position", "status", "media_info"};
        QTest::newRow("next") << "next" << all;
        QTest::newRow("previous") << "previous" << all;
        QTest::newRow("error 41") << "41" << all;
        QTest::newRow("error 42") << "42" << all;
        QTest::newRow("error 326") << "326" << L{"position"};
        QTest::newRow("error 327") << "327" << L{"status"};
        QTest::newRow("other error") << "100" << L();
    }
    // Waiting queries end with the cancellation, in the order position, status, media
    // info, before the error signal goes out. A renderer removed with calls still
    // waiting, on either of its interfaces, drops them unanswered.
    void cancellation()
    {
        QFETCH(QString, trigger);
        QFETCH(QStringList, cancelled);
        QObject scope;
        QStringList order;
        BusSignalRecorder errors(QString(), path(), Interface, QStringLiteral("error"), client->connection());
        connect(&errors, &BusSignalRecorder::received, &scope, [&order] { order.append(QStringLiteral("signal")); });
        QMap<QString, QDBusPendingCall> calls{{"position", callAsync(QStringLiteral("get_position"))},
                                              {"status", callAsync(QStringLiteral("get_status"))},
                                              {"media_info", callAsync(QStringLiteral("get_current_media_info"), {QString()})}};
        for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
            auto *watcher = new QDBusPendingCallWatcher(it.value(), &scope);
            connect(watcher, &QDBusPendingCallWatcher::finished, &scope, [&order, kind = it.key()] { order.append(kind); });
        }
        QCOMPARE(rendererCalls().size(), 3);
        bool isCode = false;
        const int code = trigger.toInt(&isCode);
        if (isCode) {
            control(QStringLiteral("emit_error"), {code, QStringLiteral("went wrong")});
            QVERIFY(errors.waitForCount(1));
            QCOMPARE(errors.arguments().first(), (V{code, QStringLiteral("went wrong")}));
            cancelled.append(QStringLiteral("signal"));
        } else {
            QCOMPARE(call(trigger).type(), QDBusMessage::ReplyMessage);
        }
        QTRY_COMPARE(order, cancelled);
        for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
            QCOMPARE(it.value().isFinished(), cancelled.contains(it.key()));
            if (cancelled.contains(it.key()))
                QCOMPARE(it.value().error().name() + u' ' + it.value().error().message(), Cancelled + " Message cancelled.");
        }
        control(QStringLiteral("set_read_mode"), {QStringLiteral("later")}, QStringLiteral("com.oxbel.tuvo.test.Properties"));
        QDBusMessage read = QDBusMessage::createMethodCall(service(), path(), QStringLiteral("com.oxbel.tuvo.extension"),
                                                           QStringLiteral("get_extension_property"));
        QDBusPendingCall property = client->connection().asyncCall(read << QStringLiteral("volume"));
        plugin(QStringLiteral("remove_object"), {uuid});
        QVERIFY(TestBus::waitForName(service(), false));
        plugin(QStringLiteral("objects"), {}); // a round trip through the wrapper after the removal
        for (auto it = calls.cbegin(); it != calls.cend(); ++it)
            QCOMPARE(it.value().isFinished(), cancelled.contains(it.key()));
        QVERIFY(!property.isFinished());
    }

    void lateAnswerFindsNoCall_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("warning");
        QTest::newRow("position") << "get_position" << "answer_position" << V{11u}
                                  << NoCallLeft + " TuvoRendererAdaptor::getPositionCallback()";
        QTest::newRow("status") << "get_status" << "answer_status" << V{"a", 1u, 1, "x"}
                                << NoCallLeft + " TuvoRendererAdaptor::getStatusCallback()";
        QTest::newRow("media info") << "get_current_media_info" << "answer_media_info" << V{"t", QVariantMap()}
                                    << NoCallLeft + "\n";
    }
    void lateAnswerFindsNoCall()
    {
        QFETCH(QString, method);
        QFETCH(QString, answer);
        QFETCH(QVariantList, values);
        QFETCH(QString, warning);
        const int before = logCount(warning);
        QDBusPendingCall cancelled = callAsync(method, method.endsWith(QLatin1String("info")) ? V{QString()} : V());
        call(QStringLiteral("next"));
        QVERIFY(control(answer, values).toBool());
        QTRY_COMPARE(logCount(warning), before + 1);
        QCOMPARE(cancelled.error().name(), Cancelled);
    }

    void signalsAreForwarded_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("unnamed"); // "A playlist has no ID!" lines
        QTest::newRow("state") << "emit_state_changed" << V{2} << "state_changed" << "i:2" << 0;
        QTest::newRow("media") << "emit_media_changed" << V{3, "item_7"} << "media_changed" << "i:3 s:item_7" << 0;
        QTest::newRow("media without id") << "emit_media_changed" << V{-1, QString()} << "media_changed" << "i:-1 s:" << 0;
        QTest::newRow("completed") << "emit_playback_completed" << V() << "playback_completed" << "" << 0;
        QTest::newRow("playlist") << "emit_playlist_changed" << V{"some_list"} << "playlist_changed" << "s:some_list" << 0;
        QTest::newRow("null playlist") << "emit_playlist_changed" << V{QString()} << "playlist_changed" << "s:" << 0;
        QTest::newRow("playlist without id") << "emit_unnamed_playlist_changed" << V() << "playlist_changed" << "s:" << 1;
        QTest::newRow("metadata") << "emit_metadata_changed"
                                  << V{"mixed", QVariant(V{7, "seven", 0.5, true, 7u, qlonglong(1) << 40})}
                                  << "metadata_changed" << "s:mixed [i:7 s:seven d:0.5 b:true u:7 x:1099511627776]" << 0;
        QTest::newRow("buffering") << "emit_buffering_info" << V{0.5} << "buffering_info" << "d:0.5" << 0;
        QTest::newRow("scanning") << "emit_scanning_info" << V{0.25} << "scanning_info" << "d:0.25" << 0;
        QTest::newRow("error") << "emit_error" << V{500, "no disk"} << "error" << "i:500 s:no disk" << 0;
    }
    void signalsAreForwarded()
    {
        QFETCH(QString, trigger);
        QFETCH(QVariantList, values);
        QFETCH(QString, member);
        QFETCH(QString, expected);
        QFETCH(int, unnamed);
        const QString line = QStringLiteral("TuvoRendererAdaptor: A playlist has no ID!");
        const int before = logCount(line);
        BusSignalRecorder recorder(QString(), path(), Interface, member, client->connection());
        QVERIFY(recorder.isConnected());
        control(trigger, values);
        QVERIFY(recorder.waitForCount(1));
        QCOMPARE(typed(recorder.messages().first()), expected);
        QCOMPARE(recorder.messages().first().signature(), InterfaceContract::outSignature(contract(), member));
        QTRY_COMPARE(logCount(line), before + unnamed);
    }

    // The sample plugin's renderer from the shell: GLib reads what Qt marshals.
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
            process.start(QStringLiteral("gdbus"), L{"call", "--session", "--dest", sampleService, "--object-path",
                                                     "/com/oxbel/tuvo/renderer/sample_renderer", "--method",
                                                     Interface + u'.' + method} + arguments);
            process.waitForFinished(20000);
            return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
        };
        QCOMPARE(gdbus(QStringLiteral("get_position")), QStringLiteral("(uint32 0,)"));
        QVERIFY(gdbus(QStringLiteral("get_current_media_info"), {""}).contains(QLatin1String("failed to get media info")));
        QCOMPARE(gdbus(QStringLiteral("play_uri"), {"sample:///track_1", "0"}), QStringLiteral("()"));
        QCOMPARE(gdbus(QStringLiteral("get_current_media_info"), {"title"}),
                 QStringLiteral("(('track_1', {'title': [<'Low Tide'>]}),)"));
        QVERIFY(gdbus(QStringLiteral("get_status")).startsWith(QLatin1String("('', uint32 0, 1, 'track_1')")));
        QVERIFY(holder.deactivate(QStringLiteral("libtuvo_sample_plugin")));
    }
};

QTEST_GUILESS_MAIN(tst_RendererProcess)
#include "tst_rendererprocess.moc"
