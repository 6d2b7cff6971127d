// The source, renderer and extension interfaces of the real wrapper on a private bus,
// seen from client connections of their own: the contracts, and what the adaptors put
// around the reply queue, the renderer policy and the result batch (each tested with
// it), including many clients at once and calls no well-behaved client makes. The test
// plugin's objects log what reaches them and answer as each test tells them to; the
// source's deliver controls answer inside the call, so what the wrapper sends in
// response is on its way before the control's reply.

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
#include <TuvoRendererAdaptor.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <memory>
#include <vector>

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

// A value as it crossed the wire, with its D-Bus type: "u:93", "[i:7 s:seven]", and
// "track_42{title:[s:Low Tide]}" for a media info record; variants unwrapped.
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
        return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType())) + u':' + value.toString();
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

// The private memory of a process in KiB: what a leak in it grows.
qint64 anonymousKiB(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// A client on a connection of its own, with a proxy-source object for the test source
// unless told otherwise.
struct Client
{
    BusClient bus;
    std::unique_ptr<ProxySourceRecorder> proxy;
    explicit Client(bool withProxy = true, const QString &source = u"test_source"_s)
    {
        if (withProxy)
            proxy = std::make_unique<ProxySourceRecorder>(bus.connection(), source);
    }
    // Every one of \a count generated results of browse \a id, in order, and nothing after.
    bool complete(uint id, int count) const
    {
        const auto records = proxy->browseRecords(id);
        bool ok = records.size() == count;
        for (int i = 0; ok && i < count; ++i)
            ok = records.at(i).index == uint(i) && records.at(i).remainingCount == count - 1 - i
                 && records.at(i).objectId == u"item_%1"_s.arg(i) && !records.at(i).metadata.isEmpty();
        return ok;
    }
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
    QDBusMessage call(const QString &method, const V &arguments = {}, const QString &interface = Interface)
    {
        return client.call(service(), path(), interface, method, arguments);
    }
    QDBusPendingCall callAsync(const QString &method, const V &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service(), path(), Interface, method);
        message.setArguments(arguments);
        return client.connection().asyncCall(message);
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
    // A round trip to the test source: what it sent to \a by before has arrived.
    static bool ping(BusClient &by, const QString &service = SourceService, const QString &path = SourcePath)
    {
        return by.call(service, path, u"org.freedesktop.DBus.Peer"_s, u"Ping"_s).type() == QDBusMessage::ReplyMessage;
    }
    static QList<uint> browseIds(std::vector<std::unique_ptr<Client>> &clients, const QString &service = SourceService,
                                 const QString &path = SourcePath)
    {
        QList<QDBusPendingCall> calls;
        for (auto &c : clients)
            calls.append(c->bus.connection().asyncCall(QDBusMessage::createMethodCall(service, path, SourceInterface, u"browse"_s)
                                                       << QString() << QString() << QStringList() << 0u << 0u, 60000));
        QList<uint> ids;
        for (QDBusPendingCall &call : calls) {
            call.waitForFinished();
            ids.append(call.reply().arguments().value(0).toUInt());
        }
        return ids;
    }
    uint browse(BusClient *caller = nullptr) { return sourceCall(u"browse"_s, {QString(), QString(), QStringList(), 0u, 0u}, caller); }
    uint query() { return sourceCall(u"query"_s, {u"q"_s}); }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBusStruct::registerMetaType();
        wrapper.setHome(home.path());
        // AddressSanitizer holds freed memory back in a quarantine: none, for the memory
        // level that crowdBrowse watches to return as it does without it.
        wrapper.setEnv(u"ASAN_OPTIONS"_s, QString::fromLocal8Bit(qgetenv("ASAN_OPTIONS") + ":quarantine_size_mb=0"));
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
        QCOMPARE(typed(call("get_name", {}, Extension)), kind == "source" ? "s:Test Source" : "s:Test Renderer");
        host("set_value", {"p", variant(1)});
        QCOMPARE(call("get_extension_property", {"p"}, Extension).signature(),
                 InterfaceContract::outSignature(contract(Extension), "get_extension_property"));
    }

    // Each command, with plain arguments, also in tst_tuvoclientprocess; here, what the
    // wrapper makes of arguments a client may send.
    void commandsReachTheRenderer_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<V>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("play_uri encoded") << "play_uri" << V{"file:///m/a%20b.mp3", 4u} << "playUri(\"file:///m/a b.mp3\", 4)";
        QTest::newRow("play_uri beyond ascii") << "play_uri" << V{QStringLiteral("file:///日本 Björk.mp3")}
                                               << "playUri(\"file:///日本 Björk.mp3\", 0)";
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
        QTest::addColumn<int>("count"); // calls waiting together
        const V track{"track_42", QVariantMap{{"artist", V{"Ada", "Ben"}}, {"title", "Low Tide"}, {"track", 7}}};
        const QString info = "get_current_media_info";
        QTest::newRow("position") << "get_position" << V() << "getPosition(\"1getPositionCallback(uint)\")"
                                  << "answer_position" << V{93u} << "u:93" << 2;
        QTest::newRow("status") << "get_status" << V() << "getStatus(\"1getStatusCallback(QString,uint,int,QString)\")"
                                << "answer_status" << V{"list_9", 4u, 1, "item_3"} << "s:list_9 u:4 i:1 s:item_3" << 2;
        QTest::newRow("status, 10 000 calls") << "get_status" << V() << "getStatus(\"1getStatusCallback(QString,uint,int,QString)\")"
                                              << "answer_status" << V{"l", 7u, 1, "i"} << "s:l u:7 i:1 s:i" << 10000;
        QTest::newRow("media info") << info << V{QString()} << MediaInfoRequest << "answer_media_info" << track
                                    << "track_42{artist:[s:Ada s:Ben] title:[s:Low Tide] track:[i:7]}" << 2;
        QTest::newRow("media info of a key") << info << V{"artist"} << MediaInfoRequest << "answer_media_info"
                                             << track << "track_42{artist:[s:Ada s:Ben]}" << 2;
        QTest::newRow("media info of a key without values") << info << V{"composer"} << MediaInfoRequest
                                                            << "answer_media_info" << track << "track_42{composer:[]}" << 2;
        // Refused: the call fails at once instead of waiting for its time-out.
        const QString failed = "org.freedesktop.DBus.Error.Failed: failed to get ";
        QTest::newRow("position refused") << "get_position" << V() << "position" << "" << V() << failed + "position" << 2;
        QTest::newRow("status refused") << "get_status" << V() << "status" << "" << V() << failed + "status" << 2;
        QTest::newRow("media info refused") << info << V{"x"} << "media_info" << "" << V() << failed + "media info" << 2;
    }
    // Calls waiting together: one renderer answer serves them all, but for media info,
    // where each call is asked for in turn, since each may name another key.
    void queries()
    {
        QFETCH(QString, method);
        QFETCH(V, arguments);
        QFETCH(QString, request);
        QFETCH(QString, answer);
        QFETCH(V, values);
        QFETCH(QString, expected);
        QFETCH(int, count);
        if (answer.isEmpty()) {
            QVERIFY(control("set_query_mode", {request, "refuse"}).toBool());
            const QDBusMessage reply = call(method, arguments);
            QCOMPARE(reply.errorName() + ": " + reply.errorMessage(), expected);
            return;
        }
        QList<QDBusPendingCall> pending;
        for (int i = 0; i < count; ++i)
            pending.append(callAsync(method, arguments));
        QCOMPARE(rendererCalls(), L{request});
        QVERIFY(control(answer, values).toBool());
        if (request == MediaInfoRequest) {
            pending.first().waitForFinished();
            QCOMPARE(rendererCalls(), (L{request, request}));
            QVERIFY(!pending.last().isFinished());
            QVERIFY(control(answer, values).toBool());
        }
        for (QDBusPendingCall &call : pending) {
            call.waitForFinished();
            QCOMPARE(call.reply().signature(), InterfaceContract::outSignature(contract(), method));
            QCOMPARE(typed(call.reply()), expected);
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
    // call. A renderer removed with calls waiting ends them with UnknownObject.
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
        cleanup();
        control("remove_object", {"none"}, "Plugin"); // a round trip through the wrapper after the removal
        QList<QDBusPendingCall> waiting;
        for (auto it = calls.cbegin(); it != calls.cend(); ++it)
            if (!cancelled.contains(it.key()))
                waiting.append(it.value());
        for (const QDBusPendingCall &call : waiting)
            QTRY_COMPARE(call.error().name(), "org.freedesktop.DBus.Error.UnknownObject");
    }

    // The members, the result calls and the change signals as the contracts have them.
    void sourceContract()
    {
        QStringList expected = InterfaceContract::fromXml(InterfaceContract::contractXml(SourceInterface), SourceInterface);
        QStringList live = InterfaceContract::fromXml(TestBus::introspect(SourceService, SourcePath), SourceInterface);
        expected.sort(); // Qt lists an adaptor's members in an order of its own
        live.sort();
        QCOMPARE(live, expected);
        // The recorder takes calls with the signatures of the wire's result records only
        // (anything else is a stray call); the results need no reply.
        const V arguments{u"obj"_s, u"pred"_s, QStringList{u"a"_s, u"b c"_s}, 3u, 7u}; // passed on unchanged
        const uint browseId = sourceCall(u"browse"_s, arguments), queryId = query();
        QCOMPARE(qdbus_cast<V>(sourceControl(u"last_browse"_s)), arguments);
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

    // A renderer's changes are watched in tst_tuvoclientprocess; a source's adaptor is
    // connected on its own.
    void propertyChanged()
    {
        kind = "source";
        BusSignalRecorder changes(service(), path(), Extension, "property_changed", client.connection());
        QCOMPARE(host("emit_change", {"changed", variant("Shelf")}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(changes.waitForCount(1));
        QCOMPARE(typed(changes.messages().first()), "s:changed s:Shelf");
    }

    // 50 clients browse the one source at once, one of them twice, and half of them leave
    // after 100 of their 200 results, while one more never made the proxy-source object
    // its results go to: the others receive every result of each browse, and after rounds
    // of it the wrapper's memory is back at its level after the first rounds.
    void crowdBrowse()
    {
        const auto round = [this] {
            std::vector<std::unique_ptr<Client>> clients;
            for (int i = 0; i <= 50; ++i)
                clients.push_back(std::make_unique<Client>(i < 50)); // the last without a proxy
            const QList<uint> ids = browseIds(clients) << browse(&clients[1]->bus);
            QVERIFY(!ids.contains(0u));
            for (int part = 0; part < 4; ++part) {
                for (size_t i = 0; part == 2 && i < 50; i += 2)
                    clients[i]->bus.disconnect();
                for (uint id : ids)
                    QCOMPARE(sourceControl(u"deliver_results"_s, {id, 50, 199 - 50 * part}).toInt(), 50);
            }
            for (size_t i = 1; i <= 51; i += 2) {
                const size_t by = i < 50 ? i : 1; // the last id: client 1's second browse
                QVERIFY(clients[by]->proxy->waitForBrowseEnd(ids[int(i)]));
                QVERIFY(clients[by]->complete(ids[int(i)], 200));
            }
        };
        // Two rounds bring the allocator's pools to what such a round needs; a leak grows
        // with every further one.
        round();
        round();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(ping(client));
        const qint64 idle = anonymousKiB(wrapper.pid());
        for (int i = 0; i < 3 && !QTest::currentTestFailed(); ++i)
            round();
        // Transactions end with deleteLater: give the wrapper a moment to get there.
        QTRY_VERIFY_WITH_TIMEOUT(anonymousKiB(wrapper.pid()) < idle + 2048, 10000);
        qInfo("wrapper memory after two rounds %lld KiB, after three more %lld KiB", idle, anonymousKiB(wrapper.pid()));
    }

    // A source withdrawn in the middle of a browse still delivers what it gave, and its
    // client hears that the browse has ended.
    void sourceWithdrawnMidBrowse()
    {
        const QString name = u"com.oxbel.tuvo.source.Test-Plugin.gone_source"_s, at = u"/com/oxbel/tuvo/source/gone_source"_s;
        QVERIFY(control("add_object", {"source", "gone_source", "Test Plugin", "Gone"}, "Plugin").toBool());
        QVERIFY(TestBus::waitForName(name));
        std::vector<std::unique_ptr<Client>> clients;
        clients.push_back(std::make_unique<Client>(true, u"gone_source"_s));
        const uint id = browseIds(clients, name, at).value(0);
        QCOMPARE(settled(client.call(u"com.oxbel.tuvo.testplugin"_s, u"/com/oxbel/tuvo/test/source/gone_source"_s,
                                     u"com.oxbel.tuvo.test.Source"_s, u"deliver_results"_s, {id, 3, 9})).toInt(), 3);
        QVERIFY(control("remove_object", {"gone_source"}, "Plugin").toBool());
        QVERIFY(clients[0]->proxy->waitForBrowseEnd(id));
        QCOMPARE(clients[0]->proxy->browseRecords(id).size(), 4);
        QCOMPARE(clients[0]->proxy->browseRecords(id).last().errorCode, 100u); // the resource is gone
    }

    // Calls no well-behaved client makes: each gets one reply, an error or its normal
    // answer (Qt D-Bus takes arguments beyond a method's own as a call of that method),
    // and the wrapper serves on.
    void hostileCalls_data()
    {
        QTest::addColumn<QString>("object"); // "source", "renderer", "plugin"
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("method");
        QTest::addColumn<V>("arguments");
        QTest::addColumn<bool>("answered");
        const QString big(1024 * 1024, u'x');
        const uint most = UINT_MAX;
        const auto row = [](const char *name, const char *object, const QString &interface, const char *method,
                            const V &arguments, bool answered) {
            QTest::newRow(name) << QString::fromLatin1(object) << interface << QString::fromLatin1(method) << arguments
                                << answered;
        };
        const QString source = SourceInterface, renderer = Interface;
        row("browse without arguments", "source", source, "browse", {}, false);
        row("browse with wrong types", "source", source, "browse", {1, 2.5}, false);
        row("browse of 2^32-1 items from 2^32-1", "source", source, "browse", {QString(), QString(), L(), most, most}, true);
        row("browse with 1 MiB strings", "source", source, "browse", {big, big, L{big, QString()}, 0u, 0u}, true);
        row("query of 1 MiB", "source", source, "query", {big}, true);
        row("empty query", "source", source, "query", {QString()}, true);
        row("cancel_browse 2^32-1", "source", source, "cancel_browse", {most}, true);
        row("cancel_query 2^32-1", "source", source, "cancel_query", {most}, true);
        row("cancel_query with a string", "source", source, "cancel_query", {big}, false);
        row("unknown source method", "source", source, "browse_all", {}, false);
        row("play_uri of 1 MiB from 2^32-1", "renderer", renderer, "play_uri", {big, most}, true);
        row("empty play_uri", "renderer", renderer, "play_uri", {QString()}, true);
        row("play_uri with a number", "renderer", renderer, "play_uri", {most}, false);
        row("play_uri_content_type of 1 MiB", "renderer", renderer, "play_uri_content_type", {big, big}, true);
        row("goto_index 2^32-1", "renderer", renderer, "goto_index", {most}, true);
        row("pause_at 2^32-1", "renderer", renderer, "pause_at", {most}, true);
        row("set_position to the int range's ends", "renderer", renderer, "set_position", {INT_MIN, INT_MAX}, true);
        row("set_position with a string", "renderer", renderer, "set_position", {QString()}, false);
        row("assign_playlist of 1 MiB", "renderer", renderer, "assign_playlist", {big}, true);
        row("get_status with an argument", "renderer", renderer, "get_status", {most}, true);
        row("media info of a 1 MiB key", "renderer", renderer, "get_current_media_info", {big}, true);
        row("media info of no key", "renderer", renderer, "get_current_media_info", {QString()}, true);
        row("read a 1 MiB property", "renderer", Extension, "get_extension_property", {big}, false);
        row("write a 1 MiB property", "source", Extension, "set_extension_property", {big, variant(big)}, true);
        row("write without a variant", "source", Extension, "set_extension_property", {big, big}, false);
        row("activate with an argument", "plugin", u"com.oxbel.tuvo.plugin"_s, "activate", {most}, true);
    }
    void hostileCalls()
    {
        QFETCH(QString, object);
        QFETCH(QString, interface);
        QFETCH(QString, method);
        QFETCH(V, arguments);
        QFETCH(bool, answered);
        for (const QString &query : {u"status"_s, u"position"_s, u"media_info"_s})
            QVERIFY(control("set_query_mode", {query, u"now"_s}).toBool());
        BusClient caller;
        BusMonitor monitor;
        QVERIFY(monitor.start({u"sender='%1'"_s.arg(caller.uniqueName()), u"destination='%1'"_s.arg(caller.uniqueName())}));
        const QString plugin = u"libtuvo_test_plugin"_s;
        const QString to = object == u"plugin"_s ? u"com.oxbel.tuvo.plugin."_s + plugin
                           : object == u"source"_s ? SourceService : service();
        const QString at = object == u"plugin"_s ? u"/com/oxbel/tuvo/plugin/"_s + plugin
                           : object == u"source"_s ? SourcePath : path();
        const QDBusMessage reply = caller.call(to, at, interface, method, arguments, 60000);
        QVERIFY2(reply.type() == (answered ? QDBusMessage::ReplyMessage : QDBusMessage::ErrorMessage),
                 qPrintable(reply.errorName() + u' ' + reply.errorMessage().left(200)));
        QVERIFY(reply.errorName() != u"org.freedesktop.DBus.Error.NoReply"_s);
        // The wrapper lives on, and the call has its one reply.
        QVERIFY(ping(caller, to, at));
        BusMonitor::Record sent, pinged;
        QVERIFY(monitor.waitFor([&](const auto &r) { return r.type == u"method call"_s && r.member == method; }, &sent));
        QVERIFY(monitor.waitFor([&](const auto &r) { return r.member == u"Ping"_s; }, &pinged));
        QVERIFY(monitor.waitFor([&](const auto &r) { return r.replySerial == pinged.serial; }));
        int replies = 0;
        for (const BusMonitor::Record &record : monitor.records())
            replies += record.replySerial == sent.serial;
        QCOMPARE(replies, 1);
    }
};

QTEST_GUILESS_MAIN(tst_AdaptorProcess)
#include "tst_adaptorprocess.moc"
