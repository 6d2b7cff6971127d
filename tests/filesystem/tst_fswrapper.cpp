// The filesystem plugin in the real wrapper on a private bus, driven by a client with
// a proxy-source object of its own: browse and query results as they arrive on the
// wire, change reports, and the roots property. A folder "odd" holds what
// a hostile or careless user leaves in a media folder: names that are not UTF-8, a
// FIFO and links to devices with audio names, links out of the media folder.
#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "ProxySourceRecorder.h"
#include "TestBus.h"
#include "TestMedia.h"
#include "WrapperProcess.h"

#include <TuvoMetadataDecoder.h>

#include <QDBusVariant>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString Source = QStringLiteral("com.oxbel.tuvo.source");
const QString Extension = QStringLiteral("com.oxbel.tuvo.extension");
const QString ServicePrefix = QStringLiteral("com.oxbel.tuvo.source.Filesystem.");
const QString Album = QStringLiteral("Albums/Harbour Lights/");
// Raw bytes 0xfe and 0xff in names, as ids write them.
const QString BadFe = QStringLiteral("odd/bad\ufffdFE.mp3");
const QString BadFf = QStringLiteral("odd/bad\ufffdFF.mp3");
const QString OddFolder = QStringLiteral("odd/dir\ufffdFE");
const QString Emilie = QStringLiteral("odd/\u00c9milie.wav");
const QByteArray Config = "# the test's media\nroot=%1\n# let the test change them\nroots_writable=true\n";
const QStringList Root{QStringLiteral("Albums"), QStringLiteral("empty"), QStringLiteral("fresh"), QStringLiteral("odd"),
                       QStringLiteral("image.png"), QStringLiteral("notes.txt"), QStringLiteral("track 2.wav"),
                       QStringLiteral("track 10.wav")};
} // namespace

