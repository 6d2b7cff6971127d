// The filesystem plugin in the real wrapper on a private bus, driven by a client
// with a proxy-source object of its own: browsing with skip and count, stable ids,
// tags decoded from the metadata blob, a query, cancelling a large browse, container
// changes, and no change caused by reading tags.
#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "ProxySourceRecorder.h"
#include "TestBus.h"
#include "TestMedia.h"
#include "WrapperProcess.h"

#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString PluginName = QStringLiteral("libtuvo_filesystem_plugin");
const QString Interface = QStringLiteral("com.oxbel.tuvo.source");
const QString ServicePrefix = QStringLiteral("com.oxbel.tuvo.source.Filesystem.");
constexpr int ManyFiles = 5000;
} // namespace

class TestFsWrapper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void browseWithSkipAndCount_data();
    void browseWithSkipAndCount();
    void idsAreStable();
    void tagsInTheBlob();
    void queryRows();
    void cancelLargeBrowse();
    void containerChanged();
    void readingTagsIsNoChange();

private:
    QString media(const QString &name = QString()) const
    {
        return m_home.filePath(QStringLiteral("media") + (name.isEmpty() ? QString() : QLatin1Char('/') + name));
    }
    uint browse(const QString &id, uint skip = 0, uint count = 0)
    {
        return m_client->call(m_service, m_path, Interface, QStringLiteral("browse"),
                              {id, QString(), QStringList(), skip, count})
            .arguments()
            .value(0)
            .toUInt();
    }
    QVariantMap firstMetadata(uint browseId) const
    {
        QVariantMap metadata;
        const QList<TuvoBrowseResultDBusStruct> records = m_proxy->browseRecords(browseId);
        if (!records.isEmpty())
            TuvoMetadataDecoder::decode(records.first().metadata, &metadata);
        return metadata;
    }
    QStringList ids(uint browseId) const
    {
        QStringList result;
        for (const auto &record : m_proxy->browseRecords(browseId))
            result.append(record.objectId);
        return result;
    }

    QTemporaryDir m_home;
    std::unique_ptr<WrapperProcess> m_wrapper;
    std::unique_ptr<BusClient> m_activator;
    std::unique_ptr<BusClient> m_client;
    std::unique_ptr<ProxySourceRecorder> m_proxy;
    std::unique_ptr<BusSignalRecorder> m_containers;
    std::unique_ptr<BusSignalRecorder> m_items;
    QString m_service;
    QString m_path;
};

