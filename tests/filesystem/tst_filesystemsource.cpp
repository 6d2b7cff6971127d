// The filesystem plugin loaded through the framework, driven as a host drives it:
// browse, query, cancel, change reports and the roots property.
#include "OperationCollector.h"
#include "TestMedia.h"

#include <TuvoInternalRegistry.h>
#include <TuvoSource.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QStringList RootEntries{
    QStringLiteral("Albums"),     QStringLiteral("empty"),      QStringLiteral("fresh"),
    QStringLiteral("many"),       QStringLiteral("image.png"),  QStringLiteral("notes.txt"),
    QStringLiteral("track 2.wav"), QStringLiteral("track 10.wav")};
constexpr int ManyFiles = 3000;
} // namespace

class TestFilesystemSource : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void publishesTheRoot();
    void browseRoot();
    void skipAndCount_data();
    void skipAndCount();
    void entryMetadata();
    void tagsOfAudio();
    void idsAreStablePaths();
    void browseErrors_data();
    void browseErrors();
    void predicateFiltersNames();
    void emptyFolder();
    void refusesWithoutSlots();
    void query_data();
    void query();
    void cancelInsideCallback();
    void cancelStopsAtOnce();
    void containerChange();
    void fileChange();
    void readingTagsIsNoChange();
    void rootsProperty();

private:
    QString media(const QString &name = QString()) const
    {
        return name.isEmpty() ? m_home.filePath(QStringLiteral("media"))
                              : m_home.filePath(QStringLiteral("media/") + name);
    }
    OperationCollector *browse(const QString &id, uint skip = 0, uint count = 0,
                               const QString &predicate = QString(),
                               const QStringList &additional = QStringList());

    QTemporaryDir m_home;
    TuvoSource *m_source = nullptr;
};

OperationCollector *TestFilesystemSource::browse(const QString &id, uint skip, uint count,
                                                 const QString &predicate,
                                                 const QStringList &additional)
{
    auto *collector = new OperationCollector;
    collector->setParent(this);
    const uint browseId = m_source->browse(id, predicate, additional, skip, count, collector,
                                           OperationCollector::BrowseResult,
                                           OperationCollector::BrowseError);
    if (browseId == 0) {
        delete collector;
        return nullptr;
    }
    // Results come through the event loop, never inside the call.
    if (!collector->results.isEmpty() || collector->ended)
        qWarning("answered inside browse()");
    return collector;
}

void TestFilesystemSource::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));

    TestMedia::Tags tags;
    tags.artist = QStringLiteral("The Tidewaters");
    tags.album = QStringLiteral("Harbour Lights");
    tags.genre = QStringLiteral("Folk");
    tags.year = 2019;
    const QStringList titles{QStringLiteral("Low Tide"), QStringLiteral("Lantern Row"),
                             QStringLiteral("Salt and Rope")};
    for (int i = 0; i < titles.size(); ++i) {
        tags.title = titles.at(i);
        tags.track = i + 1;
        QVERIFY(TestMedia::writeTaggedWav(
            media(QStringLiteral("Albums/Harbour Lights/%1 %2.wav").arg(i + 1, 2, 10, QLatin1Char('0')).arg(titles.at(i))),
            300, tags));
    }
    QVERIFY(TestMedia::writeWav(media(QStringLiteral("track 2.wav")), 200));
    QVERIFY(TestMedia::writeWav(media(QStringLiteral("track 10.wav")), 200));
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("notes.txt")), "some notes\n"));
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("image.png")), QByteArray::fromHex("89504e470d0a1a0a")));
    QVERIFY(TestMedia::writeFile(media(QStringLiteral(".hidden")), "not listed"));
    QVERIFY(QDir().mkpath(media(QStringLiteral("empty"))));
    for (int i = 0; i < ManyFiles; ++i)
        QVERIFY(TestMedia::writeFile(media(QStringLiteral("many/file %1.dat").arg(i))));
    tags.album = QStringLiteral("Fresh");
    for (int i = 0; i < 4; ++i) {
        tags.title = QStringLiteral("Fresh %1").arg(i);
        QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("fresh/%1.wav").arg(i)), 200, tags));
    }
    QVERIFY(TestMedia::writeFile(m_home.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf")),
                                 "# the test's media\nroot=" + QFile::encodeName(media()) + "\n"));

    TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
    QVERIFY(registry->loadPlugin(TestMedia::filesystemPlugin()));
    QCOMPARE(registry->sources().size(), 1);
    m_source = registry->sources().first();
}

