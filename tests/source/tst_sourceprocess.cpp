#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "ProxySourceRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString SourceInterface = u"com.oxbel.tuvo.source"_s;
const QString Service = u"com.oxbel.tuvo.source.Test-Plugin.test_source"_s;
const QString Path = u"/com/oxbel/tuvo/source/test_source"_s;

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
} // namespace

// The source interface of the real wrapper process, hosting the test plugin, as clients
// on the private bus see it. The test plugin's source is steered through its control
// object, whose deliver calls answer inside the call: what the wrapper sends in response
// is on its way before the control call's reply.
class tst_SourceProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    WrapperProcess wrapper;
    BusClient client;
    ProxySourceRecorder *proxy = nullptr;

    // A reply may be in before the call waits for it; what the wrapper sent before the
    // reply is queued for this thread by then and is handled here.
    static QVariant settled(const QDBusMessage &reply)
    {
        QCoreApplication::processEvents();
        return reply.arguments().value(0);
    }
    QVariant control(const QString &method, const QVariantList &arguments = {})
    {
        return settled(client.call(u"com.oxbel.tuvo.testplugin"_s, u"/com/oxbel/tuvo/test/source/test_source"_s,
                                   u"com.oxbel.tuvo.test.Source"_s, method, arguments));
    }
    uint call(const QString &method, const QVariantList &arguments, BusClient *caller = nullptr)
    {
        return settled((caller ? caller : &client)->call(Service, Path, SourceInterface, method, arguments)).toUInt();
    }
    uint browse(BusClient *caller = nullptr) { return call(u"browse"_s, {QString(), QString(), QStringList(), 0u, 0u}, caller); }
    uint query() { return call(u"query"_s, {u"q"_s}); }