void TestFsWrapper::initTestCase()
{
    QVERIFY(m_home.isValid());
    TestMedia::Tags tags;
    tags.artist = QStringLiteral("The Tidewaters");
    tags.album = QStringLiteral("Harbour Lights");
    tags.genre = QStringLiteral("Folk");
    tags.year = 2019;
    const QStringList titles{QStringLiteral("Low Tide"), QStringLiteral("Lantern Row")};
    for (int i = 0; i < titles.size(); ++i) {
        tags.title = titles.at(i);
        tags.track = i + 1;
        QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("album/%1.wav").arg(i + 1)), 1200, tags));
    }
    for (const char *name : {"b.txt", "a.txt", "c 10.txt", "c 9.txt"})
        QVERIFY(TestMedia::writeFile(media(QLatin1String(name)), "x"));
    QVERIFY(QDir().mkpath(media(QStringLiteral("empty"))));
    for (int i = 0; i < ManyFiles; ++i)
        QVERIFY(TestMedia::writeFile(media(QStringLiteral("many/%1").arg(i))));
    tags.album = QStringLiteral("Fresh");
    tags.title = QStringLiteral("Fresh Air");
    for (int i = 0; i < 3; ++i)
        QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("fresh/%1.wav").arg(i)), 200, tags));
    QVERIFY(TestMedia::writeFile(m_home.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf")),
                                 "root=" + QFile::encodeName(media()) + '\n'));

    m_wrapper.reset(new WrapperProcess);
    m_wrapper->setHome(m_home.path());
    m_wrapper->setEnv(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    m_wrapper->setEnv(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    QVERIFY(m_wrapper->startWithPlugin(TestMedia::filesystemPlugin()));
    m_activator.reset(new BusClient);
    QVERIFY(m_activator->activate(PluginName));
    QTRY_VERIFY_WITH_TIMEOUT(!TestBus::names().filter(ServicePrefix).isEmpty(), 10000);
    m_service = TestBus::names().filter(ServicePrefix).first();
    const QString uuid = m_service.mid(ServicePrefix.size());
    QVERIFY(uuid.startsWith(QLatin1String("filesystem_media_")));
    m_path = QStringLiteral("/com/oxbel/tuvo/source/") + uuid;
    QVERIFY(TestBus::introspect(m_service, m_path).contains(Interface));

    m_client.reset(new BusClient);
    m_proxy.reset(new ProxySourceRecorder(m_client->connection(), uuid));
    QVERIFY(m_proxy->isRegistered());
    m_containers.reset(new BusSignalRecorder(m_service, m_path, Interface, QStringLiteral("container_changed"),
                                             m_client->connection()));
    m_items.reset(new BusSignalRecorder(m_service, m_path, Interface, QStringLiteral("metadata_changed"),
                                        m_client->connection()));
}

void TestFsWrapper::cleanupTestCase()
{
    m_items.reset();
    m_containers.reset();
    m_proxy.reset();
    m_client.reset();
    m_activator.reset();
    m_wrapper.reset();
}

void TestFsWrapper::browseWithSkipAndCount_data()
{
    QTest::addColumn<uint>("skip");
    QTest::addColumn<uint>("count");
    QTest::addColumn<QStringList>("expected");
    const QStringList all{QStringLiteral("album"), QStringLiteral("empty"), QStringLiteral("fresh"),
                          QStringLiteral("many"),  QStringLiteral("a.txt"), QStringLiteral("b.txt"),
                          QStringLiteral("c 9.txt"), QStringLiteral("c 10.txt")};
    QTest::newRow("all") << 0u << 0u << all;
    QTest::newRow("a page") << 2u << 3u << all.mid(2, 3);
    QTest::newRow("the last") << 7u << 5u << all.mid(7);
}

void TestFsWrapper::browseWithSkipAndCount()
{
    QFETCH(uint, skip);
    QFETCH(uint, count);
    QFETCH(QStringList, expected);
    const uint id = browse(QString(), skip, count);
    QVERIFY(id != 0);
    QVERIFY(m_proxy->waitForBrowseEnd(id));
    QCOMPARE(ids(id), expected);
    const auto records = m_proxy->browseRecords(id);
    QCOMPARE(records.first().index, skip);
    QCOMPARE(records.last().remainingCount, 0);
    QCOMPARE(records.first().remainingCount, int(expected.size()) - 1);
}

void TestFsWrapper::idsAreStable()
{
    const uint first = browse(QStringLiteral("album"));
    const uint second = browse(QStringLiteral("album"));
    QVERIFY(m_proxy->waitForBrowseEnd(first));
    QVERIFY(m_proxy->waitForBrowseEnd(second));
    QCOMPARE(ids(first), QStringList({QStringLiteral("album/1.wav"), QStringLiteral("album/2.wav")}));
    QCOMPARE(ids(second), ids(first));
}

void TestFsWrapper::tagsInTheBlob()
{
    const uint id = browse(QStringLiteral("album"));
    QVERIFY(m_proxy->waitForBrowseEnd(id));
    QVariantMap meta;
    QVERIFY(TuvoMetadataDecoder::decode(m_proxy->browseRecords(id).first().metadata, &meta));
    QCOMPARE(meta.value(QStringLiteral("title")).toString(), QStringLiteral("Low Tide"));
    QCOMPARE(meta.value(QStringLiteral("artist")).toString(), QStringLiteral("The Tidewaters"));
    QCOMPARE(meta.value(QStringLiteral("album")).toString(), QStringLiteral("Harbour Lights"));
    QCOMPARE(meta.value(QStringLiteral("genre")).toString(), QStringLiteral("Folk"));
    QCOMPARE(meta.value(QStringLiteral("track_number")), QVariant(1));
    QCOMPARE(meta.value(QStringLiteral("year")), QVariant(2019));
    QCOMPARE(meta.value(QStringLiteral("duration")), QVariant(1u));
    QCOMPARE(meta.value(QStringLiteral("is_container")), QVariant(false));
    QVERIFY(meta.value(QStringLiteral("mime_type")).toString().startsWith(QLatin1String("audio/")));
    QVERIFY(meta.value(QStringLiteral("size")).toULongLong() > 19000);
    QCOMPARE(meta.value(QStringLiteral("uri")).toString(),
             QUrl::fromLocalFile(media(QStringLiteral("album/1.wav"))).toString());
}

void TestFsWrapper::queryRows()
{
    const uint id = m_client->call(m_service, m_path, Interface, QStringLiteral("query"), {QStringLiteral("lantern")})
                        .arguments()
                        .value(0)
                        .toUInt();
    QVERIFY(id != 0);
    QVERIFY(m_proxy->waitForQueryEnd(id));
    const auto rows = m_proxy->queryRows(id);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().resultRow,
             QStringList({QStringLiteral("album/2.wav"), QStringLiteral("Lantern Row"),
                          QUrl::fromLocalFile(media(QStringLiteral("album/2.wav"))).toString(),
                          rows.first().resultRow.value(3)}));
    QVERIFY(rows.first().resultRow.value(3).startsWith(QLatin1String("audio/")));
}

