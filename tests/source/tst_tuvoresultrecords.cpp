#include "BusClient.h"
#include "ProxySourceRecorder.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>
#include <TuvoSource.h>
#include <TuvoSourceAdaptor.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QTest>

namespace {
const QString RecordsPath = QStringLiteral("/test/records");
} // namespace

// Keeps every call it receives, unread. (A member of the test class, so not in an
// anonymous namespace.)
class MessageSink : public QDBusVirtualObject
{
    Q_OBJECT
public:
    QList<QDBusMessage> messages;
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        QMetaObject::invokeMethod(this, [this, message] { messages.append(message); },
                                  Qt::AutoConnection);
        return true;
    }
};

namespace {
TuvoBrowseResultDBusStruct browseRecord(int remaining, uint index, const QString &objectId,
                                        const QByteArray &metadata, uint code = 0,
                                        const QString &message = QString())
{
    TuvoBrowseResultDBusStruct record;
    record.remainingCount = remaining;
    record.index = index;
    record.objectId = objectId;
    record.metadata = metadata;
    record.errorCode = code;
    record.errorMessage = message;
    return record;
}
} // namespace

Q_DECLARE_METATYPE(QList<TuvoBrowseResultDBusStruct>)
Q_DECLARE_METATYPE(QList<TuvoQueryResultDBusStruct>)

// The result records on the wire: their signatures, their field order, their lists.
class tst_TuvoResultRecords : public QObject
{
    Q_OBJECT

    MessageSink sink;
    BusClient *client = nullptr;