void TestFilesystemSource::cleanupTestCase()
{
    delete TuvoInternalRegistry::internalInstance();
}

void TestFilesystemSource::publishesTheRoot()
{
    QVERIFY(m_source->uuid().startsWith(QLatin1String("filesystem_media_")));
    QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9_]+$")).match(m_source->uuid()).hasMatch());
    QCOMPARE(m_source->name(), QStringLiteral("media"));
    QCOMPARE(m_source->declaredPropertyValue(QStringLiteral("root")).toString(), media());
    QCOMPARE(m_source->declaredPropertyValue(QStringLiteral("roots")).toStringList(), QStringList{media()});
}

void TestFilesystemSource::browseRoot()
{
    OperationCollector *collector = browse(QString());
    QVERIFY(collector);
    QVERIFY(collector->waitForEnd());
    QCOMPARE(collector->objectIds(), RootEntries);
    for (int i = 0; i < collector->results.size(); ++i) {
        QCOMPARE(collector->results.at(i).index, uint(i));
        QCOMPARE(collector->results.at(i).remaining, int(RootEntries.size()) - i - 1);
    }
}

void TestFilesystemSource::skipAndCount_data()
{
    QTest::addColumn<uint>("skip");
    QTest::addColumn<uint>("count");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("size");
    QTest::newRow("first two") << 0u << 2u << 0 << 2;
    QTest::newRow("middle") << 3u << 3u << 3 << 3;
    QTest::newRow("all after skip") << 5u << 0u << 5 << 3;
    QTest::newRow("count beyond end") << 6u << 100u << 6 << 2;
    QTest::newRow("huge count") << 0u << 4294967295u << 0 << 8;
}

void TestFilesystemSource::skipAndCount()
{
    QFETCH(uint, skip);
    QFETCH(uint, count);
    QFETCH(int, first);
    QFETCH(int, size);
    OperationCollector *collector = browse(QString(), skip, count);
    QVERIFY(collector->waitForEnd());
    QCOMPARE(collector->objectIds(), RootEntries.mid(first, size));
    QCOMPARE(collector->results.first().index, uint(first));
    QCOMPARE(collector->results.last().remaining, 0);
    QCOMPARE(collector->results.first().remaining, size - 1);
}

void TestFilesystemSource::entryMetadata()
{
    OperationCollector *collector = browse(QString());
    QVERIFY(collector->waitForEnd());
    QHash<QString, QVariantMap> meta;
    for (const auto &result : collector->results)
        meta.insert(result.objectId, result.metaData);

    const QVariantMap albums = meta.value(QStringLiteral("Albums"));
    QCOMPARE(albums.value(QStringLiteral("is_container")), QVariant(true));
    QCOMPARE(albums.value(QStringLiteral("child_count")), QVariant(1u));
    QCOMPARE(albums.value(QStringLiteral("mime_type")).toString(), QStringLiteral("inode/directory"));
    QCOMPARE(albums.value(QStringLiteral("title")).toString(), QStringLiteral("Albums"));
    QCOMPARE(meta.value(QStringLiteral("many")).value(QStringLiteral("child_count")), QVariant(uint(ManyFiles)));
    QCOMPARE(meta.value(QStringLiteral("empty")).value(QStringLiteral("child_count")), QVariant(0u));

    const QVariantMap notes = meta.value(QStringLiteral("notes.txt"));
    QCOMPARE(notes.value(QStringLiteral("is_container")), QVariant(false));
    QCOMPARE(notes.value(QStringLiteral("title")).toString(), QStringLiteral("notes.txt"));
    QCOMPARE(notes.value(QStringLiteral("mime_type")).toString(), QStringLiteral("text/plain"));
    QCOMPARE(notes.value(QStringLiteral("size")), QVariant(qulonglong(11)));
    QCOMPARE(notes.value(QStringLiteral("uri")).toString(),
             QUrl::fromLocalFile(media(QStringLiteral("notes.txt"))).toString(QUrl::FullyEncoded));
    const qint64 modified = notes.value(QStringLiteral("modified")).toLongLong();
    QVERIFY(qAbs(modified - QDateTime::currentSecsSinceEpoch()) < 600);
    QCOMPARE(meta.value(QStringLiteral("image.png")).value(QStringLiteral("mime_type")).toString(),
             QStringLiteral("image/png"));

    // No tags: the file name is the title.
    const QVariantMap untagged = meta.value(QStringLiteral("track 2.wav"));
    QCOMPARE(untagged.value(QStringLiteral("title")).toString(), QStringLiteral("track 2.wav"));
    QVERIFY(untagged.value(QStringLiteral("mime_type")).toString().startsWith(QLatin1String("audio/")));
    QVERIFY(!untagged.contains(QStringLiteral("artist")));
}

