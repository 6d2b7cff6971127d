// The renderer interface of the real wrapper on a private bus, seen from a client
// connection of its own; the test plugin's renderers log what reaches them and answer
// queries as each test tells them to. How waiting calls are served is the reply
// queue's, tested with it; here, what the adaptor puts around its three queues.

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
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
const QString Control = QStringLiteral("com.oxbel.tuvo.test.");
const QString NoCall = QStringLiteral("There are no D-Bus messages to reply to!");
const QString MediaInfoRequest = QStringLiteral("getCurrentMediaInfo(\"1getCurrentMediaInfoCallback(const TuvoMediaInfo&)\", null)");
using L = QStringList;
using V = QVariantList;

QStringList contract()
{
    return InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
}

// A value as it crossed the wire, with its D-Bus type: "u:93", "[i:7 s:seven]", and
// "track_42{title:[s:Low Tide]}" for a media info record.
QString typed(const QVariant &value)
{
    QVariantList items = value.toList();
    const bool isArgument = value.metaType() == QMetaType::fromType<QDBusArgument>();
    if (isArgument && value.value<QDBusArgument>().currentSignature() == QLatin1String("(sa{sav})")) {
        const TuvoMediaInfo info = TuvoMediaInfoDBus::fromWire(qdbus_cast<TuvoMediaInfoDBusStruct>(value));
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
    const QString list = typed(QVariant(message.arguments()));
    return list.mid(1, list.size() - 2);
}
} // namespace

