#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoContent.h>
#include <TuvoMetadataEncoder.h>
#include <TuvoSourceAdaptor.h>

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

#include <glib-object.h>

#include <cstring>

namespace {
const char *const UnknownType = "TuvoSourceAdaptor::createBrowseResult: Unknown metadata type";

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// An entry "k" of one value: key, 0x00, count 1, tag, then the value bytes.
QByteArray entryOfK(quint8 tag, const QByteArray &value)
{
    QByteArray entry("k");
    entry.append('\0');
    entry.append(hex("01 00 00 00"));
    entry.append(char(tag)).append(hex("00 00 00"));
    return entry + value;
}

/*
 * The receiver's side, written the way a GLib client reads the blob: each tag is a
 * fundamental GType, and the value goes into a GValue of exactly that type. The
 * GValue is then turned back into the QVariant type it stands for.
 */
struct Decoded {
    QList<QPair<QString, QVariant>> entries;
    QList<GType> types;
    bool ok = true;
    QString error;
};

Decoded decodeWithGLib(const QByteArray &blob)
{
    Decoded result;
    const char *data = blob.constData();
    const qsizetype size = blob.size();
    qsizetype pos = 0;
    auto fail = [&](const QString &why) {
        result.ok = false;
        result.error = why + QStringLiteral(" at offset %1").arg(pos);
    };
    while (pos < size) {
        const char *keyEnd = static_cast<const char *>(std::memchr(data + pos, 0, size_t(size - pos)));
        if (!keyEnd) {
            fail(QStringLiteral("key without end"));
            break;
        }
        const QString key = QString::fromLatin1(data + pos, keyEnd - (data + pos));
        pos = keyEnd - data + 1;
        if (pos + 8 > size) {
            fail(QStringLiteral("no count and tag"));
            break;
        }
        const quint32 count = qFromLittleEndian<quint32>(data + pos);
        const GType type = GType(qFromLittleEndian<quint32>(data + pos + 4));
        pos += 8;
        if (count != 1) {
            fail(QStringLiteral("count %1").arg(count));
            break;
        }
        if (G_TYPE_FUNDAMENTAL(type) != type) {
            fail(QStringLiteral("tag %1 is not a fundamental type").arg(type));
            break;
        }
        GValue value = G_VALUE_INIT;
        g_value_init(&value, type);
        auto need = [&](qsizetype n) {
            if (pos + n <= size)
                return true;
            fail(QStringLiteral("value cut short"));
            return false;
        };
        switch (type) {
        case G_TYPE_BOOLEAN:
            if (!need(4))
                break;
            if (qFromLittleEndian<quint32>(data + pos) > 1)
                fail(QStringLiteral("boolean neither 0 nor 1"));
            g_value_set_boolean(&value, qFromLittleEndian<quint32>(data + pos) != 0);
            pos += 4;
            break;
        case G_TYPE_INT:
            if (!need(4))
                break;
            g_value_set_int(&value, qFromLittleEndian<qint32>(data + pos));
            pos += 4;
            break;
        case G_TYPE_UINT:
            if (!need(4))
                break;
            g_value_set_uint(&value, qFromLittleEndian<quint32>(data + pos));
            pos += 4;
            break;
        case G_TYPE_INT64:
            if (!need(8))
                break;
            g_value_set_int64(&value, qFromLittleEndian<qint64>(data + pos));
            pos += 8;
            break;
        case G_TYPE_UINT64:
            if (!need(8))
                break;
            g_value_set_uint64(&value, qFromLittleEndian<quint64>(data + pos));
            pos += 8;
            break;
        case G_TYPE_DOUBLE: {
            if (!need(8))
                break;
            const quint64 bits = qFromLittleEndian<quint64>(data + pos);
            double number;
            std::memcpy(&number, &bits, sizeof number);
            g_value_set_double(&value, number);
            pos += 8;
            break;
        }
        case G_TYPE_CHAR:
            if (!need(1))
                break;
            g_value_set_schar(&value, gint8(data[pos]));
            pos += 1;
            break;
        case G_TYPE_STRING: {
            const char *end = static_cast<const char *>(std::memchr(data + pos, 0, size_t(size - pos)));
            if (!end) {
                fail(QStringLiteral("string without end"));
                break;
            }
            g_value_set_string(&value, QByteArray(data + pos, end - (data + pos)).constData());
            pos = end - data + 1;
            break;
        }
        default:
            fail(QStringLiteral("unexpected type %1").arg(g_type_name(type)));
        }
        if (!result.ok) {
            g_value_unset(&value);
            break;
        }

        QVariant back;
        switch (G_VALUE_TYPE(&value)) {
        case G_TYPE_BOOLEAN:
            back = bool(g_value_get_boolean(&value));
            break;
        case G_TYPE_INT:
            back = int(g_value_get_int(&value));
            break;
        case G_TYPE_UINT:
            back = uint(g_value_get_uint(&value));
            break;
        case G_TYPE_INT64:
            back = qlonglong(g_value_get_int64(&value));
            break;
        case G_TYPE_UINT64:
            back = qulonglong(g_value_get_uint64(&value));
            break;
        case G_TYPE_DOUBLE:
            back = g_value_get_double(&value);
            break;
        case G_TYPE_CHAR:
            back = QVariant::fromValue(QChar(uchar(g_value_get_schar(&value))));
            break;
        case G_TYPE_STRING:
            back = QString::fromLatin1(g_value_get_string(&value));
            break;
        }
        result.types.append(G_VALUE_TYPE(&value));
        result.entries.append({key, back});
        g_value_unset(&value);
    }
    return result;
}

QStringList keysOf(const Decoded &decoded)
{
    QStringList keys;
    for (const auto &entry : decoded.entries)
        keys.append(entry.first);
    return keys;
}
} // namespace