void TestFilesystemSource::tagsOfAudio()
{
    OperationCollector *collector = browse(QStringLiteral("Albums/Harbour Lights"));
    QVERIFY(collector->waitForEnd());
    QCOMPARE(collector->titles(), QStringList({QStringLiteral("Low Tide"), QStringLiteral("Lantern Row"),
                                               QStringLiteral("Salt and Rope")}));
    const QVariantMap first = collector->results.first().metaData;
    QCOMPARE(first.value(QStringLiteral("artist")).toString(), QStringLiteral("The Tidewaters"));
    QCOMPARE(first.value(QStringLiteral("album")).toString(), QStringLiteral("Harbour Lights"));
    QCOMPARE(first.value(QStringLiteral("genre")).toString(), QStringLiteral("Folk"));
    QCOMPARE(first.value(QStringLiteral("track_number")), QVariant(1));
    QCOMPARE(first.value(QStringLiteral("year")), QVariant(2019));
    QCOMPARE(first.value(QStringLiteral("duration")), QVariant(0u)); // 300 ms rounds down
    QCOMPARE(collector->results.at(2).metaData.value(QStringLiteral("track_number")), QVariant(3));
}

void TestFilesystemSource::idsAreStablePaths()
{
    OperationCollector *albums = browse(QStringLiteral("Albums"));
    QVERIFY(albums->waitForEnd());
    QCOMPARE(albums->objectIds(), QStringList{QStringLiteral("Albums/Harbour Lights")});
    OperationCollector *tracks = browse(albums->objectIds().first());
    QVERIFY(tracks->waitForEnd());
    QCOMPARE(tracks->objectIds().first(), QStringLiteral("Albums/Harbour Lights/01 Low Tide.wav"));
    OperationCollector *again = browse(QStringLiteral("Albums/Harbour Lights"));
    QVERIFY(again->waitForEnd());
    QCOMPARE(again->objectIds(), tracks->objectIds());
}

void TestFilesystemSource::browseErrors_data()
{
    QTest::addColumn<QString>("objectId");
    QTest::addColumn<QStringList>("additional");
    QTest::addColumn<uint>("code");
    QTest::newRow("unknown folder") << QStringLiteral("nowhere") << QStringList() << 1u;
    QTest::newRow("parent of the root") << QStringLiteral("..") << QStringList() << 1u;
    QTest::newRow("climbing out") << QStringLiteral("Albums/../..") << QStringList() << 1u;
    QTest::newRow("absolute path") << QStringLiteral("/etc") << QStringList() << 1u;
    QTest::newRow("trailing slash") << QStringLiteral("Albums/") << QStringList() << 1u;
    QTest::newRow("hidden entry") << QStringLiteral(".hidden") << QStringList() << 1u;
    QTest::newRow("a file") << QStringLiteral("notes.txt") << QStringList() << 2u;
    QTest::newRow("additional predicates") << QString() << QStringList{QStringLiteral("x")} << 4u;
}

void TestFilesystemSource::browseErrors()
{
    QFETCH(QString, objectId);
    QFETCH(QStringList, additional);
    QFETCH(uint, code);
    OperationCollector *collector = browse(objectId, 0, 0, QString(), additional);
    QVERIFY(collector);
    QVERIFY(collector->waitForEnd());
    QVERIFY(collector->results.isEmpty());
    QCOMPARE(collector->errorCode, code);
    QVERIFY(!collector->errorMessage.isEmpty());
}

void TestFilesystemSource::predicateFiltersNames()
{
    OperationCollector *collector = browse(QString(), 0, 0, QStringLiteral("TRACK"));
    QVERIFY(collector->waitForEnd());
    QCOMPARE(collector->objectIds(), QStringList({QStringLiteral("track 2.wav"), QStringLiteral("track 10.wav")}));
    QCOMPARE(collector->results.last().index, 1u);
}

