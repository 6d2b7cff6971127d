// TuvoMediaInfo on the wire: marshalled into real messages that cross the test's
// private bus from one connection to another, then read back field by field.

#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "MediaInfoToString.h"

#include <TuvoMediaInfoDBus.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QTest>

namespace {
const QString Path = QStringLiteral("/tuvo/test/mediainfo");
const QString Interface = QStringLiteral("com.oxbel.tuvo.test.MediaInfo");

TuvoMediaInfo record(const QString &uuid, const TuvoMediaInfo::MetaData &metaData)
{
    TuvoMediaInfo info(uuid);
    info.setMetaData(metaData);
    return info;
}

// What a sender could put on the wire that marshalling never writes: a key twice.
struct RepeatedKeys {
    QString uuid;
    QList<QPair<QString, QVariantList>> entries;
};
} // namespace

Q_DECLARE_METATYPE(RepeatedKeys)

QDBusArgument &operator<<(QDBusArgument &argument, const RepeatedKeys &record)
{
    argument.beginStructure();
    argument << record.uuid;
    argument.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QVariantList>());
    for (const auto &entry : record.entries) {
        argument.beginMapEntry();
        argument << entry.first << entry.second;
        argument.endMapEntry();
    }
    argument.endMap();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, RepeatedKeys &)
{
    return argument;
}

class tst_TuvoMediaInfoDBus : public QObject
{
    Q_OBJECT

    BusClient receiver;

    // Sends \a value as the one argument of a signal and returns it as received.
    QVariant overTheBus(const QVariant &value)
    {
        BusSignalRecorder recorder(QString(), Path, Interface, QStringLiteral("record"), receiver.connection());
        if (!recorder.isConnected())
            return QVariant();
        QDBusMessage signal = QDBusMessage::createSignal(Path, Interface, QStringLiteral("record"));
        signal << value;
        if (!QDBusConnection::sessionBus().send(signal) || !recorder.waitForCount(1))
            return QVariant();
        const QDBusMessage received = recorder.messages().first();
        if (received.signature() != QLatin1String(TuvoMediaInfoDBus::Signature)) {
            qWarning() << "arrived as" << received.signature();
            return QVariant();
        }
        return received.arguments().value(0);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBus::registerMetaType();
        qDBusRegisterMetaType<RepeatedKeys>();
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(receiver.isConnected());
    }

    void signatureIsStructureOfIdAndDictionary()
    {
        QCOMPARE(QDBusMetaType::typeToSignature(QMetaType::fromType<TuvoMediaInfo>()),
                 QByteArray("(sa{sav})"));
        // Registering again, as every adaptor does, changes nothing.
        TuvoMediaInfoDBus::registerMetaType();
        QCOMPARE(QDBusMetaType::typeToSignature(QMetaType::fromType<TuvoMediaInfo>()),
                 QByteArray(TuvoMediaInfoDBus::Signature));
    }

    void roundTrip_data()
    {
        QTest::addColumn<TuvoMediaInfo>("info");
        QTest::newRow("empty") << TuvoMediaInfo();
        QTest::newRow("id only") << TuvoMediaInfo(QStringLiteral("track_1"));
        QTest::newRow("empty list") << record(QStringLiteral("x"), {{QStringLiteral("genre"), {}}});
        QTest::newRow("several values")
            << record(QStringLiteral("track_2"),
                      {{QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben")}},
                       {QStringLiteral("year"), {2021}}});
        QTest::newRow("basic types")
            << record(QStringLiteral("t"),
                      {{QStringLiteral("mixed"),
                        {42, 42u, -(qlonglong(5) << 40), qulonglong(1) << 63, 0.25, true, QStringLiteral("s"),
                         QByteArray("\x01\x02"), QStringList{QStringLiteral("a"), QStringLiteral("b")}}}});
        QTest::newRow("keys beyond ascii")
            << record(QStringLiteral("Björk_日本"), {{QStringLiteral("título"), {QStringLiteral("Jóga")}}});
    }

    void roundTrip()
    {
        QFETCH(TuvoMediaInfo, info);
        const QVariant received = overTheBus(QVariant::fromValue(info));
        QVERIFY(received.isValid());
        QCOMPARE(qdbus_cast<TuvoMediaInfo>(received), info);
    }

    void keysGoOutInAscendingOrder()
    {
        TuvoMediaInfo info(QStringLiteral("ordered"));
        for (const QString &key : {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("é"),
                                   QStringLiteral("Z"), QStringLiteral("aa")})
            info.setMetaData(key, {key});
        const QDBusArgument argument = overTheBus(QVariant::fromValue(info)).value<QDBusArgument>();
        argument.beginStructure();
        QString uuid;
        argument >> uuid;
        QStringList keys;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            QString key;
            QVariantList values;
            argument >> key >> values;
            keys.append(key);
            argument.endMapEntry();
        }
        argument.endMap();
        argument.endStructure();
        QCOMPARE(uuid, QStringLiteral("ordered"));
        // UTF-16 code unit order: capitals before small letters, "é" last.
        QCOMPARE(keys, (QStringList{QStringLiteral("Z"), QStringLiteral("a"), QStringLiteral("aa"),
                                    QStringLiteral("b"), QStringLiteral("é")}));
    }

    void valuesTravelAsVariantsOfTheirOwnType()
    {
        const TuvoMediaInfo info = record(QString(), {{QStringLiteral("k"), {7, QStringLiteral("seven")}}});
        const QDBusArgument argument = overTheBus(QVariant::fromValue(info)).value<QDBusArgument>();
        argument.beginStructure();
        QString uuid;
        argument >> uuid;
        QCOMPARE(uuid, QString());
        QCOMPARE(argument.currentSignature(), QStringLiteral("a{sav}"));
        argument.beginMap();
        argument.beginMapEntry();
        QString key;
        argument >> key;
        QCOMPARE(argument.currentSignature(), QStringLiteral("av"));
        QStringList types;
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusVariant value;
            argument >> value;
            types.append(QString::fromLatin1(QDBusMetaType::typeToSignature(value.variant().metaType())));
        }
        argument.endArray();
        argument.endMapEntry();
        QVERIFY(argument.atEnd());
        argument.endMap();
        argument.endStructure();
        QCOMPARE(types, (QStringList{QStringLiteral("i"), QStringLiteral("s")}));
    }

    void emptyRecordKeepsItsSignature()
    {
        const QDBusArgument argument = overTheBus(QVariant::fromValue(TuvoMediaInfo())).value<QDBusArgument>();
        QCOMPARE(argument.currentSignature(), QStringLiteral("(sa{sav})"));
        argument.beginStructure();
        QString uuid;
        argument >> uuid;
        QCOMPARE(argument.currentSignature(), QStringLiteral("a{sav}"));
        argument.beginMap();
        QVERIFY(argument.atEnd());
        argument.endMap();
        argument.endStructure();
    }

    void repeatedKeyKeepsEveryValue()
    {
        RepeatedKeys sent{QStringLiteral("twice"),
                          {{QStringLiteral("artist"), {QStringLiteral("Ada")}},
                           {QStringLiteral("title"), {QStringLiteral("T")}},
                           {QStringLiteral("artist"), {QStringLiteral("Ben"), 3}}}};
        const QVariant received = overTheBus(QVariant::fromValue(sent));
        QVERIFY(received.isValid());
        QCOMPARE(qdbus_cast<TuvoMediaInfo>(received),
                 record(QStringLiteral("twice"),
                        {{QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben"), 3}},
                         {QStringLiteral("title"), {QStringLiteral("T")}}}));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMediaInfoDBus)
#include "tst_tuvomediainfodbus.moc"