private Q_SLOTS:
    void initTestCase()
    {
        wrapper.setHome(home.path());
        wrapper.setEnv(u"TUVO_TEST_PLUGIN_OBJECTS"_s, u"source:test_source:Test Plugin:Test"_s);
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        QVERIFY(client.activate(u"libtuvo_test_plugin"_s));
        QVERIFY(TestBus::waitForName(Service));
        proxy = new ProxySourceRecorder(client.connection(), u"test_source"_s, this);
        QVERIFY(proxy->isRegistered());
    }

    void cleanup()
    {
        QCOMPARE(proxy->strayCalls(), 0);
        QVERIFY(wrapper.isRunning());
    }

    // The members, the result calls and the change signals as the contracts have them.
    void contract()
    {
        QStringList expected = InterfaceContract::fromXml(InterfaceContract::contractXml(SourceInterface), SourceInterface);
        QStringList live = InterfaceContract::fromXml(TestBus::introspect(Service, Path), SourceInterface);
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
        control(u"deliver_results"_s, {browseId, 1, 0});
        control(u"deliver_rows"_s, {queryId, 1, 0});
        QCOMPARE(proxy->browseCalls(browseId).size(), 1);
        QCOMPARE(proxy->browseCalls(browseId).first().sender, TestBus::owner(Service));
        QCOMPARE(proxy->queryCalls(queryId).size(), 1);
        QVERIFY(!proxy->browseCalls(browseId).first().replyRequired && !proxy->queryCalls(queryId).first().replyRequired);

        BusSignalRecorder containers(Service, Path, SourceInterface, u"container_changed"_s, client.connection());
        BusSignalRecorder metadata(Service, Path, SourceInterface, u"metadata_changed"_s, client.connection());
        control(u"emit_container_changed"_s, {u"c_1"_s});
        control(u"emit_metadata_changed"_s, {u"m_1"_s});
        const QDBusMessage empty = client.call(Service, Path, SourceInterface, u"set_metadata"_s);
        QVERIFY(empty.type() == QDBusMessage::ReplyMessage && empty.arguments().isEmpty());
        QVERIFY(containers.waitForCount(1) && metadata.waitForCount(1));
        QCOMPARE(containers.firstArguments() + metadata.firstArguments(), (QStringList{u"c_1"_s, u"m_1"_s}));
    }

    // Arguments pass unchanged; a stray first callback cannot capture the browse; the
    // records carry what the source reported; callbacks may come inside the browse call.
    void browseResults()
    {
        const QVariantList arguments{u"obj"_s, u"pred"_s, QStringList{u"a"_s, u"b c"_s}, 3u, 7u};
        const uint id = call(u"browse"_s, arguments);
        QCOMPARE(qdbus_cast<QVariantList>(control(u"last_browse"_s)), arguments);
        QVERIFY(control(u"deliver_result"_s, {id, id + 1000, u"stray"_s, QVariantMap(), 9u, 0}).toBool());
        QVERIFY(wrapper.waitForErrorOutput(u"Source signals with bad browseId: return"_s));
        const QVariantMap meta{{u"title"_s, u"abc"_s}, {u"list"_s, QStringList()}};
        control(u"deliver_result"_s, {id, id, u"one"_s, meta, 100u, 11});
        QVERIFY(wrapper.waitForErrorOutput(u"TuvoSourceAdaptor::createBrowseResult: Unknown metadata type"_s));
        QCOMPARE(control(u"deliver_results"_s, {id, 11, 10}).toInt(), 11);
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
        control(u"set_inline_results"_s, {3, 2});
        QCOMPARE(shapes(proxy->browseCalls(browse())), QStringList{u"3 records"_s});
    }

    // Row values unchanged; each call carries the remaining count of its last row.
    void queryRows()
    {
        const uint id = call(u"query"_s, {u"artist = \"x\""_s});
        QCOMPARE(control(u"last_query"_s).toString(), u"artist = \"x\""_s);
        const QStringList row{QString(), u"\u4e2d\u6587 \U0001F3B5"_s, u"a,b;c"_s};
        QVERIFY(control(u"deliver_row"_s, {id, id, row, 77u, 12}).toBool());
        QCOMPARE(control(u"deliver_rows"_s, {id, 12, 11}).toInt(), 12);
        QCOMPARE(shapes(proxy->queryCalls(id)), (QStringList{u"10 rows, 3 left, 0 "_s, u"3 rows, 0 left, 0 "_s}));
        const auto rows = proxy->queryRows(id);
        QVERIFY(rows.first().index == 77u && rows.first().resultRow == row);
        QVERIFY(rows.last().index == 11u && rows.last().resultRow == (QStringList{u"row_11"_s, u"Row 11"_s}));
        control(u"set_inline_rows"_s, {2, 1});
        QCOMPARE(shapes(proxy->queryCalls(query())), QStringList{u"2 rows, 0 left, 0 "_s});
    }

    void error_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<int>("pending");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("browse, after 3 results") << true << 3 << QStringList{u"3 records"_s, u"1 records"_s};
        QTest::newRow("browse, before any result") << true << 0 << QStringList{u"1 records"_s};
        QTest::newRow("query, after 3 rows") << false << 3 << QStringList{u"3 rows, 0 left, 0 "_s, u"0 rows, 0 left, -7 disk éjected"_s};
        QTest::newRow("query, before any row") << false << 0 << QStringList{u"0 rows, 0 left, -7 disk éjected"_s};
    }

    // The error follows the pending results; a browse's is a record, a query's two arguments.
    void error()
    {
        QFETCH(bool, isBrowse);
        QFETCH(int, pending);
        QFETCH(QStringList, calls);
        const uint id = isBrowse ? browse() : query();
        control(isBrowse ? u"deliver_results"_s : u"deliver_rows"_s, {id, pending, 8});
        if (isBrowse) {
            QVERIFY(control(u"deliver_error"_s, {id, id, 4000000001u, u"disk éjected"_s}).toBool());
            QCOMPARE(shapes(proxy->browseCalls(id)), calls);
            TuvoBrowseResultDBusStruct expected;
            expected.errorCode = 4000000001u;
            expected.errorMessage = u"disk éjected"_s;
            QCOMPARE(proxy->browseRecords(id).last(), expected);
        } else {
            QVERIFY(control(u"deliver_query_error"_s, {id, id, -7, u"disk éjected"_s}).toBool());
            QCOMPARE(shapes(proxy->queryCalls(id)), calls);
        }
    }

    // Cancelling passes any id on and keeps the operation.
    void cancel()
    {
        const uint browseId = browse(), queryId = query();
        call(u"cancel_browse"_s, {browseId});
        call(u"cancel_browse"_s, {4242u});
        call(u"cancel_query"_s, {queryId});
        QCOMPARE(qdbus_cast<QList<uint>>(control(u"cancelled_browses"_s)), (QList<uint>{browseId, 4242u}));
        QCOMPARE(qdbus_cast<QList<uint>>(control(u"cancelled_queries"_s)), QList<uint>{queryId});
        control(u"deliver_results"_s, {browseId, 1, 0});
        control(u"deliver_rows"_s, {queryId, 1, 0});
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
        control(u"deliver_results"_s, {second, 2, 3});
        control(u"deliver_results"_s, {first, 12, 11});
        control(u"deliver_results"_s, {theirs, 2, 1});
        control(u"deliver_results"_s, {second, 2, 1});
        QVERIFY(otherProxy.waitForBrowseEnd(theirs));
        QCOMPARE(otherProxy.browseRecords(theirs).size(), 2);
        QVERIFY(proxy->browseCalls(theirs).isEmpty() && otherProxy.browseCalls(first).isEmpty());
        QCOMPARE(proxy->browseRecords(first).size(), 12);
        const auto records = proxy->browseRecords(second);
        QCOMPARE(records.size(), 4);
        for (int i = 0; i < 4; ++i)
            QVERIFY(records.at(i).index == uint(i) && records.at(i).remainingCount == 3 - i);
    }
};

QTEST_GUILESS_MAIN(tst_SourceProcess)
#include "tst_sourceprocess.moc"