void TestFilesystemSource::emptyFolder()
{
    OperationCollector *collector = browse(QStringLiteral("empty"));
    QVERIFY(collector->waitForEnd());
    QCOMPARE(collector->results.size(), 1);
    QCOMPARE(collector->results.first().objectId, QString());
    QCOMPARE(collector->results.first().remaining, 0);
    QVERIFY(collector->results.first().metaData.isEmpty());
}

void TestFilesystemSource::refusesWithoutSlots()
{
    QObject nobody;
    for (int i = 0; i < 4; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("callback .* not found")));
    QCOMPARE(m_source->browse(QString(), QString(), {}, 0, 0, &nobody, OperationCollector::BrowseResult,
                              OperationCollector::BrowseError),
             0u);
    QCOMPARE(m_source->query(QStringLiteral("x"), &nobody, OperationCollector::QueryResult,
                             OperationCollector::QueryError),
             0u);
}

void TestFilesystemSource::query_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("ids");
    const QString album = QStringLiteral("Albums/Harbour Lights/");
    QTest::newRow("title words") << QStringLiteral("low TIDE") << QStringList{album + QStringLiteral("01 Low Tide.wav")};
    QTest::newRow("artist and album words")
        << QStringLiteral("tidewaters HARBOUR")
        << QStringList({album + QStringLiteral("01 Low Tide.wav"), album + QStringLiteral("02 Lantern Row.wav"),
                        album + QStringLiteral("03 Salt and Rope.wav")});
    QTest::newRow("file name of an untagged file") << QStringLiteral("track 10") << QStringList{QStringLiteral("track 10.wav")};
    QTest::newRow("tag title, not file name") << QStringLiteral("03 salt") << QStringList();
    QTest::newRow("no match") << QStringLiteral("zzz") << QStringList();
}

void TestFilesystemSource::query()
{
    QFETCH(QString, text);
    QFETCH(QStringList, ids);
    OperationCollector collector;
    QVERIFY(m_source->query(text, &collector, OperationCollector::QueryResult, OperationCollector::QueryError) != 0);
    QVERIFY(collector.waitForEnd());
    QCOMPARE(collector.rows.last().remaining, 0);
    if (ids.isEmpty()) {
        QCOMPARE(collector.rows.size(), 1);
        QVERIFY(collector.rows.first().values.isEmpty());
        return;
    }
    QStringList found;
    for (const auto &row : qAsConst(collector.rows)) {
        QCOMPARE(row.values.size(), 4);
        found.append(row.values.first());
    }
    QCOMPARE(found, ids);
    const QStringList first = collector.rows.first().values;
    QCOMPARE(first.at(2), QUrl::fromLocalFile(media(first.at(0))).toString(QUrl::FullyEncoded));
    QVERIFY(first.at(3).startsWith(QLatin1String("audio/")));
    if (text == QLatin1String("low TIDE"))
        QCOMPARE(first.at(1), QStringLiteral("Low Tide"));
}

void TestFilesystemSource::cancelInsideCallback()
{
    OperationCollector *collector = browse(QStringLiteral("many"));
    collector->onResult = [this](const OperationCollector::Result &result) {
        m_source->cancelBrowse(result.id);
    };
    QTRY_COMPARE(collector->results.size(), 1);
    // Another browse of the same folder runs to its end meanwhile.
    OperationCollector *other = browse(QStringLiteral("many"));
    QVERIFY(other->waitForEnd());
    QCOMPARE(other->results.size(), ManyFiles);
    QCOMPARE(collector->results.size(), 1);
    QCOMPARE(collector->ended, 0);
}

void TestFilesystemSource::cancelStopsAtOnce()
{
    OperationCollector *collector = browse(QStringLiteral("many"));
    QTRY_VERIFY(!collector->results.isEmpty());
    m_source->cancelBrowse(collector->results.first().id);
    const int delivered = int(collector->results.size());
    QVERIFY(delivered < ManyFiles);
    OperationCollector *other = browse(QStringLiteral("many"), 0, 0);
    QVERIFY(other->waitForEnd());
    QCOMPARE(int(collector->results.size()), delivered);
}