// The metadata blob of browse results, and its reading by a GLib receiver.
class tst_TuvoMetadataEncoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleExampleIsEighteenBytes()
    {
        const QByteArray blob =
            TuvoMetadataEncoder::encode({{QStringLiteral("title"), QStringLiteral("abc")}});
        QCOMPARE(blob, hex("74 69 74 6c 65 00 01 00 00 00 40 00 00 00 61 62 63 00"));
    }

    void eachType_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bool true") << QVariant(true) << 0x14 << hex("01 00 00 00");
        QTest::newRow("bool false") << QVariant(false) << 0x14 << hex("00 00 00 00");
        QTest::newRow("int 1") << QVariant(1) << 0x18 << hex("01 00 00 00");
        QTest::newRow("int -2") << QVariant(-2) << 0x18 << hex("fe ff ff ff");
        QTest::newRow("int max") << QVariant(INT_MAX) << 0x18 << hex("ff ff ff 7f");
        QTest::newRow("uint 1") << QVariant(1u) << 0x1c << hex("01 00 00 00");
        QTest::newRow("uint big") << QVariant(0xdeadbeefu) << 0x1c << hex("ef be ad de");
        QTest::newRow("int64") << QVariant(qlonglong(0x0102030405060708LL)) << 0x28
                               << hex("08 07 06 05 04 03 02 01");
        QTest::newRow("int64 -1") << QVariant(qlonglong(-1)) << 0x28 << hex("ff ff ff ff ff ff ff ff");
        QTest::newRow("uint64") << QVariant(qulonglong(0x8000000000000001ULL)) << 0x2c
                                << hex("01 00 00 00 00 00 00 80");
        QTest::newRow("double 1.5") << QVariant(1.5) << 0x3c << hex("00 00 00 00 00 00 f8 3f");
        QTest::newRow("double -0.1") << QVariant(-0.1) << 0x3c << hex("9a 99 99 99 99 99 b9 bf");
        QTest::newRow("char") << QVariant::fromValue(QChar(u'x')) << 0x0c << hex("78");
        QTest::newRow("char latin-1") << QVariant::fromValue(QChar(0xe9)) << 0x0c << hex("e9");
        QTest::newRow("char beyond latin-1") << QVariant::fromValue(QChar(0x20ac)) << 0x0c << hex("3f");
        QTest::newRow("char nul") << QVariant::fromValue(QChar(0)) << 0x0c << hex("00");
        QTest::newRow("string") << QVariant(QStringLiteral("abc")) << 0x40 << hex("61 62 63 00");
        QTest::newRow("empty string") << QVariant(QString()) << 0x40 << hex("00");
        QTest::newRow("string latin-1") << QVariant(QStringLiteral("caf\u00e9")) << 0x40
                                        << hex("63 61 66 e9 00");
        QTest::newRow("string euro") << QVariant(QStringLiteral("5\u20ac")) << 0x40 << hex("35 3f 00");
        // One "?" per UTF-16 unit: a character beyond the BMP takes two.
        QTest::newRow("string surrogates") << QVariant(QString::fromUtf8("a\xF0\x9F\x8E\xB5z"))
                                           << 0x40 << hex("61 3f 3f 7a 00");
    }

    void eachType()
    {
        QFETCH(QVariant, value);
        QFETCH(int, tag);
        QFETCH(QByteArray, bytes);
        QCOMPARE(TuvoMetadataEncoder::encode({{QStringLiteral("k"), value}}),
                 entryOfK(quint8(tag), bytes));
    }

    void keysCharactersOutsideLatin1()
    {
        const QString key = QStringLiteral("t\u00eftle\u4e2d");
        const QByteArray blob = TuvoMetadataEncoder::encode({{key, 7}});
        QCOMPARE(blob.left(key.size() + 1), hex("74 ef 74 6c 65 3f 00"));
        QCOMPARE(blob.size(), key.size() + 1 + 8 + 4);
    }

    void keysInAscendingOrder()
    {
        QVariantMap map;
        map.insert(QStringLiteral("zeta"), 1);
        map.insert(QStringLiteral("Zulu"), 2);
        map.insert(QStringLiteral("alpha"), 3);
        map.insert(QStringLiteral("Alpha"), 4);
        map.insert(QStringLiteral("beta"), 5);
        const Decoded decoded = decodeWithGLib(TuvoMetadataEncoder::encode(map));
        QVERIFY2(decoded.ok, qPrintable(decoded.error));
        // UTF-16 order: upper case before lower case.
        QCOMPARE(keysOf(decoded), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Zulu"),
                                               QStringLiteral("alpha"), QStringLiteral("beta"),
                                               QStringLiteral("zeta")}));
    }

    void nothingEncodable_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<int>("warnings");
        QTest::newRow("empty map") << QVariantMap() << 0;
        QTest::newRow("string list") << QVariantMap{{QStringLiteral("a"), QStringList{QStringLiteral("x")}}} << 1;
        QTest::newRow("all unsupported")
            << QVariantMap{{QStringLiteral("invalid"), QVariant()},
                           {QStringLiteral("list"), QVariantList{1, 2}},
                           {QStringLiteral("map"), QVariantMap{{QStringLiteral("k"), 1}}},
                           {QStringLiteral("bytes"), QByteArray("raw")},
                           {QStringLiteral("when"), QDateTime::fromSecsSinceEpoch(0)},
                           {QStringLiteral("float"), QVariant(1.5f)},
                           {QStringLiteral("short"), QVariant::fromValue(short(3))},
                           {QStringLiteral("long"), QVariant::fromValue(long(3))},
                           {QStringLiteral("c char"), QVariant::fromValue('c')}}
            << 9;
    }

    void nothingEncodable()
    {
        QFETCH(QVariantMap, map);
        QFETCH(int, warnings);
        for (int i = 0; i < warnings; ++i)
            QTest::ignoreMessage(QtWarningMsg, UnknownType);
        QCOMPARE(TuvoMetadataEncoder::encode(map), QByteArray());
    }

    void unsupportedEntryLeftOutNeighboursKept()
    {
        QVariantMap map;
        map.insert(QStringLiteral("a"), 1);
        map.insert(QStringLiteral("b"), QStringList{QStringLiteral("x"), QStringLiteral("y")});
        map.insert(QStringLiteral("c"), QStringLiteral("z"));
        QTest::ignoreMessage(QtWarningMsg, UnknownType);
        const QByteArray blob = TuvoMetadataEncoder::encode(map);
        QCOMPARE(blob, TuvoMetadataEncoder::encode({{QStringLiteral("a"), 1}})
                           + TuvoMetadataEncoder::encode({{QStringLiteral("c"), QStringLiteral("z")}}));
    }

    // A NUL would end the key or string early and shift every later entry for the
    // receiver: such an entry is left out, the rest encoded as always.
    void nulCharacterLeavesTheEntryOut_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("warning");
        QTest::newRow("key") << QString::fromUtf16(u"b\0x", 3) << QVariant(QStringLiteral("v"))
                             << QStringLiteral("key");
        QTest::newRow("key ending in nul") << QString::fromUtf16(u"b\0", 2) << QVariant(5)
                                           << QStringLiteral("key");
        QTest::newRow("string value") << QStringLiteral("b") << QVariant(QString::fromUtf16(u"x\0y", 3))
                                      << QStringLiteral("value");
        QTest::newRow("string value of one nul") << QStringLiteral("b") << QVariant(QString(QChar(0)))
                                                 << QStringLiteral("value");
    }

    void nulCharacterLeavesTheEntryOut()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, warning);
        QVariantMap map;
        map.insert(QStringLiteral("a"), QStringLiteral("first"));
        map.insert(key, value);
        map.insert(QStringLiteral("c"), 3u);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^TuvoSourceAdaptor::createBrowseResult: "
                                                               "NUL character in metadata %1, entry left out: ")
                                                    .arg(warning)));
        const QByteArray blob = TuvoMetadataEncoder::encode(map);
        QCOMPARE(blob, TuvoMetadataEncoder::encode({{QStringLiteral("a"), QStringLiteral("first")},
                                                     {QStringLiteral("c"), 3u}}));
        const Decoded decoded = decodeWithGLib(blob);
        QVERIFY2(decoded.ok, qPrintable(decoded.error));
        QCOMPARE(keysOf(decoded), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    }

    void glibReadsEveryTypeBack_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qulonglong>("gtype");
        QTest::newRow("bool") << QVariant(true) << qulonglong(G_TYPE_BOOLEAN);
        QTest::newRow("int") << QVariant(-123456) << qulonglong(G_TYPE_INT);
        QTest::newRow("int min") << QVariant(INT_MIN) << qulonglong(G_TYPE_INT);
        QTest::newRow("uint") << QVariant(4000000000u) << qulonglong(G_TYPE_UINT);
        QTest::newRow("int64") << QVariant(qlonglong(-9000000000000LL)) << qulonglong(G_TYPE_INT64);
        QTest::newRow("uint64") << QVariant(qulonglong(18000000000000000000ULL)) << qulonglong(G_TYPE_UINT64);
        QTest::newRow("double") << QVariant(3.141592653589793) << qulonglong(G_TYPE_DOUBLE);
        QTest::newRow("double tiny") << QVariant(4.9e-324) << qulonglong(G_TYPE_DOUBLE);
        QTest::newRow("char") << QVariant::fromValue(QChar(u'Q')) << qulonglong(G_TYPE_CHAR);
        QTest::newRow("char high latin-1") << QVariant::fromValue(QChar(0xfc)) << qulonglong(G_TYPE_CHAR);
        QTest::newRow("string") << QVariant(QStringLiteral("Gr\u00fc\u00dfe, world")) << qulonglong(G_TYPE_STRING);
        QTest::newRow("empty string") << QVariant(QString()) << qulonglong(G_TYPE_STRING);
    }

    void glibReadsEveryTypeBack()
    {
        QFETCH(QVariant, value);
        QFETCH(qulonglong, gtype);
        const QByteArray blob = TuvoMetadataEncoder::encode(
            {{QStringLiteral("before"), QStringLiteral("x")}, {QStringLiteral("key"), value}, {QStringLiteral("later"), 42}});
        const Decoded decoded = decodeWithGLib(blob);
        QVERIFY2(decoded.ok, qPrintable(decoded.error));
        QCOMPARE(decoded.entries.size(), 3);
        QCOMPARE(decoded.entries.at(1).first, QStringLiteral("key"));
        QCOMPARE(qulonglong(decoded.types.at(1)), gtype);
        QCOMPARE(decoded.entries.at(1).second.metaType(), value.metaType());
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(decoded.entries.at(1).second.toString(), value.toString());
        else
            QCOMPARE(decoded.entries.at(1).second, value);
        // The entry after it is read from the right offset.
        QCOMPARE(decoded.entries.at(2).second, QVariant(42));
    }

    void glibReadsAWholeRecordBack()
    {
        QVariantMap map;
        map.insert(QStringLiteral("album"), QStringLiteral("Blue"));
        map.insert(QStringLiteral("duration"), 215);
        map.insert(QStringLiteral("is_container"), false);
        map.insert(QStringLiteral("rating"), 0.75);
        map.insert(QStringLiteral("size"), qlonglong(1) << 40);
        map.insert(QStringLiteral("track"), 3u);
        map.insert(QStringLiteral("played"), qulonglong(12));
        map.insert(QStringLiteral("grade"), QVariant::fromValue(QChar(u'A')));
        const Decoded decoded = decodeWithGLib(TuvoMetadataEncoder::encode(map));
        QVERIFY2(decoded.ok, qPrintable(decoded.error));
        QVariantMap back;
        for (const auto &entry : decoded.entries)
            back.insert(entry.first, entry.second);
        QCOMPARE(back, map);
    }

    void largeValues()
    {
        // Sizes well beyond any small-buffer guess.
        const QString longText(70000, QChar(u'w'));
        QVariantMap map;
        for (int i = 0; i < 300; ++i)
            map.insert(QStringLiteral("key%1").arg(i, 3, 10, QLatin1Char('0')), i % 2 ? QVariant(longText.left(i * 50)) : QVariant(i));
        map.insert(longText, longText);
        const Decoded decoded = decodeWithGLib(TuvoMetadataEncoder::encode(map));
        QVERIFY2(decoded.ok, qPrintable(decoded.error));
        QCOMPARE(decoded.entries.size(), map.size());
        QCOMPARE(decoded.entries.last().second.toString(), longText);
    }

    void createBrowseResultFillsTheRecord()
    {
        const QVariantMap meta{{QStringLiteral("title"), QStringLiteral("abc")}};
        const TuvoContent content(QStringLiteral("item_7"), meta);
        TuvoBrowseResultDBusStruct record;
        record.reserved = QStringLiteral("stale");
        record.errorMessage = QStringLiteral("stale");
        TuvoSourceAdaptor::createBrowseResult(record, 7, -3, &content, 0);
        QCOMPARE(record.index, 7u);
        QCOMPARE(record.remainingCount, -3);
        QCOMPARE(record.objectId, QStringLiteral("item_7"));
        QCOMPARE(record.metadata, hex("74 69 74 6c 65 00 01 00 00 00 40 00 00 00 61 62 63 00"));
        QVERIFY(record.reserved.isEmpty());
        QCOMPARE(record.errorCode, 0u);
        QVERIFY(record.errorMessage.isEmpty());
    }

    void createBrowseResultWithoutContent()
    {
        TuvoBrowseResultDBusStruct record;
        record.objectId = QStringLiteral("stale");
        record.metadata = "stale";
        TuvoSourceAdaptor::createBrowseResult(record, 2, 0, nullptr, 9);
        QVERIFY(record.objectId.isEmpty());
        QVERIFY(record.metadata.isEmpty());
        QCOMPARE(record.index, 2u);
        QCOMPARE(record.remainingCount, 0);
        QCOMPARE(record.errorCode, 9u);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMetadataEncoder)
#include "tst_tuvometadataencoder.moc"