class TestFsWrapper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TestMedia::Tags tags{QString(), QStringLiteral("The Tidewaters"), QStringLiteral("Harbour Lights"),
                             QStringLiteral("Folk"), 0, 2019};
        const QStringList titles{QStringLiteral("Low Tide"), QStringLiteral("Lantern Row"), QStringLiteral("Salt and Rope")};
        for (int i = 0; i < titles.size(); ++i) {
            tags.title = titles.at(i);
            tags.track = i + 1;
            QVERIFY(TestMedia::writeTaggedWav(media(Album + QStringLiteral("0%1 %2.wav").arg(i + 1).arg(titles.at(i))),
                                              1200, tags));
        }
        for (const char *name : {"track 2.wav", "track 10.wav"})
            QVERIFY(TestMedia::writeWav(media(QLatin1String(name)), 200));
        QVERIFY(TestMedia::writeFile(media(QStringLiteral("notes.txt")), "some notes\n"));
        QVERIFY(TestMedia::writeFile(media(QStringLiteral("image.png")), QByteArray::fromHex("89504e470d0a1a0a")));
        QVERIFY(TestMedia::writeFile(media(QStringLiteral(".hidden")), "not listed"));
        QVERIFY(QDir().mkpath(media(QStringLiteral("empty"))));
        tags.album = QStringLiteral("Fresh");
        for (int i = 0; i < 3; ++i)
            QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("fresh/%1.wav").arg(i)), 200, tags));
        // QFile writes every name as UTF-8: names of raw bytes need the system's calls.
        const QByteArray odd = QFile::encodeName(media(QStringLiteral("odd")));
        const auto writeRaw = [](const QByteArray &path, const QByteArray &content) {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const bool written = fd >= 0 && ::write(fd, content.constData(), size_t(content.size())) == content.size();
            return ::close(fd) == 0 && written;
        };
        QVERIFY(QDir().mkpath(media(QStringLiteral("odd"))));
        QVERIFY(writeRaw(odd + "/bad\xfe.mp3", "fe"));
        QVERIFY(writeRaw(odd + "/bad\xff.mp3", "ff"));
        QCOMPARE(::mkdir(odd + "/dir\xfe", 0755), 0);
        QVERIFY(writeRaw(odd + "/dir\xfe/inside.txt", QByteArray()));
        QVERIFY(TestMedia::writeWav(media(Emilie), 100));
        QVERIFY(TestMedia::writeWav(media(QStringLiteral("odd/zoo.wav")), 100));
        QCOMPARE(::mkfifo(odd + "/fifo.mp3", 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), media(QStringLiteral("odd/zero.mp3"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/urandom"), media(QStringLiteral("odd/random.flac"))));
        QVERIFY(QFile::link(QStringLiteral("/"), media(QStringLiteral("odd/everything"))));
        QVERIFY(QFile::link(m_home.path(), media(QStringLiteral("odd/out"))));
        QVERIFY(QFile::link(media(QStringLiteral("Albums")), media(QStringLiteral("odd/in"))));
        QVERIFY(TestMedia::writeFile(m_home.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf")),
                                     QString::fromLatin1(Config).arg(media()).toUtf8()));

        m_wrapper.setHome(m_home.path());
        m_wrapper.setEnv(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        m_wrapper.setEnv(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        QVERIFY(m_wrapper.startWithPlugin(TestMedia::filesystemPlugin()));
        QVERIFY(m_activator.activate(QStringLiteral("libtuvo_filesystem_plugin")));
        QTRY_VERIFY_WITH_TIMEOUT(!TestBus::names().filter(ServicePrefix).isEmpty(), 10000);
        m_service = TestBus::names().filter(ServicePrefix).first();
        const QString uuid = m_service.mid(ServicePrefix.size());
        QVERIFY(QRegularExpression(QStringLiteral("^filesystem_media_[A-Za-z0-9_]+$")).match(uuid).hasMatch());
        m_path = QStringLiteral("/com/oxbel/tuvo/source/") + uuid;
        m_proxy.reset(new ProxySourceRecorder(m_client.connection(), uuid));
        QVERIFY(m_proxy->isRegistered());
        const QVariant root = call(Extension, QStringLiteral("get_extension_property"), {QStringLiteral("root")})
                                  .arguments().value(1).value<QDBusVariant>().variant();
        QCOMPARE(root.toString(), media());
    }

    void browse_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("predicate");
        QTest::addColumn<QStringList>("more");
        QTest::addColumn<uint>("skip");
        QTest::addColumn<uint>("count");
        QTest::addColumn<QStringList>("expected"); // for an error: its code
        QTest::newRow("root: folders first, natural order, nothing hidden")
            << QString() << QString() << QStringList() << 0u << 0u << Root;
        QTest::newRow("a page") << QString() << QString() << QStringList() << 3u << 3u << Root.mid(3, 3);
        // Past the end, and a skip plus count beyond 32 bits.
        QTest::newRow("huge count") << QString() << QString() << QStringList() << 6u << 4294967295u << Root.mid(6);
        QTest::newRow("predicate filters names, any case") << QString() << QStringLiteral("TRACK") << QStringList() << 0u << 0u
                                                           << Root.mid(6);
        // Links out of the media folder or into devices are not listed; the FIFO is, and
        // does not hold the browse up. Accents sort as their letters.
        QTest::newRow("odd names and files") << QStringLiteral("odd") << QString() << QStringList() << 0u << 0u
                                             << QStringList{OddFolder, QStringLiteral("odd/in"), BadFe, BadFf, Emilie,
                                                            QStringLiteral("odd/fifo.mp3"), QStringLiteral("odd/zoo.wav")};
        QTest::newRow("a folder whose name is not UTF-8") << OddFolder << QString() << QStringList() << 0u << 0u
                                                          << QStringList{OddFolder + QStringLiteral("/inside.txt")};
        QTest::newRow("empty folder: one empty last record") << QStringLiteral("empty") << QString() << QStringList() << 0u << 0u
                                                             << QStringList{QString()};
        const QStringList unknown{QStringLiteral("error 1")};
        for (const char *id : {"nowhere", "..", "/etc", "Albums/", "odd/out", "odd/everything/proc"})
            QTest::addRow("unknown: %s", id) << QString::fromLatin1(id) << QString() << QStringList() << 0u << 0u << unknown;
        QTest::newRow("a file") << QStringLiteral("notes.txt") << QString() << QStringList() << 0u << 0u
                                << QStringList{QStringLiteral("error 2")};
        QTest::newRow("additional predicates") << QString() << QString() << QStringList{QStringLiteral("x")} << 0u << 0u
                                               << QStringList{QStringLiteral("error 4")};
    }

    void browse()
    {
        QFETCH(QString, id);
        QFETCH(QString, predicate);
        QFETCH(QStringList, more);
        QFETCH(uint, skip);
        QFETCH(uint, count);
        QFETCH(QStringList, expected);
        const uint browseId = start(id, predicate, more, skip, count);
        QVERIFY(browseId != 0);
        QVERIFY(m_proxy->waitForBrowseEnd(browseId));
        const QList<TuvoBrowseResultDBusStruct> records = m_proxy->browseRecords(browseId);
        if (expected.first().startsWith(QLatin1String("error "))) {
            QCOMPARE(records.size(), 1);
            QCOMPARE(QStringLiteral("error %1").arg(records.first().errorCode), expected.first());
            QVERIFY(!records.first().errorMessage.isEmpty());
            return;
        }
        QCOMPARE(ids(records), expected);
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(records.at(i).index, uint(predicate.isEmpty() ? skip + i : i));
            QCOMPARE(records.at(i).remainingCount, int(records.size()) - i - 1);
            QCOMPARE(records.at(i).errorCode, 0u);
            if (records.at(i).objectId.isEmpty())
                QVERIFY(records.at(i).metadata.isEmpty());
        }
        QCOMPARE(ids(browseAll(id)), ids(browseAll(id))); // the same ids every time
    }

    void metadata_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariantMap>("values"); // invalid: left out; a string ending in '*': a prefix
        const QString odd = uri(u"odd"_s);
        const QVariant none;
        const auto row = [](const QString &id, const QVariantMap &values) {
            QTest::addRow("%s", qPrintable(id)) << id << values;
        };
        row(u"Albums"_s, {{"is_container", true}, {"child_count", 1u}, {"mime_type", "inode/directory"}});
        row(u"empty"_s, {{"child_count", 0u}});
        row(u"notes.txt"_s, {{"is_container", false}, {"title", "notes.txt"}, {"mime_type", "text/plain"}, {"size", 11ull}});
        // Untagged: the file name.
        row(u"track 2.wav"_s, {{"title", "track 2.wav"}, {"artist", none}, {"mime_type", "audio/*"}});
        // Tags; the duration of 1200 ms in whole seconds.
        row(Album + u"01 Low Tide.wav"_s, {{"title", "Low Tide"}, {"artist", "The Tidewaters"}, {"duration", 1u}});
        row(Album + u"03 Salt and Rope.wav"_s, {{"genre", "Folk"}, {"track_number", 3}, {"year", 2019}});
        row(Album + u"02 Lantern Row.wav"_s, {{"album", "Harbour Lights"}});
        row(BadFe, {{"uri", QString(odd + u"/bad%FE.mp3"_s)}});
        row(BadFf, {{"title", "bad*"}});
        row(OddFolder + u"/inside.txt"_s, {{"uri", QString(odd + u"/dir%FE/inside.txt"_s)}});
        row(u"odd/fifo.mp3"_s, {{"mime_type", "audio/mpeg"}, {"duration", none}});
    }

    void metadata()
    {
        QFETCH(QString, id);
        QFETCH(QVariantMap, values);
        const QString parent = id.contains(QLatin1Char('/')) ? id.section(QLatin1Char('/'), 0, -2) : QString();
        QVariantMap meta;
        for (const auto &record : browseAll(parent)) {
            if (record.objectId == id)
                QVERIFY(TuvoMetadataDecoder::decode(record.metadata, &meta));
        }
        QVERIFY(!meta.isEmpty());
        if (!id.contains(QChar(0xfffd)))
            QCOMPARE(meta.value(QStringLiteral("uri")).toString(), uri(id));
        QVERIFY(qAbs(meta.value(QStringLiteral("modified")).toLongLong() - QDateTime::currentSecsSinceEpoch()) < 600);
        for (auto it = values.cbegin(); it != values.cend(); ++it) {
            const QVariant &value = it.value();
            if (value.toString().endsWith(QLatin1Char('*')))
                QVERIFY2(meta.value(it.key()).toString().startsWith(value.toString().chopped(1)), qPrintable(it.key()));
            else
                QCOMPARE(meta.value(it.key()), value);
        }
    }

    void query_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("title words, any case")
            << QStringLiteral("low TIDE") << QStringList{Album + QStringLiteral("01 Low Tide.wav")};
        QTest::newRow("artist and album words")
            << QStringLiteral("tidewaters HARBOUR")
            << QStringList({Album + QStringLiteral("01 Low Tide.wav"), Album + QStringLiteral("02 Lantern Row.wav"),
                            Album + QStringLiteral("03 Salt and Rope.wav")});
        QTest::newRow("file name of an untagged file")
            << QStringLiteral("track 10") << QStringList{QStringLiteral("track 10.wav")};
        QTest::newRow("tag title, not file name") << QStringLiteral("03 salt") << QStringList();
        QTest::newRow("accents and case ignored") << QStringLiteral("EMILIE") << QStringList{Emilie};
        QTest::newRow("names that are not UTF-8, past a FIFO") << QStringLiteral("bad") << QStringList{BadFe, BadFf};
    }

    void query()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, ids);
        const uint queryId = call(Source, QStringLiteral("query"), {text}).arguments().value(0).toUInt();
        QVERIFY(queryId != 0);
        QVERIFY(m_proxy->waitForQueryEnd(queryId));
        QCOMPARE(m_proxy->queryCalls(queryId).last().errorCode, 0);
        const QList<TuvoQueryResultDBusStruct> rows = m_proxy->queryRows(queryId);
        if (ids.isEmpty()) { // one empty last row
            QCOMPARE(rows.size(), 1);
            QVERIFY(rows.first().resultRow.isEmpty());
            return;
        }
        QStringList found;
        for (const auto &row : rows) {
            QCOMPARE(row.resultRow.size(), 4); // id, title, uri, mime type
            if (!row.resultRow.at(0).contains(QChar(0xfffd)))
                QCOMPARE(row.resultRow.at(2), uri(row.resultRow.at(0)));
            QVERIFY(row.resultRow.at(3).startsWith(QLatin1String("audio/")));
            found.append(row.resultRow.first());
        }
        QCOMPARE(found, ids);
        if (text == QLatin1String("low TIDE"))
            QCOMPARE(rows.first().resultRow.at(1), QStringLiteral("Low Tide"));
    }

    void changesAreReported()
    {
        BusSignalRecorder containers(m_service, m_path, Source, QStringLiteral("container_changed"), m_client.connection());
        BusSignalRecorder items(m_service, m_path, Source, QStringLiteral("metadata_changed"), m_client.connection());
        QVERIFY(!browseAll(QStringLiteral("empty")).isEmpty());
        // Reading tags for the first time is no change.
        const auto fresh = browseAll(QStringLiteral("fresh"));
        QVariantMap meta;
        QVERIFY(!fresh.isEmpty() && TuvoMetadataDecoder::decode(fresh.first().metadata, &meta));
        QCOMPARE(meta.value(QStringLiteral("album")).toString(), QStringLiteral("Fresh"));
        // Changes come in order: once this one is in, anything the tag reads caused is too.
        QVERIFY(TestMedia::writeFile(media(QStringLiteral("empty/new.txt")), "x"));
        QVERIFY(containers.waitForCount(1));
        QCOMPARE(containers.firstArguments(), QStringList{QStringLiteral("empty")});
        QCOMPARE(items.count(), 0);
        // A later browse sees the new entry, not a kept listing.
        QCOMPARE(ids(browseAll(QStringLiteral("empty"))), QStringList{QStringLiteral("empty/new.txt")});
        QVERIFY(QFile::remove(media(QStringLiteral("empty/new.txt"))));
        QVERIFY(containers.waitForCount(2));
        QFile notes(media(QStringLiteral("notes.txt")));
        QVERIFY(notes.open(QIODevice::Append) && notes.write("more\n") == 5);
        notes.close();
        QVERIFY(items.waitForCount(1));
        QCOMPARE(items.firstArguments(), QStringList{QStringLiteral("notes.txt")});
    }

    void rootsProperty()
    {
        const QString other = m_home.filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(other));
        // Nonsense is refused and changes nothing (which roots are nonsense is the
        // configuration's own table).
        QVERIFY(!setRoots(m_service, {QStringLiteral("relative/path")}));

        BusSignalRecorder added(QString(), QStringLiteral("/com/oxbel/tuvo/registry"), QStringLiteral("com.oxbel.tuvo.registry"),
                                QStringLiteral("new_source"), m_client.connection());
        QVERIFY(setRoots(m_service, {media(), other}));
        QVERIFY(added.waitForCount(1));
        QCOMPARE(added.arguments().first().value(2).toString(), QStringLiteral("other"));
        QTest::qWait(200);
        QCOMPARE(TestBus::names().filter(ServicePrefix).size(), 2);
        // Saved for the next start of the plugin.
        QFile config(m_home.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf")));
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QByteArray saved = config.readAll();
        config.close();
        // The user's lines stay, in their order; the new root follows the old one.
        QCOMPARE(saved, QString::fromLatin1(Config).arg(media() + QStringLiteral("\nroot=") + other).toUtf8());
        // Set through the second source, the first root goes.
        const QString second = ServicePrefix + added.arguments().first().value(1).toString();
        QVERIFY(setRoots(second, {other}));
        QVERIFY(TestBus::waitForName(m_service, false));
        QCOMPARE(TestBus::names().filter(ServicePrefix), QStringList{second});

        // Without roots_writable in the configuration no client changes the roots.
        m_wrapper.stop();
        QVERIFY(TestMedia::writeFile(config.fileName(), "# mine\nroot=" + QFile::encodeName(media()) + '\n'));
        QVERIFY(m_wrapper.startWithPlugin(TestMedia::filesystemPlugin()));
        QVERIFY(m_activator.activate(QStringLiteral("libtuvo_filesystem_plugin")));
        QVERIFY(TestBus::waitForName(m_service, true));
        QVERIFY(!setRoots(m_service, {media(), other}));
        QVERIFY(config.open(QIODevice::ReadOnly));
        QCOMPARE(config.readAll(), "# mine\nroot=" + QFile::encodeName(media()) + '\n');
        QCOMPARE(TestBus::names().filter(ServicePrefix), QStringList{m_service});

        // A query walking past the FIFO and the device links does not keep SIGTERM
        // from ending the process.
        QVERIFY(call(Source, QStringLiteral("query"), {QStringLiteral("zzz")}).arguments().value(0).toUInt() != 0);
        m_wrapper.sendSignal(SIGTERM);
        QVERIFY(m_wrapper.waitForExit(5000));
    }

    void cleanupTestCase()
    {
        // QDir reads names as UTF-8 and cannot remove those that are not.
        const QByteArray odd = QFile::encodeName(media(QStringLiteral("odd")));
        for (const char *name : {"/bad\xfe.mp3", "/bad\xff.mp3", "/dir\xfe/inside.txt"})
            ::unlink(odd + name);
        ::rmdir(odd + "/dir\xfe");
    }