void TestFilesystemSource::containerChange()
{
    OperationCollector *collector = browse(QStringLiteral("empty"));
    QVERIFY(collector->waitForEnd());
    QSignalSpy changes(m_source, &TuvoSource::containerChanged);
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("empty/new.txt")), "x"));
    QVERIFY(changes.wait());
    QCOMPARE(changes.first().first().value<TuvoContent>().uuid(), QStringLiteral("empty"));
    // A later browse sees the new entry, not a kept listing.
    OperationCollector *again = browse(QStringLiteral("empty"));
    QVERIFY(again->waitForEnd());
    QCOMPARE(again->objectIds(), QStringList{QStringLiteral("empty/new.txt")});
    QVERIFY(QFile::remove(media(QStringLiteral("empty/new.txt"))));
    QVERIFY(changes.wait());
}

void TestFilesystemSource::fileChange()
{
    QSignalSpy changes(m_source, &TuvoSource::metadataChanged);
    QFile notes(media(QStringLiteral("notes.txt")));
    QVERIFY(notes.open(QIODevice::Append));
    notes.write("more\n");
    notes.close();
    QVERIFY(changes.wait());
    QCOMPARE(changes.first().first().value<TuvoContent>().uuid(), QStringLiteral("notes.txt"));
}

void TestFilesystemSource::readingTagsIsNoChange()
{
    OperationCollector *empty = browse(QStringLiteral("empty"));
    QVERIFY(empty->waitForEnd());
    QSignalSpy containers(m_source, &TuvoSource::containerChanged);
    QSignalSpy items(m_source, &TuvoSource::metadataChanged);

    // The first browse of these files reads their tags.
    OperationCollector *fresh = browse(QStringLiteral("fresh"));
    QVERIFY(fresh->waitForEnd());
    QCOMPARE(fresh->results.first().metaData.value(QStringLiteral("album")).toString(), QStringLiteral("Fresh"));

    // Changes are reported in order: once this one is in, anything the tag reads
    // caused would have been reported too.
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("empty/marker")), "x"));
    QVERIFY(containers.wait());
    QCOMPARE(containers.size(), 1);
    QCOMPARE(containers.first().first().value<TuvoContent>().uuid(), QStringLiteral("empty"));
    QCOMPARE(items.size(), 0);
    QVERIFY(QFile::remove(media(QStringLiteral("empty/marker"))));
    QVERIFY(containers.wait());
}

void TestFilesystemSource::rootsProperty()
{
    TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
    const QString other = m_home.filePath(QStringLiteral("other"));
    QVERIFY(QDir().mkpath(other));

    // Nonsense is refused and changes nothing.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("roots refused")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("roots refused")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("roots refused")));
    QVERIFY(!m_source->setExtensionProperty(QStringLiteral("roots"), QStringList{QStringLiteral("relative/path")}));
    QVERIFY(!m_source->setExtensionProperty(QStringLiteral("roots"), QStringList{m_home.filePath(QStringLiteral("missing"))}));
    QVERIFY(!m_source->setExtensionProperty(QStringLiteral("roots"), QStringList()));
    QVERIFY(!m_source->setExtensionProperty(QStringLiteral("root"), QStringLiteral("/")));
    QCOMPARE(registry->sources().size(), 1);

    QSignalSpy added(registry, &TuvoInternalRegistry::sourceAdded);
    QSignalSpy removed(registry, &TuvoInternalRegistry::sourceRemoved);
    QVERIFY(m_source->setExtensionProperty(QStringLiteral("roots"), QStringList{media(), other}));
    QVERIFY(added.wait());
    QCOMPARE(registry->sources().size(), 2);
    TuvoSource *second = registry->findSource(added.first().first().toString());
    QVERIFY(second);
    QCOMPARE(second->declaredPropertyValue(QStringLiteral("root")).toString(), other);
    QCOMPARE(second->declaredPropertyValue(QStringLiteral("roots")).toStringList(), QStringList({media(), other}));

    // Saved for the next start of the plugin.
    QFile config(m_home.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf")));
    QVERIFY(config.open(QIODevice::ReadOnly));
    const QByteArray saved = config.readAll();
    QVERIFY(saved.contains("root=" + QFile::encodeName(media()) + '\n'));
    QVERIFY(saved.contains("root=" + QFile::encodeName(other) + '\n'));

    QVERIFY(second->setExtensionProperty(QStringLiteral("roots"), QStringList{other}));
    QVERIFY(removed.wait());
    QCOMPARE(removed.first().first().toString(), m_source->uuid());
    m_source = nullptr;
    QCOMPARE(registry->sources().size(), 1);
}

QTEST_GUILESS_MAIN(TestFilesystemSource)
#include "tst_filesystemsource.moc"
