// The source, renderer and extension interfaces of the real wrapper on a private bus,
// seen from client connections of their own. The test plugin's objects log what reaches
// them and answer as each test tells them to. How waiting calls are served is the reply
// queue's, which event ends them and when navigation passes the renderer policy's, and
// how results are batched the result batch's, each tested with it; here,
// what the adaptors put around them. The source's deliver controls answer inside the
// call: what the wrapper sends in response is on its way before the control's reply.

#include "BusClient.h"
#include "BusMonitor.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "ProxySourceRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoExtensionAdaptor.h>
#include <TuvoMediaInfoDBus.h>
#include <TuvoRenderer.h>
#include <TuvoRendererAdaptor.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
const QString SourceInterface = QStringLiteral("com.oxbel.tuvo.source");
const QString SourceService = u"com.oxbel.tuvo.source.Test-Plugin.test_source"_s;
const QString SourcePath = u"/com/oxbel/tuvo/source/test_source"_s;
const QString Extension = QStringLiteral("com.oxbel.tuvo.extension");
const QString Control = QStringLiteral("com.oxbel.tuvo.test.");
const QString NoCall = QStringLiteral("There are no D-Bus messages to reply to!");
const QString MediaInfoRequest = QStringLiteral("getCurrentMediaInfo(\"1getCurrentMediaInfoCallback(const TuvoMediaInfo&)\", null)");
const QString Failure = QStringLiteral("error org.freedesktop.DBus.Error.Failed: failed to get property");
using L = QStringList;
using V = QVariantList;

QStringList contract(const QString &interface = Interface)
{
    return InterfaceContract::fromXml(InterfaceContract::contractXml(interface), interface);
}

QVariant variant(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

// A value as it crossed the wire, with its D-Bus type: "u:93", "[i:7 s:seven]", "as:a,b",
// and "track_42{title:[s:Low Tide]}" for a media info record; variants unwrapped.
QString typed(QVariant value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    QVariantList items = value.toList();
    const bool isArgument = value.metaType() == QMetaType::fromType<QDBusArgument>();
    if (isArgument && value.value<QDBusArgument>().currentSignature() == QLatin1String("(sa{sav})")) {
        const TuvoMediaInfo info = TuvoMediaInfoDBus::fromWire(qdbus_cast<TuvoMediaInfoDBusStruct>(value));
        QStringList entries;
        for (auto it = info.metaData().cbegin(); it != info.metaData().cend(); ++it)
            entries.append(it.key() + u':' + typed(QVariant(it.value())));
        return info.uuid() + u'{' + entries.join(u' ') + u'}';
    }
    if (isArgument) {
        items = qdbus_cast<QVariantList>(value);
    } else if (value.metaType() != QMetaType::fromType<QVariantList>()) {
        QString text = value.toString();
        if (value.metaType() == QMetaType::fromType<QStringList>())
            text = value.toStringList().join(u',');
        else if (value.metaType() == QMetaType::fromType<uchar>())
            text = QString::number(value.toUInt());
        else if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
            text = value.value<QDBusObjectPath>().path();
        return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType())) + u':' + text;
    }
    QStringList parts;
    for (const QVariant &item : items)
        parts.append(typed(item));
    return u'[' + parts.join(u' ') + u']';
}

// What a reply or signal carries: "s:p i:55", or "error <name>: <message>".
QString typed(const QDBusMessage &message)
{
    if (message.type() == QDBusMessage::ErrorMessage)
        return "error " + message.errorName() + ": " + message.errorMessage();
    const QString list = typed(QVariant(message.arguments()));
    return list.mid(1, list.size() - 2);
}

QStringList shapes(const QList<ProxySourceRecorder::BrowseCall> &calls)
{
    QStringList result;
    for (const auto &call : calls)
        result.append(u"%1 records"_s.arg(call.records.size()));
    return result;
}
QStringList shapes(const QList<ProxySourceRecorder::QueryCall> &calls)
{
    QStringList result;
    for (const auto &c : calls)
        result.append(u"%1 rows, %2 left, %3 %4"_s.arg(c.rows.size()).arg(c.remainingCount).arg(c.errorCode).arg(c.errorMessage));
    return result;
}
// Collects the extension adaptor's log lines while it lives.
QStringList *s_lines = nullptr;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("TuvoExtensionAdaptor")))
        s_lines->append(message);
}

