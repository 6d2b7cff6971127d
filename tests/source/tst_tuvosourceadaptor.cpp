#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "ProxySourceRecorder.h"

#include "TestSource.h"

#include <TuvoSourceAdaptor.h>
#include <TuvoSourceAdaptorBrowseTransaction.h>
#include <TuvoSourceAdaptorQueryTransaction.h>

#include <QDBusConnection>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

namespace {
const QString SourceInterface = QStringLiteral("com.oxbel.tuvo.source");

QStringList s_debugLines;
QtMessageHandler s_previousHandler = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        s_debugLines.append(message);
    else if (s_previousHandler)
        s_previousHandler(type, context, message);
}

QString sourcePath(const QString &uuid)
{
    return QStringLiteral("/com/oxbel/tuvo/source/") + uuid;
}
} // namespace

// The source adaptor in this process, on the test's bus, called by a client connection
// of its own; the test plugin's source is driven directly.
class tst_TuvoSourceAdaptor : public QObject
{
    Q_OBJECT

    QPointer<TestSource> source;
    QPointer<TuvoSourceAdaptor> adaptor;
    BusClient *client = nullptr;
    ProxySourceRecorder *proxy = nullptr;

    TestSource *publishSource(const QString &uuid)
    {
        auto *published = new TestSource(uuid, QStringLiteral("Test Plugin"), QStringLiteral("Source"));
        new TuvoSourceAdaptor(published);
        if (!QDBusConnection::sessionBus().registerObject(sourcePath(uuid), published))
            qWarning("cannot register %s", qPrintable(uuid));
        return published;
    }

    QDBusMessage callSource(const QString &method, const QVariantList &arguments,
                            const QString &uuid = QStringLiteral("src"), BusClient *caller = nullptr)
    {
        const QDBusMessage reply = (caller ? caller : client)
            ->call(QDBusConnection::sessionBus().baseService(), sourcePath(uuid), SourceInterface,
                   method, arguments);
        // A reply may be in before the call waits for it; what was sent before it is
        // queued for this thread by then and is handled here.
        QCoreApplication::processEvents();
        return reply;
    }

    uint browse(const QString &uuid = QStringLiteral("src"), BusClient *caller = nullptr)
    {
        return callSource(QStringLiteral("browse"), {QString(), QString(), QStringList(), 0u, 0u}, uuid,
                          caller)
            .arguments()
            .value(0)
            .toUInt();
    }

    uint query(const QString &text = QStringLiteral("q"))
    {
        return callSource(QStringLiteral("query"), {text}).arguments().value(0).toUInt();
    }

    int transactions(TuvoSourceAdaptor *of = nullptr) const
    {
        of = of ? of : adaptor.data();
        return int(of->findChildren<TuvoSourceAdaptorBrowseTransaction *>().size()
                   + of->findChildren<TuvoSourceAdaptorQueryTransaction *>().size());
    }

private Q_SLOTS:
    void init()
    {
        source = publishSource(QStringLiteral("src"));
        adaptor = source->findChild<TuvoSourceAdaptor *>();
        QVERIFY(adaptor);
        client = new BusClient;
        QVERIFY(client->isConnected());
        proxy = new ProxySourceRecorder(client->connection(), QStringLiteral("src"));
        QVERIFY(proxy->isRegistered());
    }

    void cleanup()
    {
        delete proxy;
        delete client;
        QDBusConnection::sessionBus().unregisterObject(sourcePath(QStringLiteral("src")));
        delete source;
        if (s_previousHandler) {
            qInstallMessageHandler(s_previousHandler);
            s_previousHandler = nullptr;
        }
        s_debugLines.clear();
    }

