// The client library against fake wrappers on the private bus: each row is what a fake
// peer answers and sends, and what the library delivers, reports and calls.
#include "InterfaceContract.h"
#include "TuvoClientDiscovery.h"
#include "TuvoClientPluginActivation.h"
#include "TuvoClientRenderer.h"
#include "TuvoClientSource.h"

#include <TuvoBusNames.h>
#include <TuvoMetadataEncoder.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(QList<TuvoClientBrowseResult>)
Q_DECLARE_METATYPE(QList<TuvoQueryResultDBusStruct>)

// Named: lambdas of the test class capture these, and a unity build includes this file.
namespace peers {
const QString Fake = QStringLiteral("fake"), Plugin = QStringLiteral("libtuvo_fake_plugin");
const QString SourceBus = TuvoBusNames::sourceServiceName(QStringLiteral("Fake"), Fake);
const QString RendererBus = TuvoBusNames::rendererServiceName(QStringLiteral("Fake"), Fake);
const QString Proxy = QStringLiteral("com.oxbel.tuvo.proxy_source");
const QStringList Types{"none", "Timeout", "NotFound", "Ambiguous", "Refused", "Remote", "Cancelled", "Malformed", "DBusFailure"};

QString describe(const TuvoClientError &e)
{
    return Types.value(int(e.type())) + (e.code() ? QLatin1Char(' ') + QString::number(e.code()) : QString())
           + (e.dbusName().isEmpty() ? QString() : QLatin1Char(' ') + e.dbusName());
}

// Metadata of every type the blob knows, different per item.
QVariantMap metadataOf(int i)
{
    return {{"bool", i % 2 == 0}, {"char", QVariant::fromValue(QChar(QLatin1Char(char('a' + i))))}, {"double", i + 0.5},
            {"int", -i}, {"int64", qlonglong(i) << 40}, {"string", QStringLiteral("Title %1").arg(i)}, {"uint", uint(i)},
            {"uint64", qulonglong(i) << 60}};
}

// A service on a connection of its own: records every call and answers it with the
// reply set for its member (an error reply for "!name"; none at all while frozen).
class Peer : public QDBusVirtualObject
{
public:
    Peer(const QString &busName, const QString &objectPath)
        : name(QUuid::createUuid().toString()), bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)), path(objectPath)
    {
        ready = bus.registerVirtualObject(path, this, QDBusConnection::SubPath) && (busName.isEmpty() || bus.registerService(busName));
    }
    ~Peer() override { leave(); }
    void leave() { bus = QDBusConnection(QString()); QDBusConnection::disconnectFromBus(name); }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &call, const QDBusConnection &connection) override
    {
        calls.append(call.interface().section(QLatin1Char('.'), -1) + QLatin1Char('.') + call.member() + QLatin1Char(':')
                     + call.signature() + QLatin1Char(':') + text(call.arguments()));
        pending.append(call);
        const QString error = replies.value(call.member()).value(0).toString();
        if (!frozen)
            connection.send(error.startsWith(QLatin1Char('!')) ? call.createErrorReply(error.mid(1), QStringLiteral("Message cancelled."))
                                                               : call.createReply(replies.value(call.member())));
        return true;
    }
    bool send(const QString &interface, const QString &member, const QVariantList &args, bool toClient = false)
    {
        QDBusMessage m = !toClient ? QDBusMessage::createSignal(path, interface, member)
                                   : QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(),
                                                                    TuvoBusNames::proxySourceObjectPath(Fake), interface, member);
        m.setArguments(args);
        return bus.send(m);
    }
    bool waitFor(const QString &call) { return QTest::qWaitFor([&] { return calls.join(QLatin1Char(' ')).contains(call); }, 5000); }
    static QString text(const QVariantList &values)
    {
        QStringList parts;
        for (const QVariant &v : values)
            parts.append(v.canConvert<QDBusVariant>() ? v.value<QDBusVariant>().variant().toString()
                         : v.metaType() == QMetaType::fromType<QStringList>() ? v.toStringList().join(QLatin1Char('/')) : v.toString());
        return parts.join(QLatin1Char(','));
    }
    QString name;
    QDBusConnection bus;
    QString path;
    bool ready = false, frozen = false;
    QMap<QString, QVariantList> replies;
    QStringList calls;
    QList<QDBusMessage> pending;
};

