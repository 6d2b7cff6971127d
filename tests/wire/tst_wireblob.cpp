#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>

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
QByteArray entryOfK(quint32 tag, const QByteArray &value)
{
    QByteArray entry("k\0", 2);
    entry.append(hex("01 00 00 00"));
    char bytes[4];
    qToLittleEndian(tag, bytes);
    return entry.append(bytes, 4) + value;
}

/*
 * The independent reader: the blob read the way a GLib receiver reads it, each tag a
 * fundamental GType whose GValue takes the value. Returns the entries in blob order,
 * or fails the test.
 */
QList<QPair<QString, QVariant>> readWithGLib(const QByteArray &blob)
{
    QList<QPair<QString, QVariant>> entries;
    const char *p = blob.constData();
    const char *const end = p + blob.size();
    auto cString = [&](QByteArray *out) {
        const char *nul = static_cast<const char *>(std::memchr(p, 0, size_t(end - p)));
        if (!nul)
            return false;
        *out = QByteArray(p, int(nul - p));
        p = nul + 1;
        return true;
    };
    while (p < end) {
        QByteArray key;
        if (!cString(&key) || end - p < 8)
            return {};
        const quint32 count = qFromLittleEndian<quint32>(p);
        const GType type = GType(qFromLittleEndian<quint32>(p + 4));
        p += 8;
        if (count != 1 || G_TYPE_FUNDAMENTAL(type) != type)
            return {};
        GValue value = G_VALUE_INIT;
        g_value_init(&value, type);
        qsizetype width = type == G_TYPE_CHAR ? 1 : (type == G_TYPE_INT64 || type == G_TYPE_UINT64
                                                            || type == G_TYPE_DOUBLE) ? 8 : 4;
        if (type != G_TYPE_STRING && end - p < width)
            return {};
        QVariant back;
        QByteArray text;
        double number;
        switch (type) {
        case G_TYPE_BOOLEAN: g_value_set_boolean(&value, qFromLittleEndian<quint32>(p)); back = bool(g_value_get_boolean(&value)); break;
        case G_TYPE_INT: g_value_set_int(&value, qFromLittleEndian<qint32>(p)); back = int(g_value_get_int(&value)); break;
        case G_TYPE_UINT: g_value_set_uint(&value, qFromLittleEndian<quint32>(p)); back = uint(g_value_get_uint(&value)); break;
        case G_TYPE_INT64: g_value_set_int64(&value, qFromLittleEndian<qint64>(p)); back = qlonglong(g_value_get_int64(&value)); break;
        case G_TYPE_UINT64: g_value_set_uint64(&value, qFromLittleEndian<quint64>(p)); back = qulonglong(g_value_get_uint64(&value)); break;
        case G_TYPE_CHAR: g_value_set_schar(&value, gint8(*p)); back = QVariant::fromValue(QChar(uchar(g_value_get_schar(&value)))); break;
        case G_TYPE_DOUBLE:
            std::memcpy(&number, p, 8); // little-endian machine, as the blob
            g_value_set_double(&value, number);
            back = g_value_get_double(&value);
            break;
        case G_TYPE_STRING:
            if (!cString(&text))
                return {};
            g_value_set_string(&value, text.constData());
            back = QString::fromLatin1(g_value_get_string(&value));
            width = 0;
            break;
        default:
            return {};
        }
        g_value_unset(&value);
        p += width;
        entries.append({QString::fromLatin1(key), back});
    }
    return entries;
}
} // namespace