    void refusedOperationLeavesNoTransaction_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::newRow("browse") << true;
        QTest::newRow("query") << false;
    }

    void refusedOperationLeavesNoTransaction()
    {
        QFETCH(bool, isBrowse);
        source->setRefusing(isBrowse, !isBrowse);
        const QDBusMessage reply =
            isBrowse ? callSource(QStringLiteral("browse"), {QString(), QString(), QStringList(), 0u, 0u})
                     : callSource(QStringLiteral("query"), {QStringLiteral("q")});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QCOMPARE(reply.arguments(), QVariantList{0u});
        QCOMPARE(transactions(), 0);
    }

    void transactionEndsWithItsOperation_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<bool>("withError");
        QTest::newRow("browse, last result") << true << false;
        QTest::newRow("browse, error") << true << true;
        QTest::newRow("query, last row") << false << false;
        QTest::newRow("query, error") << false << true;
    }

    void transactionEndsWithItsOperation()
    {
        QFETCH(bool, isBrowse);
        QFETCH(bool, withError);
        const uint id = isBrowse ? browse() : query();
        QVERIFY(id != 0);
        QCOMPARE(transactions(), 1);
        QCOMPARE(isBrowse ? source->sendResults(id, 2, 5) : source->sendRows(id, 2, 5), 2);
        QCOMPARE(transactions(), 1);
        if (withError)
            QVERIFY(isBrowse ? source->sendError(id, id, 3, QStringLiteral("gone"))
                             : source->sendQueryError(id, id, 3, QStringLiteral("gone")));
        else
            QCOMPARE(isBrowse ? source->sendResults(id, 1, 0) : source->sendRows(id, 1, 0), 1);
        QTRY_COMPARE(transactions(), 0);
        if (isBrowse)
            QVERIFY(proxy->waitForBrowseCalls(withError ? 2 : 1));
        else
            QVERIFY(proxy->waitForQueryCalls(withError ? 2 : 1));
    }

    void cancellingPassesTheIdAndKeepsTheTransaction()
    {
        const uint browseId = browse();
        const uint queryId = query();
        QVERIFY(browseId && queryId);
        QCOMPARE(callSource(QStringLiteral("cancel_browse"), {browseId}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(callSource(QStringLiteral("cancel_browse"), {4242u}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(callSource(QStringLiteral("cancel_query"), {queryId}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(source->cancelledBrowses(), (QList<uint>{browseId, 4242u}));
        QCOMPARE(source->cancelledQueries(), QList<uint>{queryId});
        // A cancelled operation still ends only with its last answer.
        QCOMPARE(transactions(), 2);
        source->sendResults(browseId, 1, 0);
        QTRY_COMPARE(transactions(), 1);
    }

    void argumentsPassUnchangedAndAreLogged()
    {
        s_previousHandler = qInstallMessageHandler(captureDebug);
        const QStringList extra{QStringLiteral("a"), QStringLiteral("b c")};
        const QDBusMessage reply = callSource(
            QStringLiteral("browse"), {QStringLiteral("obj"), QStringLiteral("pred"), extra, 3u, 7u});
        QVERIFY(reply.arguments().value(0).toUInt() != 0);
        QCOMPARE(source->lastBrowseArguments(),
                 (QVariantList{QStringLiteral("obj"), QStringLiteral("pred"), extra, 3u, 7u}));
        QVERIFY(query(QStringLiteral("artist = \"x\"")) != 0);
        QCOMPARE(source->lastQuery(), QStringLiteral("artist = \"x\""));
        QVERIFY2(s_debugLines.contains(QStringLiteral(
                     "uint TuvoSourceAdaptor::browse(const QString&, const QString&, const QStringList&, "
                     "uint, uint, const QDBusMessage&) \"obj\" \"pred\" (\"a\", \"b c\") 3 7")),
                 qPrintable(s_debugLines.join(QLatin1Char('\n'))));
        QVERIFY(s_debugLines.contains(QStringLiteral("TuvoSourceAdaptor::query \"artist = \\\"x\\\"\"")));
    }

    void setMetadataAnswersEmpty()
    {
        const QDBusMessage reply = callSource(QStringLiteral("set_metadata"), {});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        QVERIFY(reply.arguments().isEmpty());
        QCOMPARE(transactions(), 0);
    }

    void changeSignals_data()
    {
        QTest::addColumn<bool>("container");
        QTest::newRow("container_changed") << true;
        QTest::newRow("metadata_changed") << false;
    }

    void changeSignals()
    {
        QFETCH(bool, container);
        const QString service = QDBusConnection::sessionBus().baseService();
        BusSignalRecorder containerChanged(service, sourcePath(QStringLiteral("src")), SourceInterface,
                                           QStringLiteral("container_changed"), client->connection());
        BusSignalRecorder metadataChanged(service, sourcePath(QStringLiteral("src")), SourceInterface,
                                          QStringLiteral("metadata_changed"), client->connection());
        QVERIFY(containerChanged.isConnected() && metadataChanged.isConnected());
        // Something synchronous after the signal: when its reply is here, so is the signal.
        const TuvoContent item(QStringLiteral("item_9"));
        if (container)
            Q_EMIT source->containerChanged(item);
        else
            Q_EMIT source->metadataChanged(item);
        QVERIFY(callSource(QStringLiteral("set_metadata"), {}).type() == QDBusMessage::ReplyMessage);
        BusSignalRecorder &expected = container ? containerChanged : metadataChanged;
        BusSignalRecorder &other = container ? metadataChanged : containerChanged;
        QVERIFY(expected.waitForCount(1));
        QCOMPARE(expected.arguments(), QList<QVariantList>{QVariantList{QStringLiteral("item_9")}});
        QCOMPARE(other.count(), 0);
    }

    void resultsInsideTheBrowseCall()
    {
        source->setInlineResults(3, 2);
        const uint id = browse();
        QVERIFY(id != 0);
        QVERIFY(proxy->waitForBrowseCalls(1));
        const auto calls = proxy->browseCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().browseId, id);
        QCOMPARE(calls.first().records.size(), 3);
        QTRY_COMPARE(transactions(), 0);
    }

    void rowsInsideTheQueryCall()
    {
        source->setInlineRows(2, 1);
        const uint id = query();
        QVERIFY(proxy->waitForQueryCalls(1));
        QCOMPARE(proxy->queryCalls().first().queryId, id);
        QCOMPARE(proxy->queryCalls().first().rows.size(), 2);
        QCOMPARE(proxy->queryCalls().first().remainingCount, 0);
    }

    // The id browse() returned is the browse's id, even when the first callback after
    // it carries another one.
    void strayFirstCallbackCannotCaptureTheBrowse_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::newRow("browse") << true;
        QTest::newRow("query") << false;
    }

    void strayFirstCallbackCannotCaptureTheBrowse()
    {
        QFETCH(bool, isBrowse);
        const uint id = isBrowse ? browse() : query();
        if (isBrowse) {
            QTest::ignoreMessage(QtWarningMsg, "Source signals with bad browseId: return");
            QVERIFY(source->sendResult(id, id + 100, QStringLiteral("stray"), {}, 0, 1));
            QVERIFY(source->sendResult(id, id, QStringLiteral("good"), {}, 1, 0));
            QVERIFY(proxy->waitForBrowseCalls(1));
            QCOMPARE(proxy->browseCalls().first().browseId, id);
            QCOMPARE(proxy->browseCalls().first().records.size(), 1);
            QCOMPARE(proxy->browseCalls().first().records.first().objectId, QStringLiteral("good"));
        } else {
            QTest::ignoreMessage(QtWarningMsg, "Source signals with bad queryId: return");
            QVERIFY(source->sendRow(id, id + 100, {QStringLiteral("stray")}, 0, 1));
            QVERIFY(source->sendRow(id, id, {QStringLiteral("good")}, 1, 0));
            QVERIFY(proxy->waitForQueryCalls(1));
            QCOMPARE(proxy->queryCalls().first().queryId, id);
            QCOMPARE(proxy->queryCalls().first().rows.size(), 1);
            QCOMPARE(proxy->queryCalls().first().rows.first().resultRow, QStringList{QStringLiteral("good")});
        }
    }

    // An error right after the last result, before the transaction is gone, is not sent:
    // the client has seen the end of the browse already.
    void nothingAfterTheEnd()
    {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^source signals after the end of browse")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^source signals after the end of browse")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^source signals after the end of query")));
        const uint id = browse();
        QVERIFY(source->sendResult(id, id, QStringLiteral("last"), {}, 0, 0));
        QVERIFY(source->sendError(id, id, 5, QStringLiteral("late")));
        QVERIFY(source->sendResult(id, id, QStringLiteral("later"), {}, 1, 0));
        const uint queryId = query();
        QVERIFY(source->sendRow(queryId, queryId, {QStringLiteral("last")}, 0, 0));
        QVERIFY(source->sendQueryError(queryId, queryId, 5, QStringLiteral("late")));
        QTRY_COMPARE(transactions(), 0);
        // Everything the adaptor sent has arrived once a later call has been answered.
        QCOMPARE(callSource(QStringLiteral("set_metadata"), {}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(proxy->waitForBrowseCalls(1));
        QVERIFY(proxy->waitForQueryCalls(1));
        QCOMPARE(proxy->browseCalls().size(), 1);
        QCOMPARE(proxy->browseCalls().first().records.size(), 1);
        QCOMPARE(proxy->browseCalls().first().records.first().errorCode, 0u);
        QCOMPARE(proxy->queryCalls().size(), 1);
        QCOMPARE(proxy->queryCalls().first().errorCode, 0);
    }

    void twoBrowsesOfOneClientAreIndependent()
    {
        const uint first = browse();
        const uint second = browse();
        QVERIFY(first && second && first != second);
        QCOMPARE(transactions(), 2);
        source->sendResults(second, 2, 3);
        source->sendResults(first, 3, 2);
        QTRY_COMPARE(transactions(), 1);
        source->sendResults(second, 2, 1);
        QTRY_COMPARE(transactions(), 0);
        QTRY_COMPARE(proxy->browseRecords(second).size(), 4);
        const auto firstRecords = proxy->browseRecords(first);
        const auto secondRecords = proxy->browseRecords(second);
        QCOMPARE(firstRecords.size(), 3);
        QCOMPARE(secondRecords.size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(secondRecords.at(i).index, uint(i));
            QCOMPARE(secondRecords.at(i).remainingCount, 3 - i);
        }
        QCOMPARE(firstRecords.last().remainingCount, 0);
    }

    void destroyedSourceSendsNothingMore()
    {
        TestSource *witness = publishSource(QStringLiteral("witness"));
        ProxySourceRecorder witnessProxy(client->connection(), QStringLiteral("witness"));
        const uint doomedId = browse();
        const uint witnessId = browse(QStringLiteral("witness"));
        QCOMPARE(source->sendResults(doomedId, 3, 10), 3);
        QCOMPARE(witness->sendResults(witnessId, 1, 10), 1);
        delete source;
        QVERIFY(adaptor.isNull());
        // The witness's partial batch waited the same 200 ms, started later.
        QVERIFY(witnessProxy.waitForBrowseCalls(1));
        QCOMPARE(witnessProxy.browseCalls().first().records.size(), 1);
        QCOMPARE(proxy->browseCalls().size(), 0);
        QDBusConnection::sessionBus().unregisterObject(sourcePath(QStringLiteral("witness")));
        delete witness;
    }
};

QTEST_GUILESS_MAIN(tst_TuvoSourceAdaptor)
#include "tst_tuvosourceadaptor.moc"