class tst_RendererProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper = std::make_unique<WrapperProcess>();
    BusClient activator;
    BusClient client;
    int renderers = 0;
    QString uuid;

    QString service() const { return "com.oxbel.tuvo.renderer.Test-Plugin." + uuid; }
    QString path() const { return "/com/oxbel/tuvo/renderer/" + uuid; }
    QDBusMessage call(const QString &method, const V &arguments = {})
    {
        return client.call(service(), path(), Interface, method, arguments);
    }
    QDBusPendingCall callAsync(const QString &method, const V &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service(), path(), Interface, method);
        message.setArguments(arguments);
        return client.connection().asyncCall(message);
    }
    // The test plugin's control objects ("Renderer", "Properties" of this renderer, or
    // "Plugin"), on the client's connection, so they come after the client's calls.
    QVariant control(const QString &method, const V &arguments = {}, const QString &kind = "Renderer")
    {
        const QString object = kind == "Plugin" ? QString() : u'/' + kind.toLower() + u'/' + uuid;
        return client.call("com.oxbel.tuvo.testplugin", "/com/oxbel/tuvo/test" + object, Control + kind, method,
                           arguments).arguments().value(0);
    }
    QStringList rendererCalls() { return control("calls").toStringList(); }
    int logCount(const QString &text) { return int(wrapper->errorOutput().count(text)); }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBusStruct::registerMetaType();
        wrapper->setHome(home.path());
        wrapper->setEnv("TUVO_TEST_PLUGIN_OBJECTS", QString());
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        QVERIFY(activator.activate("libtuvo_test_plugin"));
        QVERIFY(TestBus::waitForName("com.oxbel.tuvo.testplugin"));
    }

    // Every test gets a renderer of its own, so no state carries over.
    void init()
    {
        uuid = QStringLiteral("renderer_%1").arg(++renderers);
        QVERIFY(control("add_object", {"renderer", uuid, "Test Plugin", "Test Renderer"}, "Plugin").toBool());
        QVERIFY(TestBus::waitForName(service()));
    }

    void cleanup()
    {
        control("remove_object", {uuid}, "Plugin");
        QVERIFY(TestBus::waitForName(service(), false));
        QVERIFY(wrapper->isRunning());
    }

    // The answer slots are private: no client can fake an answer.
    void contractHolds()
    {
        QSet<QString> delayed;
        const QStringList exported = InterfaceContract::fromMetaObject(TuvoRendererAdaptor::staticMetaObject, &delayed);
        QCOMPARE(exported, InterfaceContract::withDelayedReplies(contract(), delayed));
        QCOMPARE(delayed, (QSet<QString>{"get_position", "get_status", "get_current_media_info"}));
        QCOMPARE(InterfaceContract::fromXml(TestBus::introspect(service(), path()), Interface), contract());
    }

    void commandsReachTheRenderer_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<V>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("play") << "play" << V() << "play()";
        QTest::newRow("play_uri without start") << "play_uri" << V{"http://h/a.mp3"} << "playUri(\"http://h/a.mp3\", 0)";
        QTest::newRow("play_uri encoded") << "play_uri" << V{"file:///m/a%20b.mp3", 4u} << "playUri(\"file:///m/a b.mp3\", 4)";
        QTest::newRow("play_uri beyond ascii") << "play_uri" << V{QStringLiteral("file:///日本 Björk.mp3")}
                                               << "playUri(\"file:///日本 Björk.mp3\", 0)";
        QTest::newRow("play_uri_content_type") << "play_uri_content_type" << V{"http://h/x.ogg", "audio/ogg"}
                                               << "playUriWithContentType(\"http://h/x.ogg\", \"audio/ogg\")";
        QTest::newRow("stop") << "stop" << V() << "stop()";
        QTest::newRow("pause") << "pause" << V() << "pause()";
        QTest::newRow("pause_at") << "pause_at" << V{17u} << "pauseAt(17)";
        QTest::newRow("resume") << "resume" << V() << "resume()";
        QTest::newRow("set_position") << "set_position" << V{-30, 77} << "setPosition(-30, 77)";
        QTest::newRow("set_position without mode") << "set_position" << V{90} << "setPosition(90, 0)";
        QTest::newRow("assign_playlist unknown") << "assign_playlist" << V{"nothing"} << "assignPlaylist(null)";
    }
    void commandsReachTheRenderer()
    {
        QFETCH(QString, method);
        QFETCH(V, arguments);
        QFETCH(QString, expected);
        const QDBusMessage reply = call(method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.signature(), QString());
        QCOMPARE(rendererCalls(), L{expected});
    }

    // Navigation reaches the renderer only after a playlist was assigned through the bus,
    // whatever the renderer's own changes; an unknown id closes the guard again. Refusals
    // are logged; the reply stays empty.
    void navigationFollowsTheAssignedPlaylist()
    {
        const L refusals{"assigning playlist fails.", "playlist next fails.", "playlist previous fails.",
                         "playlist goto_index fails."};
        QList<int> expected{2, 1, 1, 1};
        for (int i = 0; i < refusals.size(); ++i)
            expected[i] += logCount("TuvoRendererAdaptor: " + refusals.at(i));
        for (const char *command : {"assignPlaylist", "next", "previous", "gotoIndex"})
            QVERIFY(control("set_command_result", {command, false}).toBool());
        QVERIFY(control("add_playlist", {"nav_list", L{"a", "b"}}).toBool());
        for (const V &c : QList<V>{{"goto_index", 1u}, {"next"}, {"previous"}, {"assign_playlist", "nav_list"}, {"next"},
                                   {"previous"}, {"goto_index", 2u}, {"assign_playlist", "missing"}, {"next"}}) {
            control("emit_playlist_changed", {QString()});
            QCOMPARE(call(c.first().toString(), c.mid(1)).signature(), QString());
        }
        QCOMPARE(rendererCalls(), (L{"assignPlaylist(\"nav_list\")", "next()", "previous()", "gotoIndex(2)",
                                     "assignPlaylist(null)"}));
        for (int i = 0; i < refusals.size(); ++i)
            QTRY_COMPARE(logCount("TuvoRendererAdaptor: " + refusals.at(i)), expected.at(i));
    }

    void queries_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<V>("arguments");
        QTest::addColumn<QString>("request"); // or, for a refused one, the query's name
        QTest::addColumn<QString>("answer");
        QTest::addColumn<V>("values");
        QTest::addColumn<QString>("expected");
        const V track{"track_42", QVariantMap{{"artist", V{"Ada", "Ben"}}, {"title", "Low Tide"}, {"track", 7}}};
        const QString info = "get_current_media_info";
        QTest::newRow("position") << "get_position" << V() << "getPosition(\"1getPositionCallback(uint)\")"
                                  << "answer_position" << V{93u} << "u:93";
        QTest::newRow("status") << "get_status" << V() << "getStatus(\"1getStatusCallback(QString,uint,int,QString)\")"
                                << "answer_status" << V{"list_9", 4u, 1, "item_3"} << "s:list_9 u:4 i:1 s:item_3";
        QTest::newRow("media info") << info << V{QString()} << MediaInfoRequest << "answer_media_info" << track
                                    << "track_42{artist:[s:Ada s:Ben] title:[s:Low Tide] track:[i:7]}";
        QTest::newRow("media info of a key") << info << V{"artist"} << MediaInfoRequest << "answer_media_info"
                                             << track << "track_42{artist:[s:Ada s:Ben]}";
        QTest::newRow("media info of a key without values") << info << V{"composer"} << MediaInfoRequest
                                                            << "answer_media_info" << track << "track_42{composer:[]}";
        // Refused: the call fails at once instead of waiting for its time-out.
        const QString failed = "org.freedesktop.DBus.Error.Failed: failed to get ";
        QTest::newRow("position refused") << "get_position" << V() << "position" << "" << V() << failed + "position";
        QTest::newRow("status refused") << "get_status" << V() << "status" << "" << V() << failed + "status";
        QTest::newRow("media info refused") << info << V{"x"} << "media_info" << "" << V() << failed + "media info";
    }
    // Two calls: one renderer answer serves both, but for media info, where each call
    // is asked for in turn, since each may name another key.
    void queries()
    {
        QFETCH(QString, method);
        QFETCH(V, arguments);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(V, values);
        QFETCH(QString, expected);
        if (answer.isEmpty()) {
            QVERIFY(control("set_query_mode", {request, "refuse"}).toBool());
            const QDBusMessage reply = call(method, arguments);
            QCOMPARE(reply.errorName() + ": " + reply.errorMessage(), expected);
            return;
        }
        QDBusPendingCall first = callAsync(method, arguments);
        QDBusPendingCall second = callAsync(method, arguments);
        QCOMPARE(rendererCalls(), L{request});
        QVERIFY(control(answer, values).toBool());
        if (request == MediaInfoRequest) {
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

    void cancellation_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<L>("cancelled");
        const L all{"position", "status", "media_info"};
        QTest::newRow("next") << "next" << all;
        QTest::newRow("previous") << "previous" << all;
        QTest::newRow("error 41") << "41" << all;
        QTest::newRow("error 42") << "42" << all;
        QTest::newRow("error 326") << "326" << L{"position"};
        QTest::newRow("error 327") << "327" << L{"status"};
        QTest::newRow("other error") << "100" << L();
    }
    // Waiting queries end with the cancellation, position, status and media info in
    // turn, before the error signal; the request stays out, and its answer finds no
    // call. A renderer removed with calls waiting on either interface drops them.
    void cancellation()
    {
        QFETCH(QString, trigger);
        QFETCH(L, cancelled);
        QObject scope;
        QStringList order;
        BusSignalRecorder errors(QString(), path(), Interface, "error", client.connection());
        connect(&errors, &BusSignalRecorder::received, &scope, [&order] { order.append("signal"); });
        const QMap<QString, QDBusPendingCall> calls{{"position", callAsync("get_position")},
                                                    {"status", callAsync("get_status")},
                                                    {"media_info", callAsync("get_current_media_info", {""})}};
        for (auto it = calls.cbegin(); it != calls.cend(); ++it)
            connect(new QDBusPendingCallWatcher(it.value(), &scope), &QDBusPendingCallWatcher::finished, &scope,
                    [&order, kind = it.key()] { order.append(kind); });
        QCOMPARE(rendererCalls().size(), 3);
        const int code = trigger.toInt();
        if (code) {
            control("emit_error", {code, "went wrong"});
            QVERIFY(errors.waitForCount(1));
            QCOMPARE(errors.arguments().first(), (V{code, "went wrong"}));
            cancelled.append("signal");
        }
        QCOMPARE(call(code ? "stop" : trigger).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(order, cancelled);
        const QMap<QString, V> answers{{"position", {"answer_position", 1u}},
                                       {"status", {"answer_status", "a", 1u, 1, "x"}},
                                       {"media_info", {"answer_media_info", "t", QVariantMap()}}};
        const QMap<QString, QString> warnings{{"position", NoCall + " TuvoRendererAdaptor::getPositionCallback()"},
                                              {"status", NoCall + " TuvoRendererAdaptor::getStatusCallback()"},
                                              {"media_info", NoCall + "\n"}};
        for (auto it = calls.cbegin(); it != calls.cend(); ++it) {
            QCOMPARE(it.value().isFinished(), cancelled.contains(it.key()));
            if (!cancelled.contains(it.key()))
                continue;
            QCOMPARE(it.value().error().name() + u' ' + it.value().error().message(),
                     "com.oxbel.tuvo.renderer.cancelled Message cancelled.");
            const int before = logCount(warnings[it.key()]);
            QVERIFY(control(answers[it.key()].first().toString(), answers[it.key()].mid(1)).toBool());
            QTRY_COMPARE(logCount(warnings[it.key()]), before + 1);
        }
        control("set_read_mode", {"later"}, "Properties");
        QDBusPendingCall read = client.connection().asyncCall(
            QDBusMessage::createMethodCall(service(), path(), "com.oxbel.tuvo.extension", "get_extension_property")
            << "volume");
        cleanup();
        control("objects", {}, "Plugin"); // a round trip through the wrapper after the removal
        for (auto it = calls.cbegin(); it != calls.cend(); ++it)
            QCOMPARE(it.value().isFinished(), cancelled.contains(it.key()));
        QVERIFY(!read.isFinished());
    }

    void signalsAreForwarded_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<V>("values");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("unnamed"); // "A playlist has no ID!" lines
        QTest::newRow("state") << "emit_state_changed" << V{2} << "state_changed" << "i:2" << 0;
        QTest::newRow("media") << "emit_media_changed" << V{3, "item_7"} << "media_changed" << "i:3 s:item_7" << 0;
        QTest::newRow("media without id") << "emit_media_changed" << V{-1, ""} << "media_changed" << "i:-1 s:" << 0;
        QTest::newRow("completed") << "emit_playback_completed" << V() << "playback_completed" << "" << 0;
        QTest::newRow("playlist") << "emit_playlist_changed" << V{"some_list"} << "playlist_changed" << "s:some_list" << 0;
        QTest::newRow("null playlist") << "emit_playlist_changed" << V{""} << "playlist_changed" << "s:" << 0;
        QTest::newRow("playlist without id") << "emit_unnamed_playlist_changed" << V() << "playlist_changed" << "s:" << 1;
        QTest::newRow("metadata") << "emit_metadata_changed" << V{"mixed", V{7, "seven", 0.5, true, 7u, 1ll << 40}}
                                  << "metadata_changed" << "s:mixed [i:7 s:seven d:0.5 b:true u:7 x:1099511627776]" << 0;
        QTest::newRow("buffering") << "emit_buffering_info" << V{0.5} << "buffering_info" << "d:0.5" << 0;
        QTest::newRow("scanning") << "emit_scanning_info" << V{0.25} << "scanning_info" << "d:0.25" << 0;
        QTest::newRow("error") << "emit_error" << V{500, "no disk"} << "error" << "i:500 s:no disk" << 0;
    }
    void signalsAreForwarded()
    {
        QFETCH(QString, trigger);
        QFETCH(V, values);
        QFETCH(QString, member);
        QFETCH(QString, expected);
        QFETCH(int, unnamed);
        const QString line = "TuvoRendererAdaptor: A playlist has no ID!";
        const int before = logCount(line);
        BusSignalRecorder recorder(QString(), path(), Interface, member, client.connection());
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
        QVERIFY(holder.activate("libtuvo_sample_plugin"));
        const QString name = "com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer";
        QVERIFY(TestBus::waitForName(name));
        auto gdbus = [&](const QString &method, const L &arguments) {
            QProcess process;
            process.start("gdbus", L{"call", "--session", "--dest", name, "--object-path",
                                     "/com/oxbel/tuvo/renderer/sample_renderer", "--method", Interface + u'.' + method}
                                       + arguments);
            process.waitForFinished(20000);
            return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
        };
        QCOMPARE(gdbus("get_position", {}), "(uint32 0,)");
        QVERIFY(gdbus("get_current_media_info", {""}).contains("failed to get media info"));
        QCOMPARE(gdbus("play_uri", {"sample:///track_1", "0"}), "()");
        QCOMPARE(gdbus("get_current_media_info", {"title"}), "(('track_1', {'title': [<'Low Tide'>]}),)");
        QCOMPARE(gdbus("get_status", {}), "('', uint32 0, 1, 'track_1')");
        QVERIFY(holder.deactivate("libtuvo_sample_plugin"));
    }
};

QTEST_GUILESS_MAIN(tst_RendererProcess)
#include "tst_rendererprocess.moc"