private:
    QString media(const QString &name = QString()) const
    {
        return m_home.filePath(QStringLiteral("media") + (name.isEmpty() ? QString() : QLatin1Char('/') + name));
    }
    QString uri(const QString &name) const { return QUrl::fromLocalFile(media(name)).toString(QUrl::FullyEncoded); }
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments)
    {
        return m_client.call(m_service, m_path, interface, method, arguments);
    }
    uint start(const QString &id, const QString &predicate = {}, const QStringList &more = {},
               uint skip = 0, uint count = 0)
    {
        return call(Source, QStringLiteral("browse"), {id, predicate, more, skip, count}).arguments().value(0).toUInt();
    }
    QList<TuvoBrowseResultDBusStruct> browseAll(const QString &id)
    {
        const uint browseId = start(id);
        return m_proxy->waitForBrowseEnd(browseId) ? m_proxy->browseRecords(browseId) : QList<TuvoBrowseResultDBusStruct>();
    }
    static QStringList ids(const QList<TuvoBrowseResultDBusStruct> &records)
    {
        QStringList result;
        for (const auto &record : records)
            result.append(record.objectId);
        return result;
    }
    bool setRoots(const QString &service, const QStringList &roots)
    {
        return m_client.call(service, QStringLiteral("/com/oxbel/tuvo/source/") + service.mid(ServicePrefix.size()),
                             Extension, QStringLiteral("set_extension_property"),
                             {QStringLiteral("roots"), QVariant::fromValue(QDBusVariant(roots))})
            .arguments().value(0).toBool();
    }

    QTemporaryDir m_home;
    WrapperProcess m_wrapper;
    BusClient m_activator;
    BusClient m_client;
    std::unique_ptr<ProxySourceRecorder> m_proxy;
    QString m_service;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestFsWrapper)
#include "tst_fswrapper.moc"
