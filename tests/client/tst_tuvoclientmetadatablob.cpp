#include "TuvoClientBrowseResult.h"
#include "TuvoClientMetadataBlob.h"

#include <QTest>

#include <limits>

Q_DECLARE_METATYPE(QVariantMap)

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// One entry as the wrapper writes it: key, 0, count 1, tag, value bytes.
QByteArray entry(const QByteArray &key, quint8 tag, const QByteArray &value)
{
    return key + '\0' + hex("01000000") + char(tag) + hex("000000") + value;
}
} // namespace

// The metadata blob of browse results: every type back to its own QVariant type, and
// malformed blobs refused as a whole without reading beyond them.
class tst_TuvoClientMetadataBlob : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesEveryType_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("string") << hex("7469746c6500 01000000 40000000 61626300") << QVariant(QStringLiteral("abc"));
        QTest::newRow("empty string") << entry("k", 0x40, QByteArray(1, '\0')) << QVariant(QString());
        QTest::newRow("latin-1 string") << entry("k", 0x40, QByteArray("gr\xfc\xdf", 4) + '\0')
                                        << QVariant(QString::fromLatin1("gr\xfc\xdf"));
        QTest::newRow("bool true") << entry("k", 0x14, hex("01000000")) << QVariant(true);
        QTest::newRow("bool false") << entry("k", 0x14, hex("00000000")) << QVariant(false);
        QTest::newRow("int") << entry("k", 0x18, hex("01000000")) << QVariant(int(1));
        QTest::newRow("negative int") << entry("k", 0x18, hex("feffffff")) << QVariant(int(-2));
        QTest::newRow("uint") << entry("k", 0x1c, hex("01000000")) << QVariant(uint(1));
        QTest::newRow("uint max") << entry("k", 0x1c, hex("ffffffff")) << QVariant(uint(0xffffffffu));
        QTest::newRow("int64") << entry("k", 0x28, hex("0100000000000080"))
                               << QVariant(qlonglong(std::numeric_limits<qint64>::min() + 1));
        QTest::newRow("uint64") << entry("k", 0x2c, hex("0807060504030201"))
                                << QVariant(qulonglong(0x0102030405060708ull));
        QTest::newRow("double") << entry("k", 0x3c, hex("000000000000f83f")) << QVariant(1.5);
        QTest::newRow("char") << entry("k", 0x0c, "x") << QVariant::fromValue(QChar(QLatin1Char('x')));
    }

    void decodesEveryType()
    {
        QFETCH(QByteArray, blob);
        QFETCH(QVariant, expected);
        QVariantMap metadata;
        QString error;
        QVERIFY2(TuvoClientMetadataBlob::decode(blob, &metadata, &error), qPrintable(error));
        QCOMPARE(metadata.size(), 1);
        const QVariant value = metadata.first();
        QCOMPARE(value.metaType(), expected.metaType());
        QCOMPARE(value, expected);
    }

    void decodesSeveralEntriesInOrder()
    {
        const QByteArray blob = entry("album", 0x40, QByteArray("Harbour Lights") + '\0')
                                + entry("duration", 0x1c, hex("d4000000")) + entry("is_container", 0x14, hex("00000000"))
                                + entry("track_number", 0x18, hex("01000000"));
        QVariantMap metadata;
        QVERIFY(TuvoClientMetadataBlob::decode(blob, &metadata));
        QCOMPARE(metadata, (QVariantMap{{QStringLiteral("album"), QStringLiteral("Harbour Lights")},
                                        {QStringLiteral("duration"), 212u},
                                        {QStringLiteral("is_container"), false},
                                        {QStringLiteral("track_number"), 1}}));
    }

    void emptyBlobIsEmptyMetadata()
    {
        QVariantMap metadata{{QStringLiteral("stale"), 1}};
        QVERIFY(TuvoClientMetadataBlob::decode(QByteArray(), &metadata));
        QVERIFY(metadata.isEmpty());
    }

    void refusesMalformedBlobs_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<QString>("reason");

        const QByteArray good = entry("a", 0x18, hex("01000000"));
        QTest::newRow("key without its 0 byte") << QByteArray("title") << QStringLiteral("no terminating 0");
        QTest::newRow("no count") << QByteArray("k\0", 2) << QStringLiteral("before its type tag");
        QTest::newRow("count cut short") << QByteArray("k\0\1\0", 4) << QStringLiteral("before its type tag");
        QTest::newRow("no tag") << QByteArray("k\0", 2) + hex("01000000") << QStringLiteral("before its type tag");
        QTest::newRow("count 0") << QByteArray("k\0", 2) + hex("00000000 18000000 01000000")
                                 << QStringLiteral("0 values instead of 1");
        QTest::newRow("count 2") << QByteArray("k\0", 2) + hex("02000000 18000000 01000000 02000000")
                                 << QStringLiteral("2 values instead of 1");
        QTest::newRow("unknown tag") << entry("k", 0x50, hex("01000000")) << QStringLiteral("unknown type tag 80");
        QTest::newRow("tag with high bytes") << QByteArray("k\0", 2) + hex("01000000 18000001 01000000")
                                             << QStringLiteral("unknown type tag");
        QTest::newRow("int cut short") << entry("k", 0x18, hex("0100")) << QStringLiteral("cut short");
        QTest::newRow("bool cut short") << entry("k", 0x14, hex("01")) << QStringLiteral("cut short");
        QTest::newRow("uint64 cut short") << entry("k", 0x2c, hex("01020304050607")) << QStringLiteral("cut short");
        QTest::newRow("double cut short") << entry("k", 0x3c, hex("0000")) << QStringLiteral("cut short");
        QTest::newRow("char missing") << entry("k", 0x0c, QByteArray()) << QStringLiteral("cut short");
        QTest::newRow("string without its 0 byte") << entry("k", 0x40, "abc") << QStringLiteral("cut short");
        QTest::newRow("good entry, then a cut one") << good + QByteArray("b\0\1", 3) << QStringLiteral("\"b\"");
        QTest::newRow("key twice") << good + good << QStringLiteral("occurs twice");
    }

    void refusesMalformedBlobs()
    {
        QFETCH(QByteArray, blob);
        QFETCH(QString, reason);
        QVariantMap metadata{{QStringLiteral("stale"), 1}};
        QString error;
        QVERIFY(!TuvoClientMetadataBlob::decode(blob, &metadata, &error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        // Nothing half-read is left behind.
        QVERIFY(metadata.isEmpty());
    }

    void malformedBlobIsAnErrorOfItsRecordOnly()
    {
        TuvoClientBrowseRecord record;
        record.index = 3;
        record.remainingCount = 7;
        record.objectId = QStringLiteral("track_3");
        record.metadata = entry("k", 0x99, hex("00"));
        const TuvoClientBrowseResult result = TuvoClientBrowseResult::fromRecord(record);
        QCOMPARE(result.index, 3u);
        QCOMPARE(result.remainingCount, 7);
        QCOMPARE(result.objectId, QStringLiteral("track_3"));
        QVERIFY(result.metadata.isEmpty());
        QVERIFY(result.hasMetadataError());
        QVERIFY(result.metadataError.startsWith(QLatin1String("malformed metadata: ")));
    }

    void encodesAsTheWrapperDoes()
    {
        // The wrapper's own example: title = "abc".
        QCOMPARE(TuvoClientMetadataBlob::encode({{QStringLiteral("title"), QStringLiteral("abc")}}),
                 hex("74 69 74 6c 65 00 01 00 00 00 40 00 00 00 61 62 63 00"));
        // Keys in ascending order, upper case first; unsupported types left out.
        QStringList skipped;
        const QByteArray blob = TuvoClientMetadataBlob::encode(
            {{QStringLiteral("b"), 1}, {QStringLiteral("B"), 2u},
             {QStringLiteral("list"), QStringList{QStringLiteral("x")}}, {QStringLiteral("a"), true}},
            &skipped);
        QCOMPARE(blob, entry("B", 0x1c, hex("02000000")) + entry("a", 0x14, hex("01000000"))
                           + entry("b", 0x18, hex("01000000")));
        QCOMPARE(skipped, QStringList{QStringLiteral("list")});
        // Outside Latin-1 becomes "?", one byte per UTF-16 unit.
        QCOMPARE(TuvoClientMetadataBlob::encode({{QString::fromUtf8("\xe2\x82\xac"), QString::fromUtf8("a\xe2\x82\xac")}}),
                 entry("?", 0x40, QByteArray("a?") + '\0'));
    }

    void roundTripKeepsTypesAndValues()
    {
        const QVariantMap metadata{
            {QStringLiteral("bool"), true},
            {QStringLiteral("char"), QVariant::fromValue(QChar(QLatin1Char('z')))},
            {QStringLiteral("double"), -0.125},
            {QStringLiteral("int"), std::numeric_limits<int>::min()},
            {QStringLiteral("int64"), qlonglong(std::numeric_limits<qint64>::max())},
            {QStringLiteral("string"), QStringLiteral("Night Ferry")},
            {QStringLiteral("uint"), std::numeric_limits<uint>::max()},
            {QStringLiteral("uint64"), qulonglong(std::numeric_limits<quint64>::max())},
        };
        QVariantMap decoded;
        QVERIFY(TuvoClientMetadataBlob::decode(TuvoClientMetadataBlob::encode(metadata), &decoded));
        QCOMPARE(decoded, metadata);
        for (auto it = metadata.constBegin(); it != metadata.constEnd(); ++it)
            QCOMPARE(decoded.value(it.key()).metaType(), it.value().metaType());
    }
};

QTEST_APPLESS_MAIN(tst_TuvoClientMetadataBlob)
#include "tst_tuvoclientmetadatablob.moc"
