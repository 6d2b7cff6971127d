#include "FakePeer.h"
#include "TuvoClientSource.h"
#include "InterfaceContract.h"

#include <TuvoBusNames.h>
#include <TuvoMetadataEncoder.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(QList<TuvoClientBrowseResult>)
Q_DECLARE_METATYPE(QList<TuvoQueryResultDBusStruct>)

namespace {
const QString Uuid = QStringLiteral("fake_source");
const QString SourceInterface = QStringLiteral("com.oxbel.tuvo.source");
const QString ProxyInterface = QStringLiteral("com.oxbel.tuvo.proxy_source");

TuvoBrowseResultDBusStruct record(int index, int remaining, const QVariantMap &metadata)
{
    TuvoBrowseResultDBusStruct r;
    r.index = quint32(index);
    r.remainingCount = remaining;
    r.objectId = QStringLiteral("item_%1").arg(index);
    r.metadata = TuvoMetadataEncoder::encode(metadata);
    return r;
}

// Metadata of every type the blob knows, different per item.
QVariantMap metadataOf(int i)
{
    return {{QStringLiteral("bool"), i % 2 == 0},
            {QStringLiteral("char"), QVariant::fromValue(QChar(QLatin1Char(char('a' + i))))},
            {QStringLiteral("double"), i + 0.5},
            {QStringLiteral("int"), -i},
            {QStringLiteral("int64"), qlonglong(i) << 40},
            {QStringLiteral("string"), QStringLiteral("Title %1").arg(i)},
            {QStringLiteral("uint"), uint(i)},
            {QStringLiteral("uint64"), qulonglong(i) << 60}};
}

QVariant batch(const QList<TuvoBrowseResultDBusStruct> &records)
{
    return QVariant::fromValue(records);
}

QVariant rows(const QList<TuvoQueryResultDBusStruct> &records)
{
    return QVariant::fromValue(records);
}

} // namespace

// The client library's source proxy against a fake source on the private bus: the
// calls it makes, and what it does with the results, well formed or not.
class tst_TuvoClientSource : public QObject
{
    Q_OBJECT

    FakePeer *peer = nullptr;
    TuvoClientObjectInfo info;

    QString clientName() const { return QDBusConnection::sessionBus().baseService(); }
    QString proxyPath() const { return TuvoBusNames::proxySourceObjectPath(Uuid); }

    void sendBrowse(FakePeer *from, uint id, const QList<TuvoBrowseResultDBusStruct> &records)
    {
        QVERIFY(from->sendCall(clientName(), proxyPath(), ProxyInterface, QStringLiteral("browse_result"),
                               {id, batch(records)}));
    }

    void sendQuery(FakePeer *from, uint id, int remaining, const QList<TuvoQueryResultDBusStruct> &records,
                   int errorCode = 0, const QString &errorMessage = QString())
    {
        QVERIFY(from->sendCall(clientName(), proxyPath(), ProxyInterface, QStringLiteral("query_result"),
                               {id, remaining, rows(records), errorCode, errorMessage}));
    }

    static QList<TuvoClientBrowseResult> allResults(const QSignalSpy &spy)
    {
        QList<TuvoClientBrowseResult> all;
        for (const QList<QVariant> &emission : spy)
            all += emission.at(0).value<QList<TuvoClientBrowseResult>>();
        return all;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoBrowseResultDBusStruct::registerDBusTypes();
        TuvoQueryResultDBusStruct::registerDBusTypes();
        qRegisterMetaType<QList<TuvoClientBrowseResult>>();
        qRegisterMetaType<QList<TuvoQueryResultDBusStruct>>();
        qRegisterMetaType<TuvoClientError>();
    }

    void init()
    {
        peer = new FakePeer(TuvoBusNames::sourceServiceName(QStringLiteral("Fake"), Uuid),
                            TuvoBusNames::sourceObjectPath(Uuid));
        QVERIFY(peer->isReady());
        peer->setReply(QStringLiteral("browse"), {7u});
        peer->setReply(QStringLiteral("query"), {9u});
        info = TuvoClientObjectInfo::fromBusName(peer->busName());
        info.owner = peer->uniqueName();
    }

    void cleanup()
    {
        delete peer;
        peer = nullptr;
    }

