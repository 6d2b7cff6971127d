#include "BusClient.h"
#include "InterfaceContract.h"
#include "ProxySourceRecorder.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoMetadataEncoder.h>

#include <QDBusMessage>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString SourceInterface = QStringLiteral("com.oxbel.tuvo.source");
const QString ControlInterface = QStringLiteral("com.oxbel.tuvo.test.Source");
const QString Objects = QStringLiteral("source:test_source:Test Plugin:Test Source;"
                                       "source:witness:Test Plugin:Witness");

QString sourceService(const QString &uuid, const QString &pluginPart = QStringLiteral("Test-Plugin"))
{
    return QStringLiteral("com.oxbel.tuvo.source.%1.%2").arg(pluginPart, uuid);
}
QString sourcePath(const QString &uuid)
{
    return QStringLiteral("/com/oxbel/tuvo/source/") + uuid;
}
QList<int> batchSizes(const QList<ProxySourceRecorder::BrowseCall> &calls)
{
    QList<int> sizes;
    for (const auto &call : calls)
        sizes.append(int(call.records.size()));
    return sizes;
}
} // namespace

// Browsing and querying the test plugin's sources through the real wrapper process,
// as a client on the private bus sees it.
class tst_SourceProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    WrapperProcess *wrapper = nullptr;
    BusClient *client = nullptr;
    ProxySourceRecorder *proxy = nullptr;
    ProxySourceRecorder *witnessProxy = nullptr;

    // A reply may be in before the call waits for it; what the wrapper sent before the
    // reply is queued for this thread by then and is handled here.
    static QDBusMessage settled(const QDBusMessage &reply)
    {
        QCoreApplication::processEvents();
        return reply;
    }

    QDBusMessage control(const QString &method, const QVariantList &arguments,
                         const QString &uuid = QStringLiteral("test_source"))
    {
        return settled(client->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test/source/") + uuid,
                                    ControlInterface, method, arguments));
    }

    QDBusMessage callSource(const QString &method, const QVariantList &arguments,
                            const QString &uuid = QStringLiteral("test_source"), BusClient *caller = nullptr)
    {
        return settled((caller ? caller : client)->call(sourceService(uuid), sourcePath(uuid), SourceInterface, method, arguments));
    }

    uint browse(const QString &uuid = QStringLiteral("test_source"), BusClient *caller = nullptr)
    {
        return callSource(QStringLiteral("browse"), {QString(), QString(), QStringList(), 0u, 0u}, uuid, caller)
            .arguments().value(0).toUInt();
    }

    uint query()
    {
        return callSource(QStringLiteral("query"), {QStringLiteral("q")}).arguments().value(0).toUInt();
    }

    // Everything the wrapper sent before answering this has reached the client.
    void sync() { QCOMPARE(callSource(QStringLiteral("set_metadata"), {}).type(), QDBusMessage::ReplyMessage); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        wrapper = new WrapperProcess;
        wrapper->setHome(home.path());
        wrapper->setEnv(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), Objects);
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        client = new BusClient;
        QVERIFY(client->activate(TestPluginName));
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("test_source"))));
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("witness"))));
        proxy = new ProxySourceRecorder(client->connection(), QStringLiteral("test_source"));
        witnessProxy = new ProxySourceRecorder(client->connection(), QStringLiteral("witness"));
        QVERIFY(proxy->isRegistered() && witnessProxy->isRegistered());
    }

    void cleanupTestCase()
    {
        delete proxy;
        delete witnessProxy;
        delete client;
        delete wrapper;
    }

    void init()
    {
        proxy->clear();
        witnessProxy->clear();
    }

    void cleanup()
    {
        control(QStringLiteral("set_refusing"), {false, false});
        QCOMPARE(proxy->strayCalls(), 0);
        QVERIFY(wrapper->isRunning());
    }

    void liveInterfaceMatchesTheContract()
    {
        QStringList contract =
            InterfaceContract::fromXml(InterfaceContract::contractXml(SourceInterface), SourceInterface);
        QCOMPARE(contract.size(), 7);
        const QString live = TestBus::introspect(sourceService(QStringLiteral("test_source")),
                                                 sourcePath(QStringLiteral("test_source")));
        QStringList members = InterfaceContract::fromXml(live, SourceInterface);
        // Qt lists an adaptor's members in an order of its own.
        contract.sort();
        members.sort();
        QCOMPARE(members, contract);
    }

    void resultCallsMatchTheProxyContract()
    {
        const QString xml = InterfaceContract::contractXml(QStringLiteral("com.oxbel.tuvo.proxy_source"));
        const uint browseId = browse();
        const uint queryId = query();
        control(QStringLiteral("deliver_results"), {browseId, 1, 0});
        control(QStringLiteral("deliver_rows"), {queryId, 1, 0});
        QVERIFY(proxy->waitForBrowseCalls(1));
        QVERIFY(proxy->waitForQueryCalls(1));
        const QStringList proxyContract =
            InterfaceContract::fromXml(xml, QStringLiteral("com.oxbel.tuvo.proxy_source"));
        QCOMPARE(proxy->browseCalls().first().signature,
                 InterfaceContract::inSignature(proxyContract, QStringLiteral("browse_result")));
        QCOMPARE(proxy->queryCalls().first().signature,
                 InterfaceContract::inSignature(proxyContract, QStringLiteral("query_result")));
        QCOMPARE(proxy->browseCalls().first().sender, TestBus::owner(sourceService(QStringLiteral("test_source"))));
        // The wrapper awaits no reply, and says so on the message.
        QVERIFY(xml.count(QLatin1String("<annotation name=\"org.freedesktop.DBus.Method.NoReply\" value=\"true\"/>")) == 2);
        QVERIFY(!proxy->browseCalls().first().replyRequired);
        QVERIFY(!proxy->queryCalls().first().replyRequired);
    }

    void burstGoesOutInBatchesOfTen_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("batches");
        QTest::newRow("25") << 25 << QList<int>{10, 10, 5};
        QTest::newRow("10") << 10 << QList<int>{10};
        QTest::newRow("11") << 11 << QList<int>{10, 1};
        QTest::newRow("1, sent at once") << 1 << QList<int>{1};
    }

    void burstGoesOutInBatchesOfTen()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, batches);
        const uint id = browse();
        QCOMPARE(control(QStringLiteral("deliver_results"), {id, count, count - 1}).arguments().value(0).toInt(), count);
        // Nothing waits for the timer: every batch went out before the control call's
        // reply, and arrives before it.
        QCOMPARE(batchSizes(proxy->browseCalls()), batches);
        const auto records = proxy->browseRecords(id);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(records.at(i).index, uint(i));
            QCOMPARE(records.at(i).remainingCount, count - 1 - i);
            QCOMPARE(records.at(i).objectId, QStringLiteral("item_%1").arg(i));
            QVERIFY(records.at(i).reserved.isEmpty() && records.at(i).errorMessage.isEmpty());
            QCOMPARE(records.at(i).errorCode, 0u);
        }
    }

    // Long enough for the wrapper to hold the source back to the bus's pace.
    void longStreamArrivesWholeAndInOrder()
    {
        const int count = 5000;
        const uint id = browse();
        QVERIFY(control(QStringLiteral("stream_results"), {id, count, 100}).arguments().value(0).toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!proxy->browseCalls().isEmpty()
                                     && proxy->browseCalls().last().records.last().remainingCount == 0,
                                 30000);
        const auto records = proxy->browseRecords(id);
        QCOMPARE(records.size(), count);
        QCOMPARE(proxy->browseCalls().size(), count / 10);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(records.at(i).index, uint(i));
            QCOMPARE(records.at(i).remainingCount, count - 1 - i);
        }
    }

    void partialBatchWaitsAbout200Ms_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::newRow("browse") << true;
        QTest::newRow("query") << false;
    }

    void partialBatchWaitsAbout200Ms()
    {
        QFETCH(bool, isBrowse);
        const uint id = isBrowse ? browse() : query();
        const qint64 start = proxy->now();
        if (isBrowse)
            QCOMPARE(control(QStringLiteral("deliver_results"), {id, 3, 5}).arguments().value(0).toInt(), 3);
        else
            QCOMPARE(control(QStringLiteral("deliver_rows"), {id, 2, 7}).arguments().value(0).toInt(), 2);
        if (isBrowse)
            QVERIFY(proxy->waitForBrowseCalls(1, 5000));
        else
            QVERIFY(proxy->waitForQueryCalls(1, 5000));
        const qint64 waited = (isBrowse ? proxy->browseCalls().first().atMs : proxy->queryCalls().first().atMs) - start;
        QVERIFY2(waited >= 150 && waited <= 1000, qPrintable(QString::number(waited)));
        if (isBrowse) {
            QCOMPARE(proxy->browseCalls().first().records.size(), 3);
            QCOMPARE(proxy->browseCalls().first().records.last().remainingCount, 3);
            control(QStringLiteral("deliver_results"), {id, 3, 2});
        } else {
            const auto call = proxy->queryCalls().first();
            QCOMPARE(call.rows.size(), 2);
            QCOMPARE(call.remainingCount, 6);
            control(QStringLiteral("deliver_rows"), {id, 6, 5});
        }
        sync();
        QCOMPARE(isBrowse ? proxy->browseCalls().size() : proxy->queryCalls().size(), 2);
    }

    void errorFollowsThePendingResults_data()
    {
        QTest::addColumn<int>("pending");
        QTest::newRow("after 3 results") << 3;
        QTest::newRow("before any result") << 0;
    }

    void errorFollowsThePendingResults()
    {
        QFETCH(int, pending);
        const uint id = browse();
        control(QStringLiteral("deliver_results"), {id, pending, 10});
        QVERIFY(control(QStringLiteral("deliver_error"), {id, id, 4000000001u, QStringLiteral("disk \u00e9jected")})
                    .arguments().value(0).toBool());
        const auto calls = proxy->browseCalls(id);
        QCOMPARE(calls.size(), pending ? 2 : 1);
        if (pending)
            QCOMPARE(calls.first().records.size(), pending);
        QCOMPARE(calls.last().records.size(), 1);
        TuvoBrowseResultDBusStruct expected;
        expected.errorCode = 4000000001u;
        expected.errorMessage = QStringLiteral("disk \u00e9jected");
        QCOMPARE(calls.last().records.first(), expected);
    }

    void queryBatches_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QList<int>>("remaining");
        QTest::newRow("12") << 12 << QList<int>{10, 2} << QList<int>{2, 0};
        QTest::newRow("1, sent at once") << 1 << QList<int>{1} << QList<int>{0};
    }

    void queryBatches()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, sizes);
        QFETCH(QList<int>, remaining);
        const uint id = query();
        control(QStringLiteral("deliver_rows"), {id, count, count - 1});
        const auto calls = proxy->queryCalls(id);
        QCOMPARE(calls.size(), sizes.size());
        int row = 0;
        for (int i = 0; i < calls.size(); ++i) {
            QCOMPARE(calls.at(i).rows.size(), sizes.at(i));
            QCOMPARE(calls.at(i).remainingCount, remaining.at(i));
            QCOMPARE(calls.at(i).errorCode, 0);
            QVERIFY(calls.at(i).errorMessage.isEmpty());
            for (const auto &r : calls.at(i).rows) {
                QCOMPARE(r.index, uint(row));
                QCOMPARE(r.resultRow, (QStringList{QStringLiteral("row_%1").arg(row), QStringLiteral("Row %1").arg(row)}));
                ++row;
            }
        }
    }

    void rowValuesArriveUnchanged()
    {
        const uint id = query();
        const QStringList row{QString(), QStringLiteral("\u4e2d\u6587 \U0001F3B5"), QStringLiteral("a,b;c")};
        QVERIFY(control(QStringLiteral("deliver_row"), {id, id, row, 77u, 0}).arguments().value(0).toBool());
        QCOMPARE(proxy->queryCalls(id).size(), 1);
        QCOMPARE(proxy->queryCalls(id).first().rows.first().index, 77u);
        QCOMPARE(proxy->queryCalls(id).first().rows.first().resultRow, row);
    }

    void queryErrorFollowsThePendingRows_data()
    {
        QTest::addColumn<int>("pending");
        QTest::newRow("after 3 rows") << 3;
        QTest::newRow("before any row") << 0;
    }

    void queryErrorFollowsThePendingRows()
    {
        QFETCH(int, pending);
        const uint id = query();
        control(QStringLiteral("deliver_rows"), {id, pending, 8});
        control(QStringLiteral("deliver_query_error"), {id, id, -7, QStringLiteral("bad query")});
        const auto calls = proxy->queryCalls(id);
        QCOMPARE(calls.size(), pending ? 2 : 1);
        if (pending) {
            QCOMPARE(calls.first().rows.size(), pending);
            QCOMPARE(calls.first().remainingCount, 0);
            QCOMPARE(calls.first().errorCode, 0);
            QVERIFY(calls.first().errorMessage.isEmpty());
        }
        QVERIFY(calls.last().rows.isEmpty());
        QCOMPARE(calls.last().remainingCount, 0);
        QCOMPARE(calls.last().errorCode, -7);
        QCOMPARE(calls.last().errorMessage, QStringLiteral("bad query"));
    }

    void callbackWithAnotherIdIsIgnored_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::newRow("browse") << true;
        QTest::newRow("query") << false;
    }

    void callbackWithAnotherIdIsIgnored()
    {
        QFETCH(bool, isBrowse);
        const uint id = isBrowse ? browse() : query();
        if (isBrowse) {
            control(QStringLiteral("deliver_result"), {id, id, QStringLiteral("good_1"), QVariantMap(), 0u, 2});
            control(QStringLiteral("deliver_result"), {id, id + 1000, QStringLiteral("bad"), QVariantMap(), 1u, 1});
            control(QStringLiteral("deliver_error"), {id, id + 1000, 1u, QStringLiteral("bad")});
            control(QStringLiteral("deliver_result"), {id, id, QStringLiteral("good_2"), QVariantMap(), 2u, 0});
            QVERIFY(wrapper->waitForErrorOutput(QStringLiteral("Source signals with bad browseId: return")));
            const auto records = proxy->browseRecords(id);
            QCOMPARE(records.size(), 2);
            QCOMPARE(records.at(0).objectId, QStringLiteral("good_1"));
            QCOMPARE(records.at(1).objectId, QStringLiteral("good_2"));
            QCOMPARE(proxy->browseCalls().size(), 1);
        } else {
            control(QStringLiteral("deliver_row"), {id, id, QStringList{QStringLiteral("good_1")}, 0u, 2});
            control(QStringLiteral("deliver_row"), {id, id + 1000, QStringList{QStringLiteral("bad")}, 1u, 1});
            control(QStringLiteral("deliver_row"), {id, id, QStringList{QStringLiteral("good_2")}, 2u, 0});
            QVERIFY(wrapper->waitForErrorOutput(QStringLiteral("Source signals with bad queryId: return")));
            QCOMPARE(proxy->queryCalls().size(), 1);
            QCOMPARE(proxy->queryCalls().first().rows.size(), 2);
        }
    }

    void resultsGoToTheCallerOfBrowse()
    {
        BusClient other;
        ProxySourceRecorder otherProxy(other.connection(), QStringLiteral("test_source"));
        QVERIFY(otherProxy.isRegistered());
        const uint mine = browse();
        // Another client calls next; the first browse's results still go to its caller.
        const uint theirs = browse(QStringLiteral("test_source"), &other);
        QVERIFY(mine && theirs && mine != theirs);
        control(QStringLiteral("deliver_results"), {mine, 12, 11});
        control(QStringLiteral("deliver_results"), {theirs, 2, 1});
        QVERIFY(otherProxy.waitForBrowseCalls(1));
        QCOMPARE(proxy->browseRecords(mine).size(), 12);
        QCOMPARE(otherProxy.browseRecords(mine).size(), 0);
        QCOMPARE(otherProxy.browseRecords(theirs).size(), 2);
        QCOMPARE(proxy->browseRecords(theirs).size(), 0);
    }

    void metadataBlobReachesTheClient()
    {
        const uint id = browse();
        QVariantMap meta;
        meta.insert(QStringLiteral("title"), QStringLiteral("abc"));
        control(QStringLiteral("deliver_result"), {id, id, QStringLiteral("one"), meta, 0u, 1});
        meta.insert(QStringLiteral("count"), 5u);
        meta.insert(QStringLiteral("Size"), qlonglong(-2));
        meta.insert(QStringLiteral("live"), true);
        meta.insert(QStringLiteral("rating"), 0.5);
        meta.insert(QStringLiteral("list"), QStringList{QStringLiteral("dropped")});
        control(QStringLiteral("deliver_result"), {id, id, QStringLiteral("two"), meta, 1u, 0});
        const auto records = proxy->browseRecords(id);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0).metadata,
                 QByteArray::fromHex("7469746c6500010000004000000061626300"));
        meta.remove(QStringLiteral("list"));
        QCOMPARE(records.at(1).metadata, TuvoMetadataEncoder::encode(meta));
        QVERIFY(wrapper->waitForErrorOutput(QStringLiteral("TuvoSourceAdaptor::createBrowseResult: Unknown metadata type")));
    }

    void destroyedSourceSendsNothingMore()
    {
        const QDBusMessage added = client->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test"),
                                                QStringLiteral("com.oxbel.tuvo.test.Plugin"), QStringLiteral("add_object"),
                                                {QStringLiteral("source"), QStringLiteral("doomed"),
                                                 QStringLiteral("Test Plugin"), QStringLiteral("Doomed")});
        QVERIFY(added.arguments().value(0).toBool());
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("doomed"))));
        ProxySourceRecorder doomedProxy(client->connection(), QStringLiteral("doomed"));
        const uint doomedId = browse(QStringLiteral("doomed"));
        const uint witnessId = browse(QStringLiteral("witness"));
        QVERIFY(doomedId && witnessId);
        QCOMPARE(control(QStringLiteral("deliver_results"), {doomedId, 3, 10}, QStringLiteral("doomed")).arguments().value(0).toInt(), 3);
        QCOMPARE(control(QStringLiteral("deliver_results"), {witnessId, 1, 10}, QStringLiteral("witness")).arguments().value(0).toInt(), 1);
        QVERIFY(client->call(TestPluginService, QStringLiteral("/com/oxbel/tuvo/test"),
                             QStringLiteral("com.oxbel.tuvo.test.Plugin"), QStringLiteral("remove_object"),
                             {QStringLiteral("doomed")}).arguments().value(0).toBool());
        // The witness's partial batch was started after the doomed one's.
        QVERIFY(witnessProxy->waitForBrowseCalls(1));
        QCOMPARE(doomedProxy.browseCalls().size(), 0);
        QVERIFY(TestBus::waitForName(sourceService(QStringLiteral("doomed")), false));
    }

    void sampleSourceBrowsesToTheCallersProxy()
    {
        WrapperProcess sample;
        sample.setHome(home.path());
        QVERIFY(sample.startWithPlugin(TestPaths::samplePlugin()));
        BusClient outside;
        QVERIFY(outside.activate(QStringLiteral("libtuvo_sample_plugin")));
        const QString service = sourceService(QStringLiteral("sample_source"), QStringLiteral("Sample-Plugin"));
        QVERIFY(TestBus::waitForName(service));
        ProxySourceRecorder sampleProxy(outside.connection(), QStringLiteral("sample_source"));
        auto browseSample = [&](const QString &container, const QString &predicate) {
            return outside.call(service, sourcePath(QStringLiteral("sample_source")), SourceInterface,
                                QStringLiteral("browse"), {container, predicate, QStringList(), 0u, 0u})
                .arguments().value(0).toUInt();
        };
        const auto ended = [&](uint id) {
            const auto records = sampleProxy.browseRecords(id);
            return !records.isEmpty() && (records.last().remainingCount == 0 || records.last().errorCode);
        };

        const uint tracks = browseSample(QStringLiteral("tracks"), QString());
        QVERIFY(tracks != 0);
        QTRY_VERIFY(ended(tracks));
        const auto records = sampleProxy.browseRecords(tracks);
        QCOMPARE(records.size(), 12);
        QCOMPARE(batchSizes(sampleProxy.browseCalls(tracks)), (QList<int>{10, 2}));
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(records.at(i).index, uint(i));
            QVERIFY(!records.at(i).objectId.isEmpty());
            QVERIFY(records.at(i).metadata.contains(QByteArray("title\0\1\0\0\0\x40\0\0\0", 14)));
        }

        // Nothing matches: one empty last result ends the browse.
        const uint none = browseSample(QStringLiteral("tracks"), QStringLiteral("no such title"));
        QTRY_VERIFY(ended(none));
        TuvoBrowseResultDBusStruct empty;
        QCOMPARE(sampleProxy.browseRecords(none), QList<TuvoBrowseResultDBusStruct>{empty});

        const uint unknown = browseSample(QStringLiteral("no_such_container"), QString());
        QTRY_VERIFY(ended(unknown));
        QCOMPARE(sampleProxy.browseRecords(unknown).size(), 1);
        QCOMPARE(sampleProxy.browseRecords(unknown).first().errorCode, 1u);
        QCOMPARE(sampleProxy.browseRecords(unknown).first().errorMessage, QStringLiteral("no such container"));

        const uint found = outside.call(service, sourcePath(QStringLiteral("sample_source")), SourceInterface,
                                        QStringLiteral("query"), {QStringLiteral("tide")})
                               .arguments().value(0).toUInt();
        QVERIFY(found != 0);
        QTRY_VERIFY(!sampleProxy.queryCalls(found).isEmpty() && sampleProxy.queryCalls(found).last().remainingCount == 0);
        QVERIFY(!sampleProxy.queryCalls(found).first().rows.isEmpty());
        QCOMPARE(sampleProxy.queryCalls(found).first().rows.first().resultRow.size(), 5);
        QVERIFY(outside.deactivate(QStringLiteral("libtuvo_sample_plugin")));
    }
};

QTEST_GUILESS_MAIN(tst_SourceProcess)
#include "tst_sourceprocess.moc"
