#include "BusClient.h"
#include "BusMonitor.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "TestScreenSaver.h"
#include "WrapperProcess.h"

#include <TuvoBrowseResultDBusStruct.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <csignal>
#include <memory>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {
const QString Objects = u"source:stress_source:P:s;renderer:stress_renderer:P:r"_s;
const QString SourceService = u"com.oxbel.tuvo.source.P.stress_source"_s;
const QString SourcePath = u"/com/oxbel/tuvo/source/stress_source"_s;
const QString RendererService = u"com.oxbel.tuvo.renderer.P.stress_renderer"_s;
const QString RendererPath = u"/com/oxbel/tuvo/renderer/stress_renderer"_s;
const QString ControlService = u"com.oxbel.tuvo.testplugin"_s;
const QString ProxyPath = u"/com/oxbel/tuvo/proxy_source/stress_source"_s;

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

// What the test plugin's control of the source or the renderer answers to a call.
QVariant control(const char *object, const QString &method, const QVariantList &arguments)
{
    const bool source = qstrcmp(object, "source") == 0;
    QDBusMessage call = QDBusMessage::createMethodCall(
        ControlService, u"/com/oxbel/tuvo/test/%1/stress_%1"_s.arg(QLatin1String(object)),
        source ? u"com.oxbel.tuvo.test.Source"_s : u"com.oxbel.tuvo.test.Renderer"_s, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 60000).arguments().value(0);
}

// A round trip to \a service: what it sent to \a client before has arrived.
bool ping(BusClient &client, const QString &service, const QString &path)
{
    return client.call(service, path, u"org.freedesktop.DBus.Peer"_s, u"Ping"_s).type()
           == QDBusMessage::ReplyMessage;
}
} // namespace

// What one client's proxy-source object received, per browse id.
class ProxySource : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.proxy_source")
public:
    QHash<uint, QList<TuvoBrowseResultDBusStruct>> records;
    bool ended(uint id) const
    {
        const auto batch = records.value(id);
        return !batch.isEmpty() && (batch.last().remainingCount <= 0 || batch.last().errorCode != 0);
    }
    // The browse \a id brought every one of \a count generated results, in order.
    bool complete(uint id, int count) const
    {
        const auto batch = records.value(id);
        bool ok = batch.size() == count;
        for (int i = 0; ok && i < count; ++i) {
            const TuvoBrowseResultDBusStruct &r = batch.at(i);
            ok = r.index == uint(i) && r.remainingCount == count - 1 - i && r.errorCode == 0
                 && r.objectId == u"item_%1"_s.arg(i) && !r.metadata.isEmpty();
        }
        return ok;
    }
public Q_SLOTS:
    void browse_result(uint id, const QList<TuvoBrowseResultDBusStruct> &batch) { records[id] += batch; }
};

// A client on a connection of its own, with a proxy-source object unless told otherwise.
struct Client
{
    BusClient bus;
    ProxySource proxy;
    explicit Client(bool withProxy = true)
    {
        if (withProxy)
            bus.connection().registerObject(ProxyPath, &proxy, QDBusConnection::ExportAllSlots);
    }
    QDBusPendingCall browse()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(SourceService, SourcePath,
                                                           u"com.oxbel.tuvo.source"_s, u"browse"_s);
        call << QString() << QString() << QStringList() << 0u << 0u;
        return bus.connection().asyncCall(call, 60000);
    }
};