TuvoClientObjectInfo infoOf(const Peer &peer, const QString &busName)
{
    TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(busName);
    info.owner = peer.bus.baseService();
    return info;
}
} // namespace peers
using namespace peers;

class tst_TuvoClientPeers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TuvoBrowseResultDBusStruct::registerDBusTypes();
        TuvoQueryResultDBusStruct::registerDBusTypes();
        TuvoMediaInfoDBusStruct::registerMetaType();
        qRegisterMetaType<TuvoClientError>();
        qRegisterMetaType<TuvoClientObjectInfo>();
    }

    void operations_data()
    {
        // Steps: browse/query (starts it), started, "rec A B N" (results A..B of N), broken
        // (a record with a broken blob between two good ones), end (an empty last record),
        // wrong (a batch of the wrong signature), got N, cancel, delete, leave, ping, freeze,
        // "answer ID", "wait MS", "resulttimeout MS", "timeout MS", refuse, clock, "call MEMBER"
        // (waits for it). Results in order, errors after results and query rows reach
        // tuvo-client through the real wrapper (tst_tuvoclientprocess).
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("delivered"); // indexes ("!" for a metadata error), or "index:values"
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<int>("atLeastMs");

        const QString browse = "source.browse:ssasuu:albums,p,x,2,25", query = "source.query:s:night";
        QTest::newRow("broken metadata spoils its record only") << QStringList{"browse", "started", "broken"}
                                                                << QStringList{"0", "1!", "2"} << "none" << "" << QStringList{browse} << 0;
        QTest::newRow("a batch of the wrong signature") << QStringList{"browse", "started", "wrong", "rec 0 0 1"}
                                                        << QStringList{"0"} << "none" << "" << QStringList{browse} << 0;
        QTest::newRow("an empty last record") << QStringList{"browse", "started", "end"} << QStringList() << "none" << "" << QStringList{browse} << 0;
        QTest::newRow("refused") << QStringList{"refuse", "browse"} << QStringList() << "Refused" << "" << QStringList{browse} << 0;
        QTest::newRow("cancel reaches the source") << QStringList{"browse", "started", "rec 0 0 6", "got 1", "cancel", "rec 1 1 6", "ping"}
            << QStringList{"0"} << "Cancelled" << "" << QStringList{browse, "source.cancel_browse:u:7"} << 0;
        QTest::newRow("cancel before the id is known") << QStringList{"freeze", "browse", "call browse", "cancel", "answer 11", "call cancel_browse"}
            << QStringList() << "Cancelled" << "" << QStringList{browse, "source.cancel_browse:u:11"} << 0;
        QTest::newRow("deleting a running browse cancels it") << QStringList{"browse", "started", "delete", "call cancel_browse"}
            << QStringList() << "" << "" << QStringList{browse, "source.cancel_browse:u:7"} << 0;
        QTest::newRow("silence ends it") << QStringList{"resulttimeout 300", "browse", "started", "clock", "wait 150", "rec 0 0 5", "wait 150",
                                                        "rec 1 1 5", "wait 150", "rec 2 2 5", "call cancel_browse"}
            << QStringList{"0", "1", "2"} << "Timeout" << SourceBus << QStringList{browse, "source.cancel_browse:u:7"} << 700;
        QTest::newRow("a frozen source times out") << QStringList{"freeze", "timeout 300", "clock", "browse"} << QStringList() << "Timeout org.freedesktop.DBus.Error.NoReply"
                                                   << SourceBus + " did not answer within 0.3 s" << QStringList{browse} << 250;
        QTest::newRow("the source leaving ends it") << QStringList{"browse", "started", "leave"} << QStringList() << "NotFound" << ""
                                                    << QStringList{browse} << 0;
        QTest::newRow("cancel a query") << QStringList{"query", "started", "cancel"} << QStringList() << "Cancelled" << ""
                                        << QStringList{query, "source.cancel_query:u:9"} << 0;
    }

    void operations()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, delivered);
        QFETCH(QString, error);
        QFETCH(QString, message);
        QFETCH(QStringList, calls);
        QFETCH(int, atLeastMs);
        Peer peer(SourceBus, TuvoBusNames::sourceObjectPath(Fake));
        QVERIFY(peer.ready);
        peer.replies = {{"browse", {7u}}, {"query", {9u}}};
        TuvoClientSource source(infoOf(peer, SourceBus));
        QVERIFY(source.isReady());
        QPointer<TuvoClientOperation> op;
        QStringList got;
        std::unique_ptr<QSignalSpy> finished;
        QElapsedTimer clock;
        const auto sendBrowse = [&](const QList<TuvoBrowseResultDBusStruct> &records) {
            QVERIFY(peer.send(Proxy, "browse_result", {7u, QVariant::fromValue(records)}, true));
        };
        const auto record = [](int i, int remaining) {
            TuvoBrowseResultDBusStruct r;
            r.index = uint(i);
            r.remainingCount = remaining;
            r.objectId = QStringLiteral("item_%1").arg(i);
            r.metadata = TuvoMetadataEncoder::encode(metadataOf(i));
            return r;
        };
        for (const QString &step : std::as_const(steps)) {
            const QStringList w = step.split(QLatin1Char(' '));
            if (w[0] == "browse" || w[0] == "query") {
                if (w[0] == "browse") {
                    auto *b = source.browse("albums", "p", {"x"}, 2, 25);
                    connect(b, &TuvoClientBrowse::resultsReceived, this, [&](const QList<TuvoClientBrowseResult> &results) {
                        for (const TuvoClientBrowseResult &r : results) {
                            got.append(QString::number(r.index) + (r.hasMetadataError() ? "!" : ""));
                            QCOMPARE(r.objectId, QStringLiteral("item_%1").arg(r.index));
                            if (!r.hasMetadataError())
                                QCOMPARE(r.metadata, metadataOf(int(r.index)));
                            QCOMPARE(r.metadata.value("uint64", quint64()).metaType(), QMetaType::fromType<qulonglong>());
                        }
                    });
                    op = b;
                } else {
                    op = source.query("night");
                }
                finished = std::make_unique<QSignalSpy>(op.data(), &TuvoClientOperation::finished);
            } else if (w[0] == "started") {
                QVERIFY(QSignalSpy(op.data(), &TuvoClientOperation::started).wait());
            } else if (w[0] == "rec") {
                QList<TuvoBrowseResultDBusStruct> records;
                for (int i = w[1].toInt(); i <= w[2].toInt(); ++i)
                    records.append(record(i, w[3].toInt() - 1 - i));
                sendBrowse(records);
            } else if (w[0] == "broken") {
                TuvoBrowseResultDBusStruct broken = record(1, 1);
                broken.metadata = QByteArray("title\0\1\0\0\0\x40\0\0\0unterminated", 23);
                sendBrowse({record(0, 2), broken, record(2, 0)});
            } else if (w[0] == "end") {
                sendBrowse({TuvoBrowseResultDBusStruct()});
            } else if (w[0] == "wrong") {
                QDBusMessage m = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(),
                                                                TuvoBusNames::proxySourceObjectPath(Fake), Proxy, "browse_result");
                m << 7u << QStringLiteral("not a batch");
                QCOMPARE(peer.bus.call(m, QDBus::BlockWithGui, 5000).errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
            } else if (w[0] == "got") {
                QTRY_COMPARE(got.size(), w[1].toInt());
            } else if (w[0] == "cancel") {
                op->cancel();
            } else if (w[0] == "delete") {
                delete op;
            } else if (w[0] == "leave") {
                peer.leave();
            } else if (w[0] == "ping") {
                const QDBusMessage ping = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), "/",
                                                                         "org.freedesktop.DBus.Peer", "Ping");
                QCOMPARE(peer.bus.call(ping, QDBus::BlockWithGui).type(), QDBusMessage::ReplyMessage);
            } else if (w[0] == "freeze" || w[0] == "refuse") {
                peer.frozen = w[0] == "freeze";
                peer.replies["browse"] = {0u};
            } else if (w[0] == "answer") {
                peer.frozen = false;
                QVERIFY(peer.bus.send(peer.pending.first().createReply(QVariantList{w[1].toUInt()})));
            } else if (w[0] == "wait") {
                QTest::qWait(w[1].toInt());
            } else if (w[0] == "resulttimeout" || w[0] == "timeout") {
                w[0] == "timeout" ? source.setTimeout(w[1].toInt()) : source.setResultTimeout(w[1].toInt());
            } else if (w[0] == "clock") {
                clock.start();
            } else if (w[0] == "call") {
                QVERIFY(peer.waitFor(w[1]));
            } else {
                QFAIL(qPrintable(step));
            }
        }
        if (!error.isEmpty()) {
            QVERIFY(!finished->isEmpty() || finished->wait(5000));
            const TuvoClientError reported = finished->at(0).at(0).value<TuvoClientError>();
            QCOMPARE(describe(reported), error);
            QVERIFY2(reported.message().contains(message), qPrintable(reported.message()));
            QCOMPARE(op->error().type(), reported.type());
            if (auto *b = qobject_cast<TuvoClientBrowse *>(op.data()))
                QCOMPARE(b->resultCount(), got.size());
        }
        QVERIFY(clock.isValid() ? clock.elapsed() >= atLeastMs : true);
        QCOMPARE(got, delivered);
        QCOMPARE(peer.calls, calls);
    }

    void objects_data()
    {
        // "call:INTERFACE.METHOD" with its reply ("!name": an error reply), or a signal from the
        // peer ("stranger:" from another connection at the same path); what the client reports.
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("seen"); // a regular expression over the lines of the log

        // Replies and signals no real wrapper sends: the wrapper's own reach tuvo-client and
        // tuvo-mpris through it in tst_tuvoclientprocess.
        QTest::newRow("status of another shape") << "call:renderer.get_status" << QVariantList{"list", 4u}
                                                 << "^Malformed [^\n]*got \"su\", expected \"suis\"\nsent renderer.get_status::$";
        QTest::newRow("position of another type") << "call:renderer.get_position" << QVariantList{-1} << "^Malformed [^\n]*\nsent renderer.get_position::$";
        const QList<std::pair<const char *, const char *>> errors{{"com.oxbel.tuvo.renderer.cancelled", "Cancelled"}, {"org.freedesktop.DBus.Error.Failed", "Refused"},
                                         {"org.freedesktop.DBus.Error.UnknownMethod", "DBusFailure"}, {"org.freedesktop.DBus.Error.NoReply", "Timeout"}};
        for (const auto &[name, type] : errors)
            QTest::newRow(name) << "call:renderer.get_position" << QVariantList{QStringLiteral("!") + name}
                                << QStringLiteral("^%1 %2 [^\n]*%3[^\n]*\nsent renderer.get_position::$").arg(type, name, RendererBus);
        QTest::newRow("property refused") << "call:extension.set_extension_property" << QVariantList{false}
                                          << "^Refused [^\n]*\nsent extension.set_extension_property:sv:volume,500$";
        QTest::newRow("never the next owner") << "call:renderer.play" << QVariantList() << "^NotFound org.freedesktop.DBus.Error.ServiceUnknown [^\n]*$";
        QDBusArgument values;
        values.beginArray(QMetaType::fromType<QDBusVariant>());
        values << QDBusVariant("Ada") << QDBusVariant(5);
        values.endArray();
        QTest::newRow("state of the wrong type") << "renderer.state_changed" << QVariantList{"1"} << "^signal state_changed$";
        QTest::newRow("metadata") << "renderer.metadata_changed" << QVariantList{"artist", QVariant::fromValue(values)}
                                  << "^metadata artist Ada,5\nsignal metadata_changed$";
        QTest::newRow("buffering") << "renderer.buffering_info" << QVariantList{0.5} << "^buffering 0.5\nsignal buffering_info$";
        QTest::newRow("property") << "extension.property_changed" << QVariantList{"volume", QVariant::fromValue(QDBusVariant(40))}
                                  << "^property volume int:40\nsignal property_changed$";
        QTest::newRow("a stranger's state") << "stranger:renderer.state_changed" << QVariantList{4} << "^$";
        QTest::newRow("container") << "source.container_changed" << QVariantList{"albums"} << "^container albums\nsignal container_changed$";
        QTest::newRow("source metadata") << "source.metadata_changed" << QVariantList{"track_1"} << "^changed track_1\nsignal metadata_changed$";
    }

    void objects()
    {
        QFETCH(QString, member);
        QFETCH(QVariantList, args);
        QFETCH(QString, seen);
        const QString what = member.section(QLatin1Char(':'), -1), name = what.section(QLatin1Char('.'), 1);
        const QString interface = "com.oxbel.tuvo." + what.section(QLatin1Char('.'), 0, 0);
        const bool source = interface.endsWith("source");
        const QString busName = source ? SourceBus : RendererBus;
        const QString path = source ? TuvoBusNames::sourceObjectPath(Fake) : TuvoBusNames::rendererObjectPath(Fake);
        auto peer = std::make_unique<Peer>(busName, path);
        Peer other(QString(), path);
        QStringList log;
        std::unique_ptr<TuvoClientObject> object;
        if (source) {
            auto *s = new TuvoClientSource(infoOf(*peer, busName));
            connect(s, &TuvoClientSource::containerChanged, this, [&](const QString &id) { log << "container " + id; });
            connect(s, &TuvoClientSource::metadataChanged, this, [&](const QString &id) { log << "changed " + id; });
            object.reset(s);
        } else {
            auto *r = new TuvoClientRenderer(infoOf(*peer, busName));
            connect(r, &TuvoClientRenderer::stateChanged, this, [&](int state) { log << "state " + QString::number(state); });
            connect(r, &TuvoClientRenderer::metadataChanged, this,
                    [&](const QString &k, const QVariantList &v) { log << "metadata " + k + ' ' + Peer::text(v); });
            connect(r, &TuvoClientRenderer::bufferingInfo, this, [&](double status) { log << "buffering " + QString::number(status); });
            connect(r, &TuvoClientRenderer::errorOccurred, this,
                    [&](int code, const QString &m) { log << QStringLiteral("error %1 ").arg(code) + m; });
            object.reset(r);
        }
        connect(object.get(), &TuvoClientObject::propertyChanged, this,
                [&](const QString &n, const QVariant &v) { log << "property " + n + ' ' + v.typeName() + ':' + v.toString(); });
        connect(object.get(), &TuvoClientObject::signalReceived, this, [&](const QString &, const QString &m) { log << "signal " + m; });
        if (member.startsWith("call:")) {
            peer->replies.insert(name, args);
            auto *renderer = static_cast<TuvoClientRenderer *>(object.get());
            if (name == "play") { // the name passes to another process: nothing goes there
                QSignalSpy vanished(renderer, &TuvoClientObject::vanished);
                peer->leave();
                QVERIFY(vanished.wait());
                peer = std::make_unique<Peer>(busName, path);
            }
            bool reported = false;
            const auto report = [&](const TuvoClientError &e) { log << describe(e) + ' ' + e.message(); reported = true; };
            if (name == "play") renderer->play(report);
            if (name == "set_extension_property") renderer->setProperty("volume", 500, report);
            if (name == "get_status") renderer->getStatus([&](const TuvoClientError &e, const TuvoClientRendererStatus &) { report(e); });
            if (name == "get_position") renderer->getPosition([&](const TuvoClientError &e, quint32) { report(e); });
            QVERIFY(QTest::qWaitFor([&] { return reported; }, 5000));
            for (const QString &call : std::as_const(peer->calls))
                log << "sent " + call;
        } else {
            QVERIFY((member.startsWith("stranger:") ? other : *peer).send(interface, name, args));
            // Then one the peer surely sends, to know the row's signal has come if it ever does.
            const QString marker = source ? "container marker" : "error 1 marker";
            QVERIFY(source ? peer->send(interface, "container_changed", {"marker"}) : peer->send("com.oxbel.tuvo.renderer", "error", {1, "marker"}));
            QTRY_VERIFY(log.contains(marker));
            log.removeAll(marker);
            log.removeAt(log.lastIndexOf(source ? "signal container_changed" : "signal error"));
        }
        QVERIFY2(QRegularExpression(seen).match(log.join('\n')).hasMatch(), qPrintable(log.join('\n')));
    }

    void proxyObjectLivesWithItsSources()
    {
        Peer peer(SourceBus, TuvoBusNames::sourceObjectPath(Fake));
        const auto introspect = [&] {
            QDBusMessage call = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), TuvoBusNames::proxySourceObjectPath(Fake),
                                                               "org.freedesktop.DBus.Introspectable", "Introspect");
            return peer.bus.call(call, QDBus::BlockWithGui, 5000);
        };
        auto first = std::make_unique<TuvoClientSource>(infoOf(peer, SourceBus));
        auto second = std::make_unique<TuvoClientSource>(infoOf(peer, SourceBus));
        const QStringList expected = InterfaceContract::fromXml(InterfaceContract::contractXml(Proxy), Proxy);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(InterfaceContract::fromXml(introspect().arguments().value(0).toString(), Proxy), expected);
        first.reset();
        QCOMPARE(introspect().type(), QDBusMessage::ReplyMessage);
        second.reset();
        QCoreApplication::processEvents();
        const QDBusMessage gone = introspect();
        QVERIFY(gone.type() != QDBusMessage::ReplyMessage || !gone.arguments().value(0).toString().contains(Proxy));
    }

    // Listing and watching reach tuvo-client through the real wrapper in tst_tuvoclientprocess;
    // here, an object that does not answer, and a hello from a process that does not own the name.
    void discovery()
    {
        const QString source = TuvoBusNames::sourceServiceName(QStringLiteral("Fake Plugin"), "s1");
        const QString renderer = TuvoBusNames::rendererServiceName(QStringLiteral("Fake Plugin"), "r1");
        Peer wrapper(TuvoBusNames::pluginServiceName(Plugin), "/com/oxbel/tuvo"); // the plugin and its source
        QVERIFY(wrapper.bus.registerService(source));
        Peer frozen(renderer, "/com/oxbel/tuvo/renderer/r1");
        frozen.frozen = true;
        TuvoClientDiscovery discovery;
        discovery.setTimeout(300);
        QSignalSpy ready(&discovery, &TuvoClientDiscovery::ready), changed(&discovery, &TuvoClientDiscovery::objectChanged);
        discovery.start();
        QVERIFY(ready.wait());
        QCOMPARE(discovery.object(source).plugin, Plugin);
        QVERIFY(wrapper.calls.isEmpty() && frozen.calls.isEmpty()); // the snapshot asks the bus daemon only

        wrapper.replies["get_name"] = {"Source One"};
        std::optional<QList<TuvoClientError>> errors;
        discovery.fetchTitles([&](const QList<TuvoClientError> &e) { errors = e; });
        QVERIFY(QTest::qWaitFor([&] { return errors.has_value(); }, 5000));
        QVERIFY(wrapper.calls.contains("extension.get_name::"));
        QCOMPARE(discovery.object(source).title, QStringLiteral("Source One"));
        QCOMPARE(errors->size(), 1);
        QCOMPARE(describe(errors->at(0)), QStringLiteral("Timeout org.freedesktop.DBus.Error.NoReply"));
        QVERIFY(errors->at(0).message().startsWith(renderer));

        QSignalSpy hellos(&discovery, &TuvoClientDiscovery::helloReceived);
        const int changes = changed.count();
        QDBusMessage hello = QDBusMessage::createSignal("/com/oxbel/tuvo/registry", "com.oxbel.tuvo.registry", "new_source");
        hello.setArguments({"Fake Plugin", "s1", "Impostor"});
        QVERIFY(frozen.bus.send(hello));
        hello.setArguments({"Fake Plugin", "s1", "Source Two"});
        QVERIFY(wrapper.bus.send(hello));
        QTRY_COMPARE(hellos.count(), 2);
        QCOMPARE(changed.count(), changes + 1);
        QCOMPARE(discovery.object(source).title, QStringLiteral("Source Two"));
    }

    // Activating a running wrapper, again after it restarts, and timing out reach tuvo-client
    // through the real wrapper (tst_tuvoclientprocess).
    void activation()
    {
        TuvoClientPluginActivation none(Plugin);
        QSignalSpy failed(&none, &TuvoClientPluginActivation::failed);
        none.activate();
        QVERIFY(failed.wait());
        QCOMPARE(describe(failed.at(0).at(0).value<TuvoClientError>()), QStringLiteral("NotFound org.freedesktop.DBus.Error.ServiceUnknown"));

        Peer wrapper(TuvoBusNames::pluginServiceName(Plugin), TuvoBusNames::pluginObjectPath(Plugin));
        auto activation = std::make_unique<TuvoClientPluginActivation>(Plugin);
        QSignalSpy activated(activation.get(), &TuvoClientPluginActivation::activated);
        activation->activate();
        QVERIFY(activated.wait());
        QCOMPARE(wrapper.calls, QStringList{"plugin.activate::"});
        activation.reset(); // a client that lives on gives the plugin back
        QVERIFY(wrapper.waitFor("deactivate"));
    }
};

QTEST_MAIN(tst_TuvoClientPeers)
#include "tst_tuvoclientpeers.moc"