void TestFsWrapper::cancelLargeBrowse()
{
    const uint id = browse(QStringLiteral("many"));
    QVERIFY(m_proxy->waitForBrowseRecords(id, 1));
    m_client->call(m_service, m_path, Interface, QStringLiteral("cancel_browse"), {id});
    const int atCancel = int(m_proxy->browseRecords(id).size());
    // Whatever was on its way arrives before the results of a browse started later.
    const uint later = browse(QStringLiteral("album"));
    QVERIFY(m_proxy->waitForBrowseEnd(later));
    const int settled = int(m_proxy->browseRecords(id).size());
    QVERIFY2(settled < ManyFiles, qPrintable(QString::number(settled)));
    QVERIFY(!m_proxy->isBrowseDone(id));
    // And nothing after that.
    const uint again = browse(QStringLiteral("album"));
    QVERIFY(m_proxy->waitForBrowseEnd(again));
    QCOMPARE(int(m_proxy->browseRecords(id).size()), settled);
    QVERIFY(settled - atCancel <= 300); // at most the slices already under way
}

void TestFsWrapper::containerChanged()
{
    const uint id = browse(QStringLiteral("empty"));
    QVERIFY(m_proxy->waitForBrowseEnd(id));
    m_containers->clear();
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("empty/new.txt")), "x"));
    QVERIFY(m_containers->waitForCount(1));
    QCOMPARE(m_containers->firstArguments(), QStringList{QStringLiteral("empty")});
    QVERIFY(QFile::remove(media(QStringLiteral("empty/new.txt"))));
    QVERIFY(m_containers->waitForCount(2));
}

void TestFsWrapper::readingTagsIsNoChange()
{
    const uint empty = browse(QStringLiteral("empty"));
    QVERIFY(m_proxy->waitForBrowseEnd(empty));
    m_containers->clear();
    m_items->clear();
    const uint fresh = browse(QStringLiteral("fresh")); // reads these tags for the first time
    QVERIFY(m_proxy->waitForBrowseEnd(fresh));
    QCOMPARE(firstMetadata(fresh).value(QStringLiteral("album")).toString(), QStringLiteral("Fresh"));
    // Changes are reported in order: once this one is in, anything the tag reads
    // caused would be in too.
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("empty/marker")), "x"));
    QVERIFY(m_containers->waitForCount(1));
    QCOMPARE(m_containers->firstArguments(), QStringList{QStringLiteral("empty")});
    QCOMPARE(m_items->count(), 0);
}

QTEST_GUILESS_MAIN(TestFsWrapper)
#include "tst_fswrapper.moc"
