#include "BusClient.h"
#include "BusSignalRecorder.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoDBusValue.h>
#include <TuvoMediaInfoDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QTest>

namespace {
const QString Path = QStringLiteral("/test/wire");
const QString Interface = QStringLiteral("org.example.wire");

TuvoBrowseResultDBusStruct browseRecord(int remaining, uint index, const QString &objectId, const QByteArray &metadata,
                                        uint code = 0, const QString &message = QString())
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

TuvoMediaInfoDBusStruct mediaInfo(const QString &uuid, const QMap<QString, QVariantList> &metadata)
{
    TuvoMediaInfoDBusStruct info;
    info.uuid = uuid;
    info.metadata = metadata;
    return info;
}

template <typename T>
QVariant variantOf(const T &value)
{
    return QVariant::fromValue(value);
}
} // namespace

// Every wire type: its D-Bus signature, and a trip through a real bus from another
// connection that gives back what was sent.
class tst_WireTypes : public QObject
{
    Q_OBJECT

    BusClient receiver;

    // Sends \a value as the one argument of a signal; the message as it arrived.
    QDBusMessage overTheBus(const QVariant &value)
    {
        BusSignalRecorder recorder(QString(), Path, Interface, QStringLiteral("record"), receiver.connection());
        QDBusMessage signal = QDBusMessage::createSignal(Path, Interface, QStringLiteral("record"));
        signal << value;
        if (!recorder.isConnected() || !QDBusConnection::sessionBus().send(signal) || !recorder.waitForCount(1))
            return QDBusMessage();
        return recorder.messages().first();
    }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoBrowseResultDBusStruct::registerDBusTypes();
        TuvoQueryResultDBusStruct::registerDBusTypes();
        TuvoMediaInfoDBusStruct::registerMetaType();
        QVERIFY(receiver.isConnected());
        // Registering again changes nothing.
        QCOMPARE(TuvoBrowseResultDBusStruct::registerDBusTypes(), qMetaTypeId<QList<TuvoBrowseResultDBusStruct>>());
        QCOMPARE(TuvoQueryResultDBusStruct::registerDBusTypes(), qMetaTypeId<QList<TuvoQueryResultDBusStruct>>());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QVariant>("expected");
        using Browse = QList<TuvoBrowseResultDBusStruct>;
        using Query = QList<TuvoQueryResultDBusStruct>;
        // A null string travels as an empty one.
        const Browse results{browseRecord(2, 0, QStringLiteral("a"), QByteArray("\x00\x01\xff", 3)),
                             browseRecord(1, 1, QStringLiteral("b\u00e9\u4e2d"), QByteArray()),
                             browseRecord(-5, 4000000000u, QString(), QByteArray(1000, 'x'))};
        QTest::newRow("browse results") << variantOf(results) << "a(iusaysus)" << variantOf(results);
        const Browse error{browseRecord(0, 0, QString(), QByteArray(), 42, QStringLiteral("it broke"))};
        QTest::newRow("browse error") << variantOf(error) << "a(iusaysus)" << variantOf(error);
        // An empty batch still carries the element signature.
        QTest::newRow("no browse records") << variantOf(Browse()) << "a(iusaysus)" << variantOf(Browse());
        const Query rows{{0, {QStringLiteral("id"), QStringLiteral("Title \u00e9\u4e2d"), QString()}},
                         {5, {}},
                         {4000000000u, {QStringLiteral("only")}}};
        QTest::newRow("query rows") << variantOf(rows) << "a(uas)" << variantOf(rows);
        QTest::newRow("no query rows") << variantOf(Query()) << "a(uas)" << variantOf(Query());
        // Each value comes back with its own D-Bus type, not as text.
        const auto info = mediaInfo(QStringLiteral("track_1"),
                                    {{QStringLiteral("Z"), {1}},
                                     {QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben")}},
                                     {QStringLiteral("genre"), {}},
                                     {QStringLiteral("\u00e9t\u00e9"), {true, 2.5, qlonglong(-7), 4000000000u}},
                                     {QStringLiteral("tags"), {QVariant(QVariantList{1, QStringLiteral("x")})}}});
        QTest::newRow("media info") << variantOf(info) << "(sa{sav})" << variantOf(info);
        QTest::newRow("empty media info") << variantOf(TuvoMediaInfoDBusStruct()) << "(sa{sav})"
                                          << variantOf(TuvoMediaInfoDBusStruct());
        // (sa{sav}) with a key twice, as a peer may send it.
        QDBusArgument repeated;
        repeated.beginStructure();
        repeated << QStringLiteral("twice");
        repeated.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QVariantList>());
        for (const auto &[key, values] : {std::pair{"artist", QVariantList{"Ada"}}, {"title", {"T"}}, {"artist", {"Ben", 3}}}) {
            repeated.beginMapEntry();
            repeated << QString::fromLatin1(key);
            repeated.beginArray(QMetaType::fromType<QDBusVariant>());
            for (const QVariant &value : values)
                repeated << QDBusVariant(value);
            repeated.endArray();
            repeated.endMapEntry();
        }
        repeated.endMap();
        repeated.endStructure();
        QTest::newRow("repeated key keeps every value")
            << variantOf(repeated) << "(sa{sav})"
            << variantOf(mediaInfo(QStringLiteral("twice"),
                                   {{QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben"), 3}},
                                    {QStringLiteral("title"), {QStringLiteral("T")}}}));
    }
    void roundTrip()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, signature);
        QFETCH(QVariant, expected);
        const QDBusMessage received = overTheBus(value);
        QCOMPARE(received.signature(), signature);
        QVariant back(expected.metaType());
        // Demarshalling replaces whatever the target held.
        QVERIFY(QDBusMetaType::demarshall(received.arguments().at(0).value<QDBusArgument>(), expected.metaType(),
                                          back.data()));
        QCOMPARE(back, expected);
    }

    void plainValues_data()
    {
        QTest::addColumn<QVariant>("sent");
        QTest::addColumn<QVariant>("plain");
        QTest::newRow("list") << QVariant(QVariantList{1, QStringLiteral("a")}) << QVariant(QVariantList{1, QStringLiteral("a")});
        QTest::newRow("string list") << QVariant(QStringList{QStringLiteral("a")}) << QVariant(QStringList{QStringLiteral("a")});
        QTest::newRow("map") << QVariant(QVariantMap{{QStringLiteral("k"), 2}}) << QVariant(QVariantMap{{QStringLiteral("k"), 2}});
        QTest::newRow("bytes") << QVariant(QByteArray("ab")) << QVariant(QByteArray("ab"));
        QTest::newRow("nested variant") << variantOf(QDBusVariant(QVariant(3u))) << QVariant(3u);
        QTest::newRow("object path") << variantOf(QDBusObjectPath("/a")) << variantOf(QDBusObjectPath("/a"));
    }
    void plainValues()
    {
        QFETCH(QVariant, sent);
        QFETCH(QVariant, plain);
        const QDBusMessage received = overTheBus(variantOf(QDBusVariant(sent)));
        const QVariant back = TuvoDBusValue::plain(received.arguments().at(0));
        QCOMPARE(back, plain);
    }
    void plainUnwrapsLocalLists()
    {
        const QVariantList local{variantOf(QDBusVariant(variantOf(QDBusVariant(7u)))), QStringLiteral("x")};
        QCOMPARE(TuvoDBusValue::plain(local), QVariant(QVariantList{7u, QStringLiteral("x")}));
    }
};

QTEST_GUILESS_MAIN(tst_WireTypes)
#include "tst_wiretypes.moc"