    // Sends \a arguments from another connection and returns the call as received here.
    QDBusMessage roundTrip(const QString &member, const QVariantList &arguments)
    {
        const qsizetype before = sink.messages.size();
        QDBusMessage call = QDBusMessage::createMethodCall(
            QDBusConnection::sessionBus().baseService(), RecordsPath,
            QStringLiteral("com.oxbel.tuvo.proxy_source"), member);
        call.setArguments(arguments);
        if (!client->connection().send(call))
            return QDBusMessage();
        if (!QTest::qWaitFor([&] { return sink.messages.size() > before; }, 10000))
            return QDBusMessage();
        return sink.messages.value(before);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDBusConnection::sessionBus().registerVirtualObject(RecordsPath, &sink));
        client = new BusClient;
        QVERIFY(client->isConnected());
    }

    void cleanupTestCase() { delete client; }

    void signatures_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("signature");
        const int browseList = TuvoBrowseResultDBusStruct::registerDBusTypes();
        const int queryList = TuvoQueryResultDBusStruct::registerDBusTypes();
        TuvoSource source(QStringLiteral("s"), QStringLiteral("p"), QStringLiteral("n"));
        new TuvoSourceAdaptor(&source); // registers QVector<QStringList>
        QTest::newRow("browse record") << qMetaTypeId<TuvoBrowseResultDBusStruct>()
                                       << QStringLiteral("TuvoBrowseResultDBusStruct")
                                       << QStringLiteral("(iusaysus)");
        QTest::newRow("browse list") << browseList << QStringLiteral("QList<TuvoBrowseResultDBusStruct>")
                                     << QStringLiteral("a(iusaysus)");
        QTest::newRow("query record") << qMetaTypeId<TuvoQueryResultDBusStruct>()
                                      << QStringLiteral("TuvoQueryResultDBusStruct")
                                      << QStringLiteral("(uas)");
        QTest::newRow("query list") << queryList << QStringLiteral("QList<TuvoQueryResultDBusStruct>")
                                    << QStringLiteral("a(uas)");
        QTest::newRow("string list vector") << qMetaTypeId<QVector<QStringList>>()
                                            << QStringLiteral("QVector<QStringList>")
                                            << QStringLiteral("aas");
    }

    void signatures()
    {
        QFETCH(int, typeId);
        QFETCH(QString, name);
        QFETCH(QString, signature);
        QCOMPARE(QMetaType::fromName(name.toLatin1()).id(), typeId);
        QCOMPARE(QString::fromLatin1(QDBusMetaType::typeToSignature(QMetaType(typeId))), signature);
    }

    void registeringAgainGivesTheSameId()
    {
        const int browse = TuvoBrowseResultDBusStruct::registerDBusTypes();
        QCOMPARE(TuvoBrowseResultDBusStruct::registerDBusTypes(), browse);
        QCOMPARE(qDBusRegisterMetaType<QList<TuvoBrowseResultDBusStruct>>().id(), browse);
        const int query = TuvoQueryResultDBusStruct::registerDBusTypes();
        QCOMPARE(TuvoQueryResultDBusStruct::registerDBusTypes(), query);
        QCOMPARE(qDBusRegisterMetaType<QList<TuvoQueryResultDBusStruct>>().id(), query);
    }

    void browseRecordsInWireOrder_data()
    {
        QTest::addColumn<QList<TuvoBrowseResultDBusStruct>>("records");
        QTest::newRow("results") << QList<TuvoBrowseResultDBusStruct>{
            browseRecord(2, 0, QStringLiteral("a"), QByteArray("\x00\x01\xff", 3)),
            browseRecord(1, 1, QStringLiteral("b\u00e9\u4e2d"), QByteArray()),
            browseRecord(-5, 4000000000u, QString(), QByteArray(1000, 'x'))};
        QTest::newRow("error record") << QList<TuvoBrowseResultDBusStruct>{
            browseRecord(0, 0, QString(), QByteArray(), 42, QStringLiteral("it broke"))};
        QTest::newRow("empty") << QList<TuvoBrowseResultDBusStruct>();
    }

    void browseRecordsInWireOrder()
    {
        QFETCH(QList<TuvoBrowseResultDBusStruct>, records);
        const QDBusMessage received = roundTrip(
            QStringLiteral("browse_result"),
            {7u, QVariant(QMetaType(TuvoBrowseResultDBusStruct::registerDBusTypes()), &records)});
        // An empty batch still carries the element signature.
        QCOMPARE(received.signature(), QStringLiteral("ua(iusaysus)"));
        QCOMPARE(received.arguments().at(0).toUInt(), 7u);
        QCOMPARE(ProxySourceRecorder::readBrowseRecords(received.arguments().at(1).value<QDBusArgument>()),
                 records);
    }

    void nullAndEmptyStringsTravelAlike()
    {
        TuvoBrowseResultDBusStruct withNull = browseRecord(0, 0, QString(), QByteArray());
        withNull.reserved = QString();
        TuvoBrowseResultDBusStruct withEmpty = withNull;
        withEmpty.objectId = QLatin1String("");
        withEmpty.reserved = QLatin1String("");
        withEmpty.errorMessage = QLatin1String("");
        const QList<TuvoBrowseResultDBusStruct> records{withNull, withEmpty};
        const QDBusMessage received = roundTrip(
            QStringLiteral("browse_result"),
            {1u, QVariant(QMetaType(TuvoBrowseResultDBusStruct::registerDBusTypes()), &records)});
        const auto back = ProxySourceRecorder::readBrowseRecords(received.arguments().at(1).value<QDBusArgument>());
        QCOMPARE(back.size(), 2);
        QCOMPARE(back.at(0), back.at(1));
        QVERIFY(back.at(0).objectId.isEmpty() && back.at(0).reserved.isEmpty());
    }

    void demarshallingReplacesTheList()
    {
        const QList<TuvoBrowseResultDBusStruct> records{browseRecord(1, 3, QStringLiteral("x"), "m"),
                                                        browseRecord(0, 4, QStringLiteral("y"), "n")};
        const QDBusMessage received = roundTrip(
            QStringLiteral("browse_result"),
            {1u, QVariant(QMetaType(TuvoBrowseResultDBusStruct::registerDBusTypes()), &records)});
        QList<TuvoBrowseResultDBusStruct> target{browseRecord(9, 9, QStringLiteral("old"), "old")};
        received.arguments().at(1).value<QDBusArgument>() >> target;
        QCOMPARE(target, records);
    }

    void queryRowsInWireOrder_data()
    {
        QTest::addColumn<QList<TuvoQueryResultDBusStruct>>("rows");
        QTest::newRow("rows") << QList<TuvoQueryResultDBusStruct>{
            {0, {QStringLiteral("id"), QStringLiteral("Title \u00e9\u4e2d"), QString()}},
            {5, {}},
            {4000000000u, {QStringLiteral("only")}}};
        QTest::newRow("empty") << QList<TuvoQueryResultDBusStruct>();
    }

    void queryRowsInWireOrder()
    {
        QFETCH(QList<TuvoQueryResultDBusStruct>, rows);
        const QDBusMessage received = roundTrip(
            QStringLiteral("query_result"),
            {3u, 2, QVariant(QMetaType(TuvoQueryResultDBusStruct::registerDBusTypes()), &rows), 0, QString()});
        QCOMPARE(received.signature(), QStringLiteral("uia(uas)is"));
        QCOMPARE(ProxySourceRecorder::readQueryRows(received.arguments().at(2).value<QDBusArgument>()), rows);

        const QDBusMessage again = roundTrip(
            QStringLiteral("query_result"),
            {3u, 2, QVariant(QMetaType(TuvoQueryResultDBusStruct::registerDBusTypes()), &rows), 0, QString()});
        QList<TuvoQueryResultDBusStruct> target{{1, {QStringLiteral("old")}}};
        again.arguments().at(2).value<QDBusArgument>() >> target;
        QCOMPARE(target, rows);
    }

    void stringListVector()
    {
        TuvoSource source(QStringLiteral("s"), QStringLiteral("p"), QStringLiteral("n"));
        new TuvoSourceAdaptor(&source);
        const QVector<QStringList> value{{QStringLiteral("a"), QStringLiteral("b")}, {}, {QStringLiteral("c")}};
        const QDBusMessage received = roundTrip(QStringLiteral("vector"), {QVariant::fromValue(value)});
        QCOMPARE(received.signature(), QStringLiteral("aas"));
        QVector<QStringList> back{{QStringLiteral("old")}};
        received.arguments().at(0).value<QDBusArgument>() >> back;
        QCOMPARE(back, value);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoResultRecords)
#include "tst_tuvoresultrecords.moc"