    void browseDeliversEveryResultInOrder()
    {
        TuvoClientSource source(info);
        QVERIFY(source.isReady());
        TuvoClientBrowse *browse = source.browse(QStringLiteral("albums"), QStringLiteral("p"),
                                                 {QStringLiteral("x")}, 2, 25);
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QSignalSpy started(browse, &TuvoClientOperation::started);
        QVERIFY(started.wait());
        QCOMPARE(started.at(0).at(0).toUInt(), 7u);
        const QDBusMessage call = peer->callsOf(QStringLiteral("browse")).value(0);
        QCOMPARE(call.interface(), SourceInterface);
        QCOMPARE(call.signature(), QStringLiteral("ssasuu"));
        QCOMPARE(call.arguments().at(0).toString(), QStringLiteral("albums"));
        QCOMPARE(call.arguments().at(2).toStringList(), QStringList{QStringLiteral("x")});
        QCOMPARE(call.arguments().at(3).toUInt(), 2u);
        QCOMPARE(call.arguments().at(4).toUInt(), 25u);

        for (int first : {0, 10, 20}) {
            QList<TuvoBrowseResultDBusStruct> records;
            for (int i = first; i < qMin(first + 10, 25); ++i)
                records.append(record(i, 24 - i, metadataOf(i)));
            sendBrowse(peer, 7, records);
        }
        QVERIFY(finished.wait());
        QCOMPARE(results.count(), 3);
        const QList<TuvoClientBrowseResult> all = allResults(results);
        QCOMPARE(all.size(), 25);
        for (int i = 0; i < 25; ++i) {
            QCOMPARE(all.at(i).index, quint32(i));
            QCOMPARE(all.at(i).remainingCount, 24 - i);
            QCOMPARE(all.at(i).objectId, QStringLiteral("item_%1").arg(i));
            QCOMPARE(all.at(i).metadata, metadataOf(i));
            QCOMPARE(all.at(i).metadata.value(QStringLiteral("uint64")).metaType(),
                     QMetaType::fromType<qulonglong>());
        }
        QVERIFY(!finished.at(0).at(0).value<TuvoClientError>().isError());
        QCOMPARE(browse->resultCount(), 25);
    }

