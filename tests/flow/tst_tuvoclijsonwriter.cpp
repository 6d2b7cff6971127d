// tuvo-client's JSON lines, written directly, against what QJsonDocument made of the
// same results before: the same object, and the same bytes as QJsonDocument's line.
#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoCliJsonWriter.h>
#include <TuvoCliOutput.h>
#include <TuvoClientBrowseResult.h>
#include <TuvoClientValue.h>
#include <TuvoMetadataEncoder.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

namespace {
// One blob entry by hand, for blobs the encoder would not write.
QByteArray entry(const QByteArray &key, quint32 tag, const QByteArray &value)
{
    QByteArray bytes = key + '\0';
    char numbers[8];
    qToLittleEndian<quint32>(1, numbers);
    qToLittleEndian<quint32>(tag, numbers + 4);
    return bytes + QByteArray(numbers, 8) + value;
}

// The line as tuvo-client built it with QJsonObject.
QJsonObject expectedLine(const TuvoBrowseResultDBusStruct &record)
{
    const TuvoClientBrowseResult result = TuvoClientBrowseResult::fromRecord(record);
    QJsonObject metadata, types;
    for (auto it = result.metadata.constBegin(); it != result.metadata.constEnd(); ++it) {
        metadata.insert(it.key(), TuvoCliOutput::jsonValue(it.value()));
        types.insert(it.key(), TuvoClientValue::typeName(it.value()));
    }
    QJsonObject line{{u"index"_s, qint64(result.index)}, {u"remaining"_s, result.remainingCount},
                     {u"id"_s, result.objectId}, {u"metadata"_s, metadata}, {u"types"_s, types}};
    if (result.hasMetadataError())
        line.insert(u"metadata_error"_s, result.metadataError);
    return line;
}
} // namespace

class TstTuvoCliJsonWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void browseLine_data()
    {
        QTest::addColumn<QString>("objectId");
        QTest::addColumn<QByteArray>("blob");
        QTest::addColumn<bool>("readable");
        const QString all = u"\"\\/\b\f\n\r\t\x01\x1f\x7f é ÿ"_s;
        const QVariantMap typical{{u"album"_s, u"Harbour Lights"_s}, {u"duration"_s, 212u},
                                  {u"is_container"_s, false}, {u"rating"_s, 0.75},
                                  {u"size"_s, qlonglong(4000000)}, {u"track_number"_s, -1}};
        QTest::newRow("typical") << u"item_1"_s << TuvoMetadataEncoder::encode(typical) << true;
        QTest::newRow("empty") << QString() << QByteArray() << true;
        QTest::newRow("escapes in id and values")
            << all << TuvoMetadataEncoder::encode({{u"k\"\n\\"_s, all}, {u"c"_s, QVariant::fromValue(QChar(u'"'))}}) << true;
        QTest::newRow("non-BMP and other planes in the id") << u"a😀b€c\u2028d\u0800"_s << QByteArray() << true;
        QTest::newRow("lone surrogates in the id")
            << QString(QChar(0xd800)) + u"x"_s + QChar(0xdc00) + QChar(0xdc00) + QChar(0xd800) << QByteArray() << true;
        QTest::newRow("limits of numbers")
            << u"n"_s
            << TuvoMetadataEncoder::encode({{u"a"_s, std::numeric_limits<qlonglong>::min()},
                                            {u"b"_s, std::numeric_limits<qulonglong>::max()},
                                            {u"c"_s, qulonglong(std::numeric_limits<qlonglong>::max())},
                                            {u"d"_s, std::numeric_limits<uint>::max()},
                                            {u"e"_s, std::numeric_limits<int>::min()},
                                            {u"f"_s, qQNaN()}, {u"g"_s, -qInf()}, {u"h"_s, 1e300},
                                            {u"i"_s, 0.1}, {u"j"_s, 3.0}, {u"k"_s, QVariant::fromValue(QChar(0))}}) << true;
        QVariantMap many; // more entries than the writer keeps from its one walk
        for (int i = 0; i < 40; ++i)
            many.insert(u"key %1"_s.arg(i, 2, 10, QLatin1Char('0')), i % 2 ? QVariant(i) : QVariant(u"v\"%1"_s.arg(i)));
        QTest::newRow("40 keys") << u"m"_s << TuvoMetadataEncoder::encode(many) << true;
        QTest::newRow("keys out of order") << u"o"_s
                                           << entry("b", TuvoMetadataEncoder::IntTag, QByteArray(4, '\1'))
                                                  + entry("a", TuvoMetadataEncoder::StringTag, "x\0"_ba) << true;
        QTest::newRow("key twice") << u"t"_s
                                   << entry("a", TuvoMetadataEncoder::BooleanTag, QByteArray(4, '\0'))
                                          + entry("a", TuvoMetadataEncoder::BooleanTag, QByteArray(4, '\0')) << false;
        QTest::newRow("cut short") << u"s"_s << entry("a", TuvoMetadataEncoder::DoubleTag, "1234"_ba) << false;
        QTest::newRow("unknown tag") << u"u"_s << entry("a", 99, "1234"_ba) << false;
        QTest::newRow("string without its end") << u"e"_s << entry("a", TuvoMetadataEncoder::StringTag, "abc"_ba) << false;
    }

    void browseLine()
    {
        QFETCH(QString, objectId);
        QFETCH(QByteArray, blob);
        QFETCH(bool, readable);
        TuvoBrowseResultDBusStruct record;
        record.objectId = objectId;
        record.metadata = blob;
        record.index = 4000000000u;
        record.remainingCount = -3;

        QByteArray out = "previous line\n";
        QString error;
        QCOMPARE(TuvoCliJsonWriter::appendBrowseResult(out, record, &error), readable);
        QCOMPARE(error.isEmpty(), readable);
        QVERIFY(out.startsWith("previous line\n"));
        const QByteArray line = out.mid(14);
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        QJsonParseError parsed;
        const QJsonDocument document = QJsonDocument::fromJson(line, &parsed);
        QVERIFY2(parsed.error == QJsonParseError::NoError, qPrintable(parsed.errorString() + u": "_s + QString::fromUtf8(line)));
        const QJsonObject expected = expectedLine(record);
        QCOMPARE(document.object(), expected);
        QCOMPARE(line, QJsonDocument(expected).toJson(QJsonDocument::Compact) + '\n');
    }

    void queryLine()
    {
        const TuvoQueryResultDBusStruct row{7, {u"plain"_s, u"\"\\\n\x02"_s, QString(), u"😀"_s}};
        QByteArray out;
        TuvoCliJsonWriter::appendQueryRow(out, row);
        const QJsonObject expected{{u"index"_s, 7}, {u"values"_s, QJsonArray::fromStringList(row.resultRow)}};
        QCOMPARE(out, QJsonDocument(expected).toJson(QJsonDocument::Compact) + '\n');
    }
};

QTEST_APPLESS_MAIN(TstTuvoCliJsonWriter)
#include "tst_tuvoclijsonwriter.moc"