class Renderer : public TuvoRenderer
{
public:
    Renderer() : TuvoRenderer("unit", "Unit Plugin", "Unit Renderer") { declareProperty("volume", 80); }
};
} // namespace

// One wrapper for every case. Each case gets a renderer of its own, so no state carries
// over; extension cases whose data tag starts with "source" use the test plugin's source.
class tst_AdaptorProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    WrapperProcess wrapper;
    BusClient activator;
    BusClient client;
    int renderers = 0;
    QString uuid;
    QString kind;
    ProxySourceRecorder *proxy = nullptr;

    QString object() const { return kind == "source" ? QStringLiteral("test_source") : uuid; }
    QString service() const { return "com.oxbel.tuvo." + kind + ".Test-Plugin." + object(); }
    QString path() const { return "/com/oxbel/tuvo/" + kind + u'/' + object(); }
    QDBusMessage call(const QString &method, const V &arguments = {}, BusClient *by = nullptr,
                      const QString &interface = Interface)
    {
        return (by ? by : &client)->call(service(), path(), interface, method, arguments);
    }
    QDBusPendingCall callAsync(const QString &method, const V &arguments = {}, BusClient *by = nullptr,
                               const QString &interface = Interface)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service(), path(), interface, method);
        message.setArguments(arguments);
        return (by ? by : &client)->connection().asyncCall(message);
    }
    // The test plugin's control objects ("Renderer", "Properties" of the object under
    // test, or "Plugin"), on the client's connection, so they come after the client's calls.
    QDBusMessage controlCall(const QString &method, const V &arguments = {}, const QString &type = "Renderer")
    {
        const QString target = type == "Plugin" ? QString() : u'/' + type.toLower() + u'/' + object();
        return client.call("com.oxbel.tuvo.testplugin", "/com/oxbel/tuvo/test" + target, Control + type, method,
                           arguments);
    }
    QVariant control(const QString &method, const V &arguments = {}, const QString &type = "Renderer")
    {
        return controlCall(method, arguments, type).arguments().value(0);
    }
    QDBusMessage host(const QString &method, const V &arguments = {})
    {
        return controlCall(method, arguments, "Properties");
    }
    QString read(BusClient *by, const QString &name)
    {
        return typed(call("get_extension_property", {name}, by, Extension));
    }
    QStringList rendererCalls() { return control("calls").toStringList(); }
    int logCount(const QString &text) { return int(wrapper.errorOutput().count(text)); }

    // A reply may be in before the call waits for it; what the wrapper sent before the
    // reply is queued for this thread by then and is handled here.
    static QVariant settled(const QDBusMessage &reply)
    {
        QCoreApplication::processEvents();
        return reply.arguments().value(0);
    }
    QVariant sourceControl(const QString &method, const V &arguments = {})
    {
        return settled(client.call(u"com.oxbel.tuvo.testplugin"_s, u"/com/oxbel/tuvo/test/source/test_source"_s,
                                   u"com.oxbel.tuvo.test.Source"_s, method, arguments));
    }
    uint sourceCall(const QString &method, const V &arguments, BusClient *caller = nullptr)
    {
        return settled((caller ? caller : &client)->call(SourceService, SourcePath, SourceInterface, method, arguments)).toUInt();
    }
    uint browse(BusClient *caller = nullptr) { return sourceCall(u"browse"_s, {QString(), QString(), QStringList(), 0u, 0u}, caller); }
    uint query() { return sourceCall(u"query"_s, {u"q"_s}); }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBusStruct::registerMetaType();
        wrapper.setHome(home.path());
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        QVERIFY(activator.activate("libtuvo_test_plugin"));
        QVERIFY(TestBus::waitForName(SourceService));
        proxy = new ProxySourceRecorder(client.connection(), u"test_source"_s, this);
        QVERIFY(proxy->isRegistered());
    }

    void init()
    {
        kind = "renderer";
        uuid = QStringLiteral("renderer_%1").arg(++renderers);
        QVERIFY(control("add_object", {"renderer", uuid, "Test Plugin", "Test Renderer"}, "Plugin").toBool());
        QVERIFY(TestBus::waitForName(service()));
        if (QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).startsWith("source"))
            kind = "source";
        QCOMPARE(host("reset").type(), QDBusMessage::ReplyMessage);
    }

    void cleanup()
    {
        kind = "renderer";
        control("remove_object", {uuid}, "Plugin");
        QVERIFY(TestBus::waitForName(service(), false));
        QVERIFY2(wrapper.isRunning(), qPrintable(wrapper.errorOutput()));
        QCOMPARE(proxy->strayCalls(), 0);
    }

    // The answer slots are private: no client can fake an answer.
    void contractHolds_data()
    {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QSet<QString>>("delayed");
        QTest::newRow("renderer") << Interface << QSet<QString>{"get_position", "get_status", "get_current_media_info"};
        QTest::newRow("renderer extension") << Extension << QSet<QString>{"get_extension_property"};
        QTest::newRow("source extension") << Extension << QSet<QString>{"get_extension_property"};
    }
    void contractHolds()
    {
        QFETCH(QString, interface);
        QFETCH(QSet<QString>, delayed);
        QSet<QString> exported;
        const QMetaObject &meta = interface == Interface ? TuvoRendererAdaptor::staticMetaObject
                                                         : TuvoExtensionAdaptor::staticMetaObject;
        const QStringList members = InterfaceContract::fromMetaObject(meta, &exported);
        QCOMPARE(members, InterfaceContract::withDelayedReplies(contract(interface), exported));
        QCOMPARE(exported, delayed);
        QCOMPARE(InterfaceContract::fromXml(TestBus::introspect(service(), path()), interface), contract(interface));
        if (interface == Interface)
            return;
        QCOMPARE(typed(call("get_name", {}, nullptr, Extension)), kind == "source" ? "s:Test Source" : "s:Test Renderer");
        host("set_value", {"p", variant(1)});
        QCOMPARE(call("get_extension_property", {"p"}, nullptr, Extension).signature(),
                 InterfaceContract::outSignature(contract(Extension), "get_extension_property"));
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
        // Which event ends which queries is the renderer policy table's; here, one row
        // for each way the adaptor hands its answer on.
        QTest::newRow("previous") << "previous" << L{"position", "status", "media_info"};
        QTest::newRow("error 41") << "41" << L{"position", "status", "media_info"};
        QTest::newRow("error 327") << "327" << L{"status"};
    }
    // Waiting queries end with the cancellation, position, status and media info in
    // turn, before the error signal; the request stays out, and its answer finds no
    // call. A renderer removed with calls waiting on either interface ends them
    // with UnknownObject.
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
        QList<QDBusPendingCall> waiting{read};
        for (auto it = calls.cbegin(); it != calls.cend(); ++it)
            if (!cancelled.contains(it.key()))
                waiting.append(it.value());
        for (const QDBusPendingCall &call : waiting)
            QTRY_COMPARE(call.error().name(), "org.freedesktop.DBus.Error.UnknownObject");
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

    // The members, the result calls and the change signals as the contracts have them.
    void sourceContract()
    {
        QStringList expected = InterfaceContract::fromXml(InterfaceContract::contractXml(SourceInterface), SourceInterface);
        QStringList live = InterfaceContract::fromXml(TestBus::introspect(SourceService, SourcePath), SourceInterface);
        expected.sort(); // Qt lists an adaptor's members in an order of its own
        live.sort();
        QCOMPARE(live, expected);
        const QString proxyXml = InterfaceContract::contractXml(u"com.oxbel.tuvo.proxy_source"_s);
        const QStringList proxyContract = InterfaceContract::fromXml(proxyXml, u"com.oxbel.tuvo.proxy_source"_s);
        // The recorder takes calls with these signatures only.
        QCOMPARE(InterfaceContract::inSignature(proxyContract, u"browse_result"_s), u"ua(iusaysus)"_s);
        QCOMPARE(InterfaceContract::inSignature(proxyContract, u"query_result"_s), u"uia(uas)is"_s);
        QCOMPARE(proxyXml.count(u"<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/>"_s), 2);
        const uint browseId = browse(), queryId = query();
        sourceControl(u"deliver_results"_s, {browseId, 1, 0});
        sourceControl(u"deliver_rows"_s, {queryId, 1, 0});
        QCOMPARE(proxy->browseCalls(browseId).size(), 1);
        QCOMPARE(proxy->browseCalls(browseId).first().sender, TestBus::owner(SourceService));
        QCOMPARE(proxy->queryCalls(queryId).size(), 1);
        QVERIFY(!proxy->browseCalls(browseId).first().replyRequired && !proxy->queryCalls(queryId).first().replyRequired);

        BusSignalRecorder containers(SourceService, SourcePath, SourceInterface, u"container_changed"_s, client.connection());
        BusSignalRecorder metadata(SourceService, SourcePath, SourceInterface, u"metadata_changed"_s, client.connection());
        sourceControl(u"emit_container_changed"_s, {u"c_1"_s});
        sourceControl(u"emit_metadata_changed"_s, {u"m_1"_s});
        const QDBusMessage empty = client.call(SourceService, SourcePath, SourceInterface, u"set_metadata"_s);
        QVERIFY(empty.type() == QDBusMessage::ReplyMessage && empty.arguments().isEmpty());
        QVERIFY(containers.waitForCount(1) && metadata.waitForCount(1));
        QCOMPARE(containers.firstArguments() + metadata.firstArguments(), (QStringList{u"c_1"_s, u"m_1"_s}));
    }

    // Arguments pass unchanged; a stray first callback cannot capture the browse; the
    // records carry what the source reported; callbacks may come inside the browse call.
    void browseResults()
    {
        const QVariantList arguments{u"obj"_s, u"pred"_s, QStringList{u"a"_s, u"b c"_s}, 3u, 7u};
        const uint id = sourceCall(u"browse"_s, arguments);
        QCOMPARE(qdbus_cast<QVariantList>(sourceControl(u"last_browse"_s)), arguments);
        QVERIFY(sourceControl(u"deliver_result"_s, {id, id + 1000, u"stray"_s, QVariantMap(), 9u, 0}).toBool());
        QVERIFY(wrapper.waitForErrorOutput(u"Source signals with bad browseId: return"_s));
        const QVariantMap meta{{u"title"_s, u"abc"_s}, {u"list"_s, QStringList()}};
        sourceControl(u"deliver_result"_s, {id, id, u"one"_s, meta, 100u, 11});
        QVERIFY(wrapper.waitForErrorOutput(u"TuvoSourceAdaptor::createBrowseResult: Unknown metadata type"_s));
        QCOMPARE(sourceControl(u"deliver_results"_s, {id, 11, 10}).toInt(), 11);
        QCOMPARE(shapes(proxy->browseCalls(id)), (QStringList{u"10 records"_s, u"2 records"_s}));
        const auto records = proxy->browseRecords(id);
        QCOMPARE(records.first().metadata, QByteArray::fromHex("7469746c6500010000004000000061626300"));
        for (int i = 0; i < 12; ++i) {
            TuvoBrowseResultDBusStruct expected;
            expected.index = i ? uint(i - 1) : 100u;
            expected.remainingCount = 11 - i;
            expected.objectId = i ? u"item_%1"_s.arg(i - 1) : u"one"_s;
            expected.metadata = records.at(i).metadata;
            QCOMPARE(records.at(i), expected);
        }
        sourceControl(u"set_inline_results"_s, {3, 2});
        QCOMPARE(shapes(proxy->browseCalls(browse())), QStringList{u"3 records"_s});
    }

    // Row values unchanged; each call carries the remaining count of its last row.
    void queryRows()
    {
        const uint id = sourceCall(u"query"_s, {u"artist = \"x\""_s});
        QCOMPARE(sourceControl(u"last_query"_s).toString(), u"artist = \"x\""_s);
        const QStringList row{QString(), u"\u4e2d\u6587 \U0001F3B5"_s, u"a,b;c"_s};
        QVERIFY(sourceControl(u"deliver_row"_s, {id, id, row, 77u, 12}).toBool());
        QCOMPARE(sourceControl(u"deliver_rows"_s, {id, 12, 11}).toInt(), 12);
        QCOMPARE(shapes(proxy->queryCalls(id)), (QStringList{u"10 rows, 3 left, 0 "_s, u"3 rows, 0 left, 0 "_s}));
        const auto rows = proxy->queryRows(id);
        QVERIFY(rows.first().index == 77u && rows.first().resultRow == row);
        QVERIFY(rows.last().index == 11u && rows.last().resultRow == (QStringList{u"row_11"_s, u"Row 11"_s}));
        sourceControl(u"set_inline_rows"_s, {2, 1});
        QCOMPARE(shapes(proxy->queryCalls(query())), QStringList{u"2 rows, 0 left, 0 "_s});
    }

    void error_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<int>("pending");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("browse, after 3 results") << true << 3 << QStringList{u"3 records"_s, u"1 records"_s};
        QTest::newRow("query, after 3 rows") << false << 3 << QStringList{u"3 rows, 0 left, 0 "_s, u"0 rows, 0 left, -7 disk éjected"_s};
    }

    // The error follows the pending results; a browse's is a record, a query's two arguments.
    void error()
    {
        QFETCH(bool, isBrowse);
        QFETCH(int, pending);
        QFETCH(QStringList, calls);
        const uint id = isBrowse ? browse() : query();
        sourceControl(isBrowse ? u"deliver_results"_s : u"deliver_rows"_s, {id, pending, 8});
        if (isBrowse) {
            QVERIFY(sourceControl(u"deliver_error"_s, {id, id, 4000000001u, u"disk éjected"_s}).toBool());
            QCOMPARE(shapes(proxy->browseCalls(id)), calls);
            TuvoBrowseResultDBusStruct expected;
            expected.errorCode = 4000000001u;
            expected.errorMessage = u"disk éjected"_s;
            QCOMPARE(proxy->browseRecords(id).last(), expected);
        } else {
            QVERIFY(sourceControl(u"deliver_query_error"_s, {id, id, -7, u"disk éjected"_s}).toBool());
            QCOMPARE(shapes(proxy->queryCalls(id)), calls);
        }
    }

    // Cancelling passes any id on and keeps the operation.
    void cancel()
    {
        const uint browseId = browse(), queryId = query();
        sourceCall(u"cancel_browse"_s, {browseId});
        sourceCall(u"cancel_browse"_s, {4242u});
        sourceCall(u"cancel_query"_s, {queryId});
        QCOMPARE(qdbus_cast<QList<uint>>(sourceControl(u"cancelled_browses"_s)), (QList<uint>{browseId, 4242u}));
        QCOMPARE(qdbus_cast<QList<uint>>(sourceControl(u"cancelled_queries"_s)), QList<uint>{queryId});
        sourceControl(u"deliver_results"_s, {browseId, 1, 0});
        sourceControl(u"deliver_rows"_s, {queryId, 1, 0});
        QVERIFY(proxy->isBrowseDone(browseId) && proxy->isQueryDone(queryId));
    }

    // Results go to the caller of each browse, whoever calls next; one client's two
    // browses are independent.
    void twoClients()
    {
        BusClient other;
        ProxySourceRecorder otherProxy(other.connection(), u"test_source"_s);
        QVERIFY(otherProxy.isRegistered());
        const uint first = browse(), theirs = browse(&other), second = browse();
        QVERIFY(first && theirs && second && first != theirs && first != second && theirs != second);
        sourceControl(u"deliver_results"_s, {second, 2, 3});
        sourceControl(u"deliver_results"_s, {first, 12, 11});
        sourceControl(u"deliver_results"_s, {theirs, 2, 1});
        sourceControl(u"deliver_results"_s, {second, 2, 1});
        QVERIFY(otherProxy.waitForBrowseEnd(theirs));
        QCOMPARE(otherProxy.browseRecords(theirs).size(), 2);
        QVERIFY(proxy->browseCalls(theirs).isEmpty() && otherProxy.browseCalls(first).isEmpty());
        QCOMPARE(proxy->browseRecords(first).size(), 12);
        const auto records = proxy->browseRecords(second);
        QCOMPARE(records.size(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(records.at(i).index == uint(i) && records.at(i).remainingCount == 3 - i);
    }

    // A long stream arrives whole and in order, however the source slices it.
    void sourceStream_data()
    {
        QTest::addColumn<int>("slice");
        QTest::newRow("5000 in one turn") << 0;
        QTest::newRow("5000, 100 per turn") << 100;
    }
    void sourceStream()
    {
        QFETCH(int, slice);
        const uint id = browse();
        QVERIFY(sourceControl(u"stream_results"_s, {id, 5000, slice}).toBool());
        QVERIFY(proxy->waitForBrowseEnd(id));
        const auto records = proxy->browseRecords(id);
        QCOMPARE(records.size(), 5000);
        for (int i = 0; i < records.size(); ++i)
            QVERIFY(records.at(i).index == uint(i) && records.at(i).remainingCount == 4999 - i);
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

    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("written"); // what reached the object
        QTest::newRow("renderer accepts an int32") << "w" << true << QVariant(42) << "i:42";
        QTest::newRow("renderer refuses a string") << "w" << false << QVariant("loud") << "s:loud";
        QTest::newRow("source accepts a string list") << "w" << true << QVariant(QStringList{"a", "b"}) << "as:a,b";
        QTest::newRow("source: a write needs a name") << "" << false << QVariant(5) << "";
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(bool, accept);
        QFETCH(QVariant, value);
        QFETCH(QString, written);
        host("set_write_result", {accept});
        QCOMPARE(typed(call("set_extension_property", {name, variant(value)}, nullptr, Extension)),
                 accept ? "b:true" : "b:false");
        const QDBusMessage writes = host("writes");
        QCOMPARE(writes.arguments().value(0).toStringList(), name.isEmpty() ? QStringList() : QStringList{name});
        const V values = qdbus_cast<V>(writes.arguments().value(1));
        QDBusMessage carried = writes.createReply(values.isEmpty() ? V() : V{variant(values.first())});
        QCOMPARE(typed(carried), written);
    }

    // One object's read answered in each way, both kinds of object hosting the same adaptor;
    // a value keeps its D-Bus type (the conversions are the property conversion table's).
    void reads_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("renderer int32") << "now" << QVariant(55) << "s:p i:55";
        QTest::newRow("source empty string") << "now" << QVariant(QString()) << "s:p s:";
        QTest::newRow("renderer string list") << "now" << QVariant(QStringList{"x"}) << "s:p as:x";
        QTest::newRow("source object path") << "now" << QVariant::fromValue(QDBusObjectPath("/a/b")) << "s:p o:/a/b";
        QTest::newRow("source no value") << "invalid" << QVariant() << Failure;
        QTest::newRow("renderer refuses") << "refuse" << QVariant() << Failure;
        QTest::newRow("source answers, then refuses") << "answer-then-refuse" << QVariant(1) << "s:p i:1";
        // Not a time-out: the caller hears at once that the value cannot be read.
        QTest::newRow("renderer unsendable") << "unsendable" << QVariant() << Failure;
    }
    // Exactly one reply per read, as a monitor of the bus sees it (it also shows replies
    // that the caller's library would drop), and nothing stays stored for the name.
    void reads()
    {
        QFETCH(QString, mode);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        BusClient caller;
        BusMonitor monitor;
        QVERIFY(monitor.start({"type='method_call',sender='" + caller.uniqueName() + "'",
                               "type='method_return',sender='" + TestBus::owner(service()) + "'",
                               "type='error',sender='" + TestBus::owner(service()) + "'"}));
        QVERIFY(host("set_read_mode", {mode}).arguments().value(0).toBool());
        if (value.isValid())
            host("set_value", {"p", variant(value)});
        QCOMPARE(read(&caller, "p"), expected);
        QCOMPARE(call("get_name", {}, &caller, Extension).type(), QDBusMessage::ReplyMessage); // after any second reply
        BusMonitor::Record named;
        QVERIFY(monitor.waitFor([](const BusMonitor::Record &r) { return r.member == "get_name"; }, &named));
        QVERIFY(monitor.waitFor([&](const BusMonitor::Record &r) { return r.replySerial == named.serial; }));
        int replies = 0;
        for (const BusMonitor::Record &r : monitor.records())
            replies += r.replySerial >= 0 && r.destination == caller.uniqueName();
        QCOMPARE(replies, 2);
        if (mode == "unsendable")
            QVERIFY(wrapper.waitForErrorOutput("TuvoExtensionAdaptor: Could not reply property request: \"p\""));

        host("set_read_mode", {"now"});
        host("set_value", {"p", variant(3)});
        QCOMPARE(read(&caller, "p"), "s:p i:3");
        QCOMPARE(host("requests").arguments().value(0).toStringList(), (QStringList{"p", "p"}));
    }

    void readsOfOneNameJoin_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::newRow("source answers") << true;
        QTest::newRow("source answers nothing") << false;
    }
    // One request for every waiting read of a name, whichever client asked; one answer
    // (or one failure) for them all. Other names are not held up.
    void readsOfOneNameJoin()
    {
        QFETCH(bool, valid);
        host("set_read_mode", {"later"});
        BusClient other;
        QList<QDBusPendingCall> pending;
        for (BusClient *by : {&client, &other, &client})
            pending.append(callAsync("get_extension_property", {"joined"}, by, Extension));
        host("set_read_mode", {"now"});
        host("set_value", {"loud", variant(1)});
        QCOMPARE(read(&other, "loud"), "s:loud i:1");
        QCOMPARE(host("requests").arguments().value(0).toStringList(), (QStringList{"joined", "loud"}));
        QVERIFY(!pending.at(0).isFinished());
        QCOMPARE(host(valid ? "answer" : "answer_invalid", valid ? V{"joined", variant(7u)} : V{"joined"})
                     .arguments(), V{1}); // one request reached the object
        for (QDBusPendingCall &call : pending) {
            call.waitForFinished();
            QCOMPARE(typed(call.reply()), valid ? "s:joined u:7" : Failure);
        }
    }

    void propertyChanged_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("renderer int32") << QVariant(30) << "s:changed i:30";
        QTest::newRow("source string") << QVariant("Shelf") << "s:changed s:Shelf";
    }
    void propertyChanged()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        BusSignalRecorder changes(service(), path(), Extension, "property_changed", client.connection());
        QCOMPARE(host("emit_change", {"changed", variant(value)}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(changes.waitForCount(1));
        QCOMPARE(typed(changes.messages().first()), expected);
    }

    // The adaptor's debug lines, which only a debug log shows: in this process, on an
    // object of its own. A write without a value never reaches the object.
    void logLines()
    {
        Renderer renderer;
        TuvoExtensionAdaptor adaptor(&renderer);
        QVERIFY(QDBusConnection::sessionBus().registerObject("/unit", &renderer));
        QStringList lines;
        s_lines = &lines;
        const QtMessageHandler previous = qInstallMessageHandler(&collect);
        QVERIFY(!adaptor.set_extension_property("volume", QDBusVariant(QVariant())));
        const QString self = QDBusConnection::sessionBus().baseService();
        QCOMPARE(typed(client.call(self, "/unit", Extension, "set_extension_property", {"volume", variant(55)})),
                 "b:true");
        QCOMPARE(typed(client.call(self, "/unit", Extension, "get_extension_property", {"volume"})), "s:volume i:55");
        QCOMPARE(typed(client.call(self, "/unit", Extension, "get_extension_property", {"bass"})), Failure);
        qInstallMessageHandler(previous);
        QDBusConnection::sessionBus().unregisterObject("/unit");
        QCOMPARE(lines, (QStringList{"TuvoExtensionAdaptor::set_extension_property \"volume\" QVariant::int \"55\"",
                                     "TuvoExtensionAdaptor::get_extension_property \"volume\"",
                                     "void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)",
                                     "TuvoExtensionAdaptor::get_extension_property \"bass\""}));
    }
};

QTEST_GUILESS_MAIN(tst_AdaptorProcess)
#include "tst_adaptorprocess.moc"