    void errorComesAfterTheResultsBeforeIt()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        QList<TuvoBrowseResultDBusStruct> records;
        for (int i = 0; i < 4; ++i)
            records.append(record(i, 10, metadataOf(i)));
        sendBrowse(peer, 7, records);
        TuvoBrowseResultDBusStruct error;
        error.errorCode = 42;
        error.errorMessage = QStringLiteral("disk on fire");
        sendBrowse(peer, 7, {error});
        QVERIFY(finished.wait());
        QCOMPARE(allResults(results).size(), 4);
        const TuvoClientError reported = finished.at(0).at(0).value<TuvoClientError>();
        QCOMPARE(reported.type(), TuvoClientError::Remote);
        QCOMPARE(reported.code(), 42);
        QVERIFY(reported.message().contains(QLatin1String("error 42: disk on fire")));
    }

    void malformedMetadataSpoilsOnlyItsRecord()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        TuvoBrowseResultDBusStruct broken = record(1, 1, {});
        broken.metadata = QByteArray("title\0\1\0\0\0\x40\0\0\0unterminated", 23);
        sendBrowse(peer, 7, {record(0, 2, metadataOf(0)), broken, record(2, 0, metadataOf(2))});
        QVERIFY(finished.wait());
        const QList<TuvoClientBrowseResult> all = allResults(results);
        QCOMPARE(all.size(), 3);
        QVERIFY(!all.at(0).hasMetadataError());
        QVERIFY(all.at(1).hasMetadataError());
        QVERIFY(all.at(1).metadata.isEmpty());
        QCOMPARE(all.at(2).metadata, metadataOf(2));
        QVERIFY(!browse->error().isError());
    }

    void wrongSignatureIsRefused()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        QDBusMessage wrong = QDBusMessage::createMethodCall(clientName(), proxyPath(), ProxyInterface,
                                                           QStringLiteral("browse_result"));
        wrong << 7u << QStringLiteral("not a batch");
        const QDBusMessage answer = peer->connection().call(wrong, QDBus::BlockWithGui, 5000);
        QCOMPARE(answer.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(answer.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        sendBrowse(peer, 7, {record(0, 0, metadataOf(0))});
        QVERIFY(finished.wait());
        QCOMPARE(allResults(results).size(), 1);
    }

    void emptyLastRecordMeansNoResults()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QStringLiteral("empty"));
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        TuvoBrowseResultDBusStruct end;
        sendBrowse(peer, 7, {end});
        QVERIFY(finished.wait());
        QCOMPARE(results.count(), 0);
        QVERIFY(!browse->error().isError());
    }

    void refusedBrowse()
    {
        peer->setReply(QStringLiteral("browse"), {0u});
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(finished.wait());
        QCOMPARE(browse->error().type(), TuvoClientError::Refused);
    }

    void cancelReachesTheSource()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy results(browse, &TuvoClientBrowse::resultsReceived);
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        sendBrowse(peer, 7, {record(0, 5, metadataOf(0))});
        QVERIFY(results.wait());
        browse->cancel();
        QVERIFY(finished.wait());
        QCOMPARE(browse->error().type(), TuvoClientError::Cancelled);
        const QList<QDBusMessage> cancels = peer->callsOf(QStringLiteral("cancel_browse"));
        QCOMPARE(cancels.size(), 1);
        QCOMPARE(cancels.at(0).arguments(), QVariantList{7u});
        // Whatever the source still sends is not delivered.
        sendBrowse(peer, 7, {record(1, 0, metadataOf(1))});
        QVERIFY(peer->connection().call(QDBusMessage::createMethodCall(
                    clientName(), QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"),
                    QStringLiteral("Ping")), QDBus::BlockWithGui).type() == QDBusMessage::ReplyMessage);
        QCOMPARE(results.count(), 1);
    }

    void cancelBeforeTheIdIsKnown()
    {
        peer->setFrozen(true);
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(peer->waitForCall(QStringLiteral("browse")));
        browse->cancel();
        peer->setFrozen(false);
        const QDBusMessage call = peer->callsOf(QStringLiteral("browse")).at(0);
        QVERIFY(peer->send(call.createReply(QVariantList{11u})));
        QVERIFY(finished.wait());
        QCOMPARE(browse->error().type(), TuvoClientError::Cancelled);
        QCOMPARE(peer->callsOf(QStringLiteral("cancel_browse")).value(0).arguments(), QVariantList{11u});
    }

    void deletingARunningBrowseCancelsIt()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        delete browse;
        QVERIFY(peer->waitForCall(QStringLiteral("cancel_browse")));
    }

    void silenceEndsTheBrowse()
    {
        TuvoClientSource source(info);
        source.setResultTimeout(300);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        QElapsedTimer clock;
        clock.start();
        // Each batch restarts the wait.
        for (int i = 0; i < 3; ++i) {
            QTest::qWait(150);
            sendBrowse(peer, 7, {record(i, 5, metadataOf(i))});
        }
        QVERIFY(finished.wait(5000));
        QVERIFY(clock.elapsed() >= 450 + 250);
        QCOMPARE(browse->error().type(), TuvoClientError::Timeout);
        QVERIFY(browse->error().message().contains(peer->busName()));
        QVERIFY(peer->waitForCall(QStringLiteral("cancel_browse")));
    }

    void frozenSourceTimesOut()
    {
        peer->setFrozen(true);
        TuvoClientSource source(info);
        source.setTimeout(300);
        QElapsedTimer clock;
        clock.start();
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(finished.wait(5000));
        QVERIFY(clock.elapsed() >= 250);
        QCOMPARE(browse->error().type(), TuvoClientError::Timeout);
        QCOMPARE(browse->error().message(), peer->busName() + QStringLiteral(" did not answer within 0.3 s"));
    }

    void sourceLeavingEndsItsOperations()
    {
        TuvoClientSource source(info);
        TuvoClientBrowse *browse = source.browse(QString());
        QSignalSpy finished(browse, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(browse, &TuvoClientOperation::started).wait());
        peer->leave();
        QVERIFY(finished.wait());
        QCOMPARE(browse->error().type(), TuvoClientError::NotFound);
    }

    void queryDeliversRows()
    {
        TuvoClientSource source(info);
        TuvoClientQuery *query = source.query(QStringLiteral("night"));
        QSignalSpy rowSpy(query, &TuvoClientQuery::rowsReceived);
        QSignalSpy finished(query, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(query, &TuvoClientOperation::started).wait());
        QCOMPARE(peer->callsOf(QStringLiteral("query")).at(0).arguments(), QVariantList{QStringLiteral("night")});
        sendQuery(peer, 9, 1, {{0, {QStringLiteral("a"), QStringLiteral("b")}}});
        sendQuery(peer, 9, 0, {{1, {QStringLiteral("c")}}});
        QVERIFY(finished.wait());
        QVERIFY(!query->error().isError());
        QCOMPARE(rowSpy.count(), 2);
        QCOMPARE(rowSpy.at(1).at(0).value<QList<TuvoQueryResultDBusStruct>>(),
                 (QList<TuvoQueryResultDBusStruct>{{1, {QStringLiteral("c")}}}));
    }

    void queryErrorAfterItsLastRowsIsNotLost()
    {
        // The wrapper marks the rows before an error as the last ones and sends the
        // error as a message of its own right after them.
        TuvoClientSource source(info);
        TuvoClientQuery *query = source.query(QStringLiteral("x"));
        QSignalSpy rowSpy(query, &TuvoClientQuery::rowsReceived);
        QSignalSpy finished(query, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(query, &TuvoClientOperation::started).wait());
        sendQuery(peer, 9, 0, {{0, {QStringLiteral("a")}}, {1, {QStringLiteral("b")}}, {2, {QStringLiteral("c")}}});
        sendQuery(peer, 9, 0, {}, -5, QStringLiteral("index broken"));
        QVERIFY(finished.wait());
        QCOMPARE(rowSpy.count(), 1);
        QCOMPARE(query->error().type(), TuvoClientError::Remote);
        QCOMPARE(query->error().code(), -5);
        QVERIFY(query->error().message().contains(QLatin1String("index broken")));
    }

    void cancelQuery()
    {
        TuvoClientSource source(info);
        TuvoClientQuery *query = source.query(QStringLiteral("x"));
        QSignalSpy finished(query, &TuvoClientOperation::finished);
        QVERIFY(QSignalSpy(query, &TuvoClientOperation::started).wait());
        query->cancel();
        QVERIFY(finished.wait());
        QCOMPARE(peer->callsOf(QStringLiteral("cancel_query")).value(0).arguments(), QVariantList{9u});
    }

    void proxyObjectLivesWithItsSources()
    {
        auto introspect = [this] {
            QDBusMessage call = QDBusMessage::createMethodCall(clientName(), proxyPath(),
                                                               QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                               QStringLiteral("Introspect"));
            return peer->connection().call(call, QDBus::BlockWithGui, 5000);
        };
        {
            auto *first = new TuvoClientSource(info);
            auto *second = new TuvoClientSource(info);
            QVERIFY(first->isReady());
            QVERIFY(second->isReady());
            const QDBusMessage reply = introspect();
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            const QStringList expected =
                InterfaceContract::fromXml(InterfaceContract::contractXml(ProxyInterface), ProxyInterface);
            QVERIFY(!expected.isEmpty());
            QCOMPARE(InterfaceContract::fromXml(reply.arguments().at(0).toString(), ProxyInterface), expected);
            delete first;
            QCOMPARE(introspect().type(), QDBusMessage::ReplyMessage);
            delete second;
        }
        QCoreApplication::processEvents();
        // Either no object at all, or one without the interface.
        const QDBusMessage gone = introspect();
        QVERIFY(gone.type() != QDBusMessage::ReplyMessage
                || !gone.arguments().value(0).toString().contains(ProxyInterface));
    }

    void sourceSignals()
    {
        TuvoClientSource source(info);
        QSignalSpy containers(&source, &TuvoClientSource::containerChanged);
        QSignalSpy metadata(&source, &TuvoClientSource::metadataChanged);
        QVERIFY(peer->emitSignal(SourceInterface, QStringLiteral("container_changed"), {QStringLiteral("albums")}));
        QVERIFY(peer->emitSignal(SourceInterface, QStringLiteral("metadata_changed"), {QStringLiteral("track_1")}));
        QVERIFY(metadata.wait());
        QCOMPARE(containers.value(0).value(0).toString(), QStringLiteral("albums"));
        QCOMPARE(metadata.value(0).value(0).toString(), QStringLiteral("track_1"));
    }
};

QTEST_MAIN(tst_TuvoClientSource)
#include "tst_tuvoclientsource.moc"