// Many clients, vanishing clients, hostile clients and floods of calls against the real
// wrapper process with the test plugin.
class tst_Stress : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;

    // A wrapper of the test plugin, activated by this process's own connection.
    bool startWrapper(bool activate = true)
    {
        wrapper = std::make_unique<WrapperProcess>();
        wrapper->setHome(home.path());
        wrapper->setEnv(u"TUVO_TEST_PLUGIN_OBJECTS"_s, Objects);
        return wrapper->startWithPlugin(TestPaths::testPlugin())
               && (!activate || (wrapper->activate(u"new_renderer"_s) && TestBus::waitForName(SourceService)
                                 && TestBus::waitForName(ControlService)));
    }
    static QList<uint> browseIds(std::vector<std::unique_ptr<Client>> &clients)
    {
        QList<QDBusPendingCall> calls;
        for (auto &client : clients)
            calls.append(client->browse());
        QList<uint> ids;
        for (QDBusPendingCall &call : calls) {
            call.waitForFinished();
            ids.append(call.reply().arguments().value(0).toUInt());
        }
        return ids;
    }

private Q_SLOTS:
    void initTestCase() { TuvoBrowseResultDBusStruct::registerDBusTypes(); }
    void cleanup()
    {
        if (wrapper) {
            QVERIFY2(wrapper->isRunning(), qPrintable(wrapper->errorOutput()));
            wrapper->stop();
            wrapper.reset();
        }
    }

    // 200 clients activate and vanish in random order, every third by deactivating first:
    // the plugin is loaded once and unloaded once, and the process, whose device is
    // idle, ends only when the last client has gone.
    void activationChurn()
    {
        TestScreenSaver screenSaver(true);
        QVERIFY(screenSaver.appear());
        std::unique_ptr<BusSignalRecorder> owners(BusSignalRecorder::nameOwnerChanges());
        BusSignalRecorder sources({}, u"/com/oxbel/tuvo/registry"_s, u"com.oxbel.tuvo.registry"_s, u"new_source"_s);
        QVERIFY(startWrapper(false));
        const QString plugin = wrapper->helloName();
        // How often a name was taken, or given up: the test plugin's control name is
        // taken when the plugin is loaded and given up when it is unloaded.
        const auto changes = [&owners](const QString &name, bool taken) {
            int n = 0;
            for (const QVariantList &args : owners->arguments())
                n += args.value(0) == name && args.value(taken ? 1 : 2).toString().isEmpty();
            return n;
        };

        const int count = 200;
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("event order seed %u", seed);
        std::mt19937 random(seed);
        std::vector<int> events; // each client twice: its first event activates it, its second makes it vanish
        for (int i = 0; i < count; ++i)
            events.insert(events.end(), {i, i});
        std::shuffle(events.begin(), events.end(), random);
        std::vector<std::unique_ptr<BusClient>> clients(count);
        std::vector<int> deferred; // vanishings held back while their client is the only one
        int active = 0;
        const auto vanish = [&](int i) {
            if (i % 3 == 0)
                QVERIFY(clients[size_t(i)]->deactivate(plugin));
            clients[size_t(i)]->disconnect();
            --active;
        };
        for (int i : events) {
            if (!clients[size_t(i)]) {
                clients[size_t(i)] = std::make_unique<BusClient>();
                QVERIFY(clients[size_t(i)]->activate(plugin));
                ++active;
            } else {
                deferred.push_back(i);
            }
            while (!deferred.empty() && active > 1) {
                vanish(deferred.front());
                deferred.erase(deferred.begin());
            }
            QVERIFY(wrapper->isRunning());
        }
        QCOMPARE(deferred.size(), size_t(1));
        QCOMPARE(active, 1);
        // Everybody but the last has gone, and the wrapper has heard of it all.
        for (int i = 0; i < count; ++i)
            QTRY_VERIFY(i == deferred.front() || changes(clients[size_t(i)]->uniqueName(), false) == 1);
        BusClient pinger;
        QVERIFY(ping(pinger, u"com.oxbel.tuvo.plugin."_s + plugin, u"/com/oxbel/tuvo/plugin/"_s + plugin));
        QVERIFY(wrapper->isRunning());
        QCOMPARE(changes(ControlService, false), 0);
        vanish(deferred.front());
        QVERIFY(wrapper->waitForExit());
        QCOMPARE(wrapper->exitCode(), 0);
        QTRY_COMPARE(changes(ControlService, false), 1);
        QCOMPARE(changes(ControlService, true), 1);
        QCOMPARE(sources.count(), 1);
        wrapper.reset();
    }

    // Clients that leave the bus right after their activate, before the wrapper can
    // watch them, are dropped all the same: the idle process ends.
    void activatorsLeavingAtOnce()
    {
        TestScreenSaver screenSaver(true);
        QVERIFY(screenSaver.appear());
        QVERIFY(startWrapper(false));
        const QString plugin = wrapper->helloName();
        for (int i = 0; i < 50; ++i) {
            BusClient client;
            client.connection().asyncCall(QDBusMessage::createMethodCall(
                u"com.oxbel.tuvo.plugin."_s + plugin, u"/com/oxbel/tuvo/plugin/"_s + plugin,
                u"com.oxbel.tuvo.plugin"_s, u"activate"_s));
            // Once the daemon answers this, it has passed the activate on.
            QVERIFY(ping(client, u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s));
        }
        QVERIFY2(wrapper->waitForExit(), qPrintable(TestBus::names().join(u' ')));
        QCOMPARE(wrapper->exitCode(), 0);
        wrapper.reset();
    }

    // 50 clients browse the one source at once and half of them leave after 100 of their
    // 200 results, while one more never made the proxy-source object its results go to:
    // the others receive every result, and after rounds of it the wrapper's memory is
    // back at its level after the first rounds.
    void crowdBrowse()
    {
        // AddressSanitizer holds freed memory back in a quarantine: none, for the level
        // to return as it does without it.
        const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        qputenv("ASAN_OPTIONS", sanitizer + ":quarantine_size_mb=0");
        QVERIFY(startWrapper());
        qputenv("ASAN_OPTIONS", sanitizer);
        const auto round = [] {
            std::vector<std::unique_ptr<Client>> clients;
            for (int i = 0; i <= 50; ++i)
                clients.push_back(std::make_unique<Client>(i < 50)); // the last without a proxy
            const QList<uint> ids = browseIds(clients);
            QVERIFY(!ids.contains(0u));
            for (int part = 0; part < 4; ++part) {
                for (size_t i = 0; part == 2 && i < 50; i += 2)
                    clients[i]->bus.disconnect();
                for (uint id : ids)
                    QCOMPARE(control("source", u"deliver_results"_s, {id, 50, 199 - 50 * part}).toInt(),
                             50);
            }
            for (size_t i = 1; i < 50; i += 2) {
                QTRY_VERIFY(clients[i]->proxy.ended(ids[int(i)]));
                QVERIFY(clients[i]->proxy.complete(ids[int(i)], 200));
            }
        };
        // Two rounds bring the allocator's pools to what such a round needs; a leak grows
        // with every further one.
        round();
        round();
        QVERIFY(!QTest::currentTestFailed());
        BusClient pinger;
        QVERIFY(ping(pinger, SourceService, SourcePath));
        const qint64 idle = anonymousKiB(wrapper->pid());
        for (int i = 0; i < 3 && !QTest::currentTestFailed(); ++i)
            round();
        // Transactions end with deleteLater: give the wrapper a moment to get there.
        QTRY_VERIFY_WITH_TIMEOUT(anonymousKiB(wrapper->pid()) < idle + 2048, 10000);
        qInfo("wrapper memory after two rounds %lld KiB, after three more %lld KiB", idle,
              anonymousKiB(wrapper->pid()));
    }

    // A source that misbehaves on one client's browse changes nothing for another's.
    void pluginFaults_data()
    {
        // The fault is the row's name; what the client of the browse at fault receives
        // is given as object ids and "E<code>" for an error.
        QTest::addColumn<QStringList>("received");
        const QStringList first{u"item_0"_s};
        QTest::newRow("result after the last") << first;
        QTest::newRow("error after the last") << first;
        QTest::newRow("result after a cancel") << QStringList{u"stray"_s};
        QTest::newRow("result under the other's id") << QStringList();
        QTest::newRow("error under the other's id") << QStringList();
        QTest::newRow("error twice") << QStringList{u"E7"_s};
    }

    void pluginFaults()
    {
        const QString fault = QString::fromLatin1(QTest::currentDataTag());
        QFETCH(QStringList, received);
        QVERIFY(startWrapper());
        std::vector<std::unique_ptr<Client>> clients;
        clients.push_back(std::make_unique<Client>());
        clients.push_back(std::make_unique<Client>());
        const QList<uint> ids = browseIds(clients);
        const uint a = ids[0], b = ids[1];
        QCOMPARE(control("source", u"deliver_results"_s, {b, 2, 4}).toInt(), 2);
        if (fault.contains(u"after the last"_s))
            control("source", u"deliver_results"_s, {a, 1, 0});
        if (fault.contains(u"cancel"_s))
            clients[0]->bus.call(SourceService, SourcePath, u"com.oxbel.tuvo.source"_s, u"cancel_browse"_s, {a});
        const uint sentId = fault.contains(u"other's id"_s) ? b : a;
        for (int i = fault == u"error twice"_s ? 2 : 1; i > 0; --i) {
            if (fault.startsWith(u"result"_s))
                control("source", u"deliver_result"_s, {a, sentId, u"stray"_s, QVariantMap(), 2u, 0});
            else
                control("source", u"deliver_error"_s, {a, sentId, 7u, u"stray"_s});
        }
        QCOMPARE(control("source", u"deliver_results"_s, {b, 3, 2}).toInt(), 3);
        QTRY_VERIFY(clients[1]->proxy.ended(b));
        QVERIFY(clients[1]->proxy.complete(b, 5));
        // Anything sent to the first client has arrived before this reply.
        QVERIFY(ping(clients[0]->bus, SourceService, SourcePath));
        QStringList seen;
        for (const TuvoBrowseResultDBusStruct &r : clients[0]->proxy.records.value(a))
            seen << (r.errorCode ? u"E%1"_s.arg(r.errorCode) : r.objectId);
        QCOMPARE(seen, received);
    }

    // A source withdrawn in the middle of a browse still delivers what it gave, and its
    // client hears that the browse has ended.
    void sourceWithdrawnMidBrowse()
    {
        QVERIFY(startWrapper());
        std::vector<std::unique_ptr<Client>> clients;
        clients.push_back(std::make_unique<Client>());
        const uint id = browseIds(clients).value(0);
        QCOMPARE(control("source", u"deliver_results"_s, {id, 3, 9}).toInt(), 3);
        BusClient plugin;
        QVERIFY(plugin.call(ControlService, u"/com/oxbel/tuvo/test"_s, u"com.oxbel.tuvo.test.Plugin"_s,
                            u"remove_object"_s, {u"stress_source"_s}).arguments().value(0).toBool());
        QVERIFY(ping(clients[0]->bus, ControlService, u"/com/oxbel/tuvo/test"_s));
        // The calls reach the proxy object through the event loop, after the ping's reply.
        QTRY_COMPARE(clients[0]->proxy.records.value(id).size(), 4);
        QCOMPARE(clients[0]->proxy.records.value(id).last().errorCode, 100u); // the resource is gone
    }

    // A plugin that crashes takes its own wrapper down and nothing else: its callers get
    // an error at once, and another plugin's wrapper serves on.
    void crashStaysInside()
    {
        WrapperProcess sample;
        sample.setHome(home.path());
        QVERIFY(sample.startWithPlugin(TestPaths::samplePlugin()) && sample.activate(u"new_source"_s));
        QVERIFY(startWrapper());
        BusClient client;
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < 100; ++i)
            calls.append(client.connection().asyncCall(QDBusMessage::createMethodCall(
                RendererService, RendererPath, u"com.oxbel.tuvo.renderer"_s, u"get_status"_s), 120000));
        QVERIFY(ping(client, RendererService, RendererPath));
        wrapper->sendSignal(SIGSEGV);
        QVERIFY(wrapper->waitForExit());
        QCOMPARE(wrapper->exitStatus(), QProcess::CrashExit);
        wrapper.reset();
        for (QDBusPendingCall &call : calls) {
            call.waitForFinished();
            QCOMPARE(call.reply().errorName(), u"org.freedesktop.DBus.Error.NoReply"_s);
        }
        QVERIFY(TestBus::waitForName(SourceService, false));
        const QDBusMessage browse = client.call(u"com.oxbel.tuvo.source.Sample-Plugin.sample_source"_s,
                                                u"/com/oxbel/tuvo/source/sample_source"_s, u"com.oxbel.tuvo.source"_s,
                                                u"browse"_s, {QString(), QString(), QStringList(), 0u, 0u});
        QVERIFY(browse.type() == QDBusMessage::ReplyMessage && browse.arguments().value(0).toUInt() != 0);
        QVERIFY(sample.isRunning());
    }

    // 10 000 get_status calls wait for one answer of the renderer: each gets exactly one
    // reply, and it is that answer; or an error when the renderer goes away instead.
    void statusFlood_data()
    {
        QTest::addColumn<bool>("withdrawn");
        QTest::addColumn<int>("count");
        QTest::newRow("renderer answers") << false << 10000;
        QTest::newRow("renderer withdrawn") << true << 1000;
    }

    void statusFlood()
    {
        QFETCH(bool, withdrawn);
        QFETCH(int, count);
        QVERIFY(startWrapper());
        BusClient client;
        BusMonitor monitor;
        const QString rule =
            u"sender='%1',destination='%2'"_s.arg(TestBus::owner(RendererService), client.uniqueName());
        QVERIFY(monitor.start({u"type='method_return',"_s + rule, u"type='error',"_s + rule}));
        QList<QDBusPendingCall> calls;
        for (int i = 0; i < count; ++i)
            calls.append(client.connection().asyncCall(QDBusMessage::createMethodCall(
                RendererService, RendererPath, u"com.oxbel.tuvo.renderer"_s, u"get_status"_s), 120000));
        // A call after them on the same connection is answered once they all have arrived.
        QVERIFY(ping(client, SourceService, SourcePath));
        QCOMPARE(control("renderer", u"outstanding"_s, {u"status"_s}).toInt(), 1);
        const QVariantList status{u"list"_s, 7u, 1, u"item"_s};
        if (withdrawn) {
            BusClient plugin;
            QVERIFY(plugin.call(ControlService, u"/com/oxbel/tuvo/test"_s, u"com.oxbel.tuvo.test.Plugin"_s,
                                u"remove_object"_s, {u"stress_renderer"_s}).arguments().value(0).toBool());
        } else {
            QVERIFY(control("renderer", u"answer_status"_s, status).toBool());
        }
        // Everything sent before this reply has arrived: one reply per call, each to a
        // call of its own, and nothing more.
        QVERIFY(ping(client, SourceService, SourcePath));
        const auto replies = [&monitor] {
            QList<qint64> serials;
            for (const BusMonitor::Record &record : monitor.records())
                if (record.type == u"method return"_s || record.type == u"error"_s)
                    serials.append(record.replySerial);
            return serials;
        };
        // Only the monitor's reading is waited for: the replies were all sent before the ping's.
        QTRY_COMPARE_WITH_TIMEOUT(replies().size(), count + 2, withdrawn ? 1000 : 20000);
        const QList<qint64> serials = replies();
        QCOMPARE(QSet<qint64>(serials.begin(), serials.end()).size(), count + 2);
        int answered = 0;
        for (QDBusPendingCall &call : calls) {
            call.waitForFinished();
            answered += withdrawn ? call.reply().type() == QDBusMessage::ErrorMessage
                                  : call.reply().type() == QDBusMessage::ReplyMessage
                                        && call.reply().arguments() == status;
        }
        QCOMPARE(answered, count);
    }

    // Calls no well-behaved client makes: each gets one reply, an error or its normal
    // answer, and the wrapper serves on.
    void hostileCalls_data()
    {
        QTest::addColumn<QString>("object"); // "source", "renderer", "plugin"
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        // A normal answer rather than an error; Qt D-Bus takes arguments beyond a method's own
        // as a call of that method.
        QTest::addColumn<bool>("answered");
        const QString big(1024 * 1024, u'x');
        const uint most = UINT_MAX;
        const QString source = u"com.oxbel.tuvo.source"_s;
        const QString renderer = u"com.oxbel.tuvo.renderer"_s;
        const QString extension = u"com.oxbel.tuvo.extension"_s;
        const auto row = [](const char *name, const char *object, const QString &interface,
                            const char *method, const QVariantList &arguments, bool answered) {
            QTest::newRow(name) << QString::fromLatin1(object) << interface << QString::fromLatin1(method)
                                << arguments << answered;
        };
        row("browse without arguments", "source", source, "browse", {}, false);
        row("browse with wrong types", "source", source, "browse", {1, 2.5}, false);
        row("browse of 2^32-1 items from 2^32-1", "source", source, "browse",
            {QString(), QString(), QStringList(), most, most}, true);
        row("browse with 1 MiB strings", "source", source, "browse",
            {big, big, QStringList{big, QString()}, 0u, 0u}, true);
        row("query of 1 MiB", "source", source, "query", {big}, true);
        row("empty query", "source", source, "query", {QString()}, true);
        row("cancel_browse 2^32-1", "source", source, "cancel_browse", {most}, true);
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
        row("read a 1 MiB property", "renderer", extension, "get_extension_property", {big}, false);
        const QVariant bigVariant = QVariant::fromValue(QDBusVariant(big));
        row("write a 1 MiB property", "source", extension, "set_extension_property", {big, bigVariant}, true);
        row("write without a variant", "source", extension, "set_extension_property", {big, big}, false);
        row("activate with an argument", "plugin", u"com.oxbel.tuvo.plugin"_s, "activate", {most}, true);
    }

    void hostileCalls()
    {
        QFETCH(QString, object);
        QFETCH(QString, interface);
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        QFETCH(bool, answered);
        QVERIFY(startWrapper());
        for (const QString &query : {u"status"_s, u"position"_s, u"media_info"_s})
            QVERIFY(control("renderer", u"set_query_mode"_s, {query, u"now"_s}).toBool());
        BusClient client;
        BusMonitor monitor;
        const QString self = client.uniqueName();
        QVERIFY(monitor.start({u"sender='%1'"_s.arg(self), u"destination='%1'"_s.arg(self)}));
        const QString plugin = wrapper->helloName();
        const QString service = object == u"source"_s ? SourceService
                                : object == u"renderer"_s ? RendererService : u"com.oxbel.tuvo.plugin."_s + plugin;
        const QString path = object == u"source"_s ? SourcePath
                             : object == u"renderer"_s ? RendererPath : u"/com/oxbel/tuvo/plugin/"_s + plugin;
        const QDBusMessage reply = client.call(service, path, interface, method, arguments, 60000);
        QVERIFY2(reply.type() == (answered ? QDBusMessage::ReplyMessage : QDBusMessage::ErrorMessage),
                 qPrintable(reply.errorName() + u' ' + reply.errorMessage().left(200)));
        QVERIFY(reply.errorName() != u"org.freedesktop.DBus.Error.NoReply"_s);
        // The wrapper lives on, and the call has its one reply.
        QVERIFY(ping(client, service, path));
        QVERIFY(wrapper->isRunning());
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

QTEST_GUILESS_MAIN(tst_Stress)
#include "tst_stress.moc"