// The metadata blob of browse results: its bytes, its reading by a GLib receiver and by
// our own decoder.
class tst_WireBlob : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each row: the exact bytes of one value, which GLib and the decoder read back as it was.
    void eachType_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("readBack");
        QTest::newRow("bool true") << QVariant(true) << 0x14 << hex("01 00 00 00") << QVariant(true);
        QTest::newRow("bool false") << QVariant(false) << 0x14 << hex("00 00 00 00") << QVariant(false);
        QTest::newRow("int -2") << QVariant(-2) << 0x18 << hex("fe ff ff ff") << QVariant(-2);
        QTest::newRow("uint big") << QVariant(0xdeadbeefu) << 0x1c << hex("ef be ad de") << QVariant(0xdeadbeefu);
        QTest::newRow("int64") << QVariant(qlonglong(0x0102030405060708LL)) << 0x28
                               << hex("08 07 06 05 04 03 02 01") << QVariant(qlonglong(0x0102030405060708LL));
        QTest::newRow("uint64") << QVariant(qulonglong(0x8000000000000001ULL)) << 0x2c
                                << hex("01 00 00 00 00 00 00 80") << QVariant(qulonglong(0x8000000000000001ULL));
        QTest::newRow("double -0.1") << QVariant(-0.1) << 0x3c << hex("9a 99 99 99 99 99 b9 bf") << QVariant(-0.1);
        QTest::newRow("char") << QVariant::fromValue(QChar(u'x')) << 0x0c << hex("78") << QVariant::fromValue(QChar(u'x'));
        QTest::newRow("char latin-1") << QVariant::fromValue(QChar(0xe9)) << 0x0c << hex("e9")
                                      << QVariant::fromValue(QChar(0xe9));
        QTest::newRow("char beyond latin-1") << QVariant::fromValue(QChar(0x20ac)) << 0x0c << hex("3f")
                                             << QVariant::fromValue(QChar(u'?'));
        QTest::newRow("empty string") << QVariant(QString()) << 0x40 << hex("00") << QVariant(QString(""));
        QTest::newRow("string latin-1") << QVariant(QStringLiteral("caf\u00e9")) << 0x40 << hex("63 61 66 e9 00")
                                        << QVariant(QStringLiteral("caf\u00e9"));
        // One "?" per UTF-16 unit: a character beyond the BMP takes two.
        QTest::newRow("string surrogates") << QVariant(QString::fromUtf8("a\xF0\x9F\x8E\xB5z")) << 0x40
                                           << hex("61 3f 3f 7a 00") << QVariant(QStringLiteral("a??z"));
    }
    void eachType()
    {
        QFETCH(QVariant, value);
        QFETCH(int, tag);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, readBack);
        // Neighbours on both sides: a wrong width shifts the entry after it.
        const QVariantMap map{{QStringLiteral("a"), QStringLiteral("x")}, {QStringLiteral("k"), value},
                              {QStringLiteral("z"), 42}};
        const QByteArray blob = TuvoMetadataEncoder::encode(map);
        const QByteArray first = TuvoMetadataEncoder::encode({{QStringLiteral("a"), QStringLiteral("x")}});
        QCOMPARE(blob.mid(first.size(), 10 + bytes.size()), entryOfK(quint32(tag), bytes));

        const QVariantMap expected{{QStringLiteral("a"), QStringLiteral("x")}, {QStringLiteral("k"), readBack},
                                   {QStringLiteral("z"), 42}};
        QVariantMap decoded;
        QString error;
        QVERIFY2(TuvoMetadataDecoder::decode(blob, &decoded, &error), qPrintable(error));
        QCOMPARE(decoded, expected);
        QCOMPARE(decoded.value(QStringLiteral("k")).metaType(), readBack.metaType());
        const auto glib = readWithGLib(blob);
        QCOMPARE(glib.size(), 3);
        QCOMPARE(glib.at(1).second, readBack);
        QCOMPARE(glib.at(2).second, QVariant(42));
    }

    void wholeBlobs_data()
    {
        QTest::addColumn<QVariantMap>("map");
        QTest::addColumn<QByteArray>("blob");
        QTest::newRow("title example, 18 bytes") << QVariantMap{{QStringLiteral("title"), QStringLiteral("abc")}}
                                                 << hex("74 69 74 6c 65 00 01 00 00 00 40 00 00 00 61 62 63 00");
        QTest::newRow("key beyond latin-1") << QVariantMap{{QStringLiteral("t\u00efle\u4e2d"), 7}}
                                            << hex("74 ef 6c 65 3f 00 01 00 00 00 18 00 00 00 07 00 00 00");
        // UTF-16 order: upper case before lower case.
        QTest::newRow("ascending keys") << QVariantMap{{QStringLiteral("b"), true}, {QStringLiteral("B"), false}}
                                        << hex("42 00 01 00 00 00 14 00 00 00 00 00 00 00"
                                               "62 00 01 00 00 00 14 00 00 00 01 00 00 00");
        QTest::newRow("empty map") << QVariantMap() << QByteArray();
    }
    void wholeBlobs()
    {
        QFETCH(QVariantMap, map);
        QFETCH(QByteArray, blob);
        QCOMPARE(TuvoMetadataEncoder::encode(map), blob);
    }

    // What cannot be encoded is left out with a warning; the rest of the blob stands. One row per
    // kind of value a converting encoder would take: none, a number, something with a text form.
    void entriesLeftOut_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("warning");
        QTest::newRow("invalid") << "b" << QVariant() << UnknownType;
        QTest::newRow("bytes") << "b" << QVariant(QByteArray("raw")) << UnknownType;
        QTest::newRow("float") << "b" << QVariant(1.5f) << UnknownType;
        QTest::newRow("c char") << "b" << QVariant::fromValue('c') << UnknownType;
        // A NUL would end the key or string early and shift every later entry.
        QTest::newRow("nul in key") << QString::fromUtf16(u"b\0x", 3) << QVariant(QStringLiteral("v"))
                                    << "NUL character in metadata key";
        QTest::newRow("key ending in nul") << QString::fromUtf16(u"b\0", 2) << QVariant(5)
                                           << "NUL character in metadata key";
        QTest::newRow("nul in value") << "b" << QVariant(QString::fromUtf16(u"x\0y", 3))
                                      << "NUL character in metadata value";
    }
    void entriesLeftOut()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QString, warning);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
        const QVariantMap rest{{QStringLiteral("a"), QStringLiteral("first")}, {QStringLiteral("c"), 3u}};
        QVariantMap map = rest;
        map.insert(key, value);
        const QByteArray blob = TuvoMetadataEncoder::encode(map);
        QCOMPARE(blob, TuvoMetadataEncoder::encode(rest));
        QCOMPARE(readWithGLib(blob).size(), 2);
        // Nothing encodable at all is an empty blob.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
        QCOMPARE(TuvoMetadataEncoder::encode({{key, value}}).size(), 0);
    }

    void largeValues()
    {
        const QString longText(70000, QChar(u'w'));
        QVariantMap map;
        for (int i = 0; i < 300; ++i)
            map.insert(QStringLiteral("key%1").arg(i, 3, 10, QLatin1Char('0')),
                       i % 2 ? QVariant(longText.left(i * 50)) : QVariant(i));
        map.insert(longText, longText);
        QVariantMap decoded;
        QVERIFY(TuvoMetadataDecoder::decode(TuvoMetadataEncoder::encode(map), &decoded));
        QCOMPARE(decoded, map);
    }

    // The decoder refuses a blob that does not follow the format, as a whole.
    void malformedBlobs_data()
    {
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<QString>("error");
        const QByteArray good = entryOfK(0x18, hex("01000000"));
        QTest::newRow("key without its 0 byte") << QByteArray("title") << "no terminating 0";
        QTest::newRow("no count") << QByteArray("k\0", 2) << "before its type tag";
        QTest::newRow("count 0") << QByteArray("k\0", 2) + hex("00000000 18000000 01000000") << "0 values";
        QTest::newRow("unknown tag") << entryOfK(0x50, hex("01000000")) << "unknown type tag 80";
        QTest::newRow("tag with high bytes") << QByteArray("k\0", 2) + hex("01000000 18000001 01000000")
                                             << "unknown type tag";
        QTest::newRow("int cut short") << entryOfK(0x18, hex("0100")) << "cut short";
        QTest::newRow("uint64 cut short") << entryOfK(0x2c, hex("01020304050607")) << "cut short";
        QTest::newRow("char missing") << entryOfK(0x0c, QByteArray()) << "cut short";
        QTest::newRow("string without its 0 byte") << entryOfK(0x40, "abc") << "cut short";
        QTest::newRow("good entry, then a cut one") << good + QByteArray("b\0\1", 3) << "\"b\"";
        QTest::newRow("key twice") << good + good << "occurs twice";
    }
    void malformedBlobs()
    {
        QFETCH(QByteArray, blob);
        QFETCH(QString, error);
        QVariantMap decoded{{QStringLiteral("stale"), 1}};
        QString why;
        QVERIFY(!TuvoMetadataDecoder::decode(blob, &decoded, &why));
        QVERIFY(decoded.isEmpty());
        QVERIFY2(why.contains(error), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(tst_WireBlob)
#include "tst_wireblob.moc"
