// Playlists by id in TuvoRegistry, one object per id for as long as the id exists; and
// the playlist store: M3U and extended M3U parsing, and a folder of playlist files kept
// in step with the registry.
#include <TuvoPlaylist.h>
#include <TuvoPlaylistStore.h>
#include <TuvoRegistry.h>
#include <TuvoShared.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {
bool write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

QStringList uris(const QList<TuvoContent> &entries)
{
    QStringList result;
    for (const TuvoContent &entry : entries)
        result.append(entry.uuid());
    return result;
}
} // namespace

class TestTuvoPlaylistStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void registryAddFindRemove()
    {
        TuvoRegistry *registry = TuvoRegistry::instance();
        QSignalSpy added(registry, &TuvoRegistry::playlistAdded);
        QSignalSpy removed(registry, &TuvoRegistry::playlistRemoved);
        auto *playlist =
            new TuvoPlaylist(QStringLiteral("mix"), {TuvoContent(QStringLiteral("a")), TuvoContent(QStringLiteral("b"))});
        QCOMPARE(registry->addPlaylist(playlist), playlist);
        QCOMPARE(registry->findPlaylist(QStringLiteral("mix")), playlist);
        QCOMPARE(added.count(), 1);
        QVERIFY(!registry->findPlaylist(QStringLiteral("other")));
        QCOMPARE(playlist->entry(1).uuid(), QStringLiteral("b"));
        QCOMPARE(playlist->entry(2).uuid(), QString());
        QCOMPARE(playlist->entry(-1).uuid(), QString());

        QPointer<TuvoPlaylist> watch = playlist;
        QVERIFY(registry->removePlaylist(QStringLiteral("mix")));
        QCOMPARE(removed.count(), 1);
        QVERIFY(!registry->findPlaylist(QStringLiteral("mix")));
        QTRY_VERIFY(!watch);
        QVERIFY(!registry->removePlaylist(QStringLiteral("mix")));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("relative paths") << QByteArray("a.wav\nsub/b c.wav\n../up.wav\n")
                                        << QStringList({QStringLiteral("file:///base/list/a.wav"),
                                                        QStringLiteral("file:///base/list/sub/b%20c.wav"),
                                                        QStringLiteral("file:///base/up.wav")});
        QTest::newRow("absolute path") << QByteArray("/music/x.mp3") << QStringList{QStringLiteral("file:///music/x.mp3")};
        QTest::newRow("uris kept") << QByteArray("http://radio.example/stream\nfile:///m/a%20b.ogg\n")
                                   << QStringList({QStringLiteral("http://radio.example/stream"),
                                                   QStringLiteral("file:///m/a%20b.ogg")});
        QTest::newRow("comments, blanks, CRLF, BOM")
            << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n\r\n# a comment\r\n  a.wav  \r\n")
            << QStringList{QStringLiteral("file:///base/list/a.wav")};
        QTest::newRow("utf-8 names") << QByteArray("Caf\xC3\xA9.wav")
                                     << QStringList{QStringLiteral("file:///base/list/Caf%C3%A9.wav")};
        // A file that is not UTF-8 is read as Latin-1.
        QTest::newRow("latin-1 names") << QByteArray("#EXTINF:1,Caf\xE9\nCaf\xE9.wav")
                                       << QStringList{QStringLiteral("file:///base/list/Caf%C3%A9.wav")};
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, expected);
        QCOMPARE(uris(TuvoPlaylistStore::parseM3u(text, QStringLiteral("/base/list"))), expected);
    }

    void extendedInfo()
    {
        QString name;
        const QList<TuvoContent> entries = TuvoPlaylistStore::parseM3u(
            "#EXTM3U\n#PLAYLIST:Road trip\n"
            "#EXTINF:212,The Tidewaters - Low Tide\nlow.wav\n"
            "#EXTINF:-1 tvg-name=\"a, b\",Live, with comma\nhttp://radio.example/live\n"
            "plain.wav\n",
            QStringLiteral("/m"), &name);
        QCOMPARE(name, QStringLiteral("Road trip"));
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0).metaData(QStringLiteral("title")).toString(), QStringLiteral("The Tidewaters - Low Tide"));
        QCOMPARE(entries.at(0).metaData(QStringLiteral("duration")), QVariant(212u));
        QCOMPARE(entries.at(1).metaData(QStringLiteral("title")).toString(), QStringLiteral("Live, with comma"));
        QVERIFY(!entries.at(1).metaData().contains(QStringLiteral("duration")));
        // #EXTINF describes the next entry only.
        QVERIFY(entries.at(2).metaData().isEmpty());
    }

    void durations_data()
    {
        QTest::addColumn<QByteArray>("seconds");
        QTest::addColumn<QVariant>("expected"); // invalid: no duration
        const QVariant top = QVariant(uint(std::numeric_limits<int>::max()));
        QTest::newRow("rounded") << QByteArray("211.6") << QVariant(212u);
        QTest::newRow("unknown") << QByteArray("-1") << QVariant();
        QTest::newRow("not a number") << QByteArray("nan") << QVariant();
        QTest::newRow("the largest int") << QByteArray("2147483647") << top;
        QTest::newRow("just past int") << QByteArray("2147483648") << top;
        QTest::newRow("far past int") << QByteArray("1e300") << top;
        QTest::newRow("infinite") << QByteArray("inf") << top;
    }

    void durations()
    {
        QFETCH(QByteArray, seconds);
        QFETCH(QVariant, expected);
        const QList<TuvoContent> entries =
            TuvoPlaylistStore::parseM3u("#EXTINF:" + seconds + ",Song\na.wav\n", QStringLiteral("/m"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().metaData(QStringLiteral("duration")), expected);
    }

    void loadsTheFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("playlists"));
        QVERIFY(write(folder + QStringLiteral("/morning.m3u"), "a.wav\nb.wav\n"));
        QVERIFY(write(folder + QStringLiteral("/evening.m3u8"), "#EXTM3U\n#PLAYLIST:Evening\nc.wav\n"));
        QVERIFY(write(folder + QStringLiteral("/notes.txt"), "not a playlist\n"));
        TuvoPlaylistStore store(folder);
        QCOMPARE(store.playlistIds(), QStringList({QStringLiteral("evening"), QStringLiteral("morning")}));
        TuvoPlaylist *morning = TuvoRegistry::instance()->findPlaylist(QStringLiteral("morning"));
        QVERIFY(morning);
        QCOMPARE(uris(morning->entries()),
                 QStringList({QUrl::fromLocalFile(folder + QStringLiteral("/a.wav")).toString(),
                              QUrl::fromLocalFile(folder + QStringLiteral("/b.wav")).toString()}));
        QCOMPARE(TuvoRegistry::instance()->findPlaylist(QStringLiteral("evening"))->name(), QStringLiteral("Evening"));
        QVERIFY(!TuvoRegistry::instance()->findPlaylist(QStringLiteral("notes")));
    }

    void followsChanges()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("new/playlists"));
        TuvoPlaylistStore store(folder);
        QVERIFY(QFileInfo(folder).isDir()); // made, so that files dropped in are seen
        QSignalSpy reloaded(&store, &TuvoPlaylistStore::reloaded);
        TuvoRegistry *registry = TuvoRegistry::instance();

        QVERIFY(write(folder + QStringLiteral("/walk.m3u"), "one.wav\n"));
        QTRY_VERIFY(registry->findPlaylist(QStringLiteral("walk")));
        TuvoPlaylist *walk = registry->findPlaylist(QStringLiteral("walk"));
        QCOMPARE(walk->count(), 1);

        // Rewritten in place: the same object, new entries and name, and no second add.
        QSignalSpy entriesChanged(walk, &TuvoPlaylist::entriesChanged);
        QSignalSpy added(registry, &TuvoRegistry::playlistAdded);
        QVERIFY(write(folder + QStringLiteral("/walk.m3u"), "#EXTM3U\n#PLAYLIST:Walk\none.wav\ntwo.wav\nthree.wav\n"));
        QVERIFY(entriesChanged.wait());
        QCOMPARE(registry->findPlaylist(QStringLiteral("walk")), walk);
        QCOMPARE(walk->count(), 3);
        QCOMPARE(walk->name(), QStringLiteral("Walk"));
        QCOMPARE(entriesChanged.count(), 1);
        QCOMPARE(added.count(), 0);

        QSignalSpy removed(registry, &TuvoRegistry::playlistRemoved);
        QVERIFY(QFile::remove(folder + QStringLiteral("/walk.m3u")));
        QVERIFY(removed.wait());
        QCOMPARE(removed.first().first().toString(), QStringLiteral("walk"));
        QVERIFY(!registry->findPlaylist(QStringLiteral("walk")));
    }

    void leavesOtherPlaylistsAlone()
    {
        TuvoRegistry *registry = TuvoRegistry::instance();
        registry->addPlaylist(new TuvoPlaylist(QStringLiteral("from_a_plugin"), {TuvoContent(QStringLiteral("x:///1"))}));
        QTemporaryDir dir;
        TuvoPlaylistStore store(dir.path());
        store.reload();
        QVERIFY(registry->findPlaylist(QStringLiteral("from_a_plugin")));
        registry->removePlaylist(QStringLiteral("from_a_plugin"));
    }

    void boundsLongPlaylists()
    {
        QTemporaryDir dir;
        QByteArray text("#EXTM3U\n");
        for (int i = 0; i < TuvoPlaylistStore::MaxEntries + 3; ++i)
            text += "#EXTINF:1,Song\n" + QByteArray::number(i) + ".wav\n";
        QVERIFY(write(dir.filePath(QStringLiteral("long.m3u")), text));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("long\\.m3u.* holds more than 10000 entries")));
        TuvoPlaylistStore store(dir.path());
        const TuvoPlaylist *playlist = TuvoRegistry::instance()->findPlaylist(QStringLiteral("long"));
        QVERIFY(playlist);
        QCOMPARE(playlist->count(), TuvoPlaylistStore::MaxEntries);
        QCOMPARE(playlist->entries().last().uuid(),
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("9999.wav"))).toString());
    }

    void startedBySharedServices()
    {
        QTemporaryDir dir;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
        QCOMPARE(TuvoPlaylistStore::defaultFolder(), dir.filePath(QStringLiteral("tuvo/playlists")));
        QVERIFY(write(dir.filePath(QStringLiteral("tuvo/playlists/shared.m3u")), "s.wav\n"));
        QVERIFY(!TuvoShared::instance()->playlistStore());
        QVERIFY(TuvoShared::instance()->initialize(TuvoShared::TrackPlaybackState));
        QVERIFY(!TuvoShared::instance()->playlistStore());
        QVERIFY(TuvoShared::instance()->initialize(TuvoShared::TrackPlaylists));
        QVERIFY(TuvoShared::instance()->playlistStore());
        QVERIFY(TuvoRegistry::instance()->findPlaylist(QStringLiteral("shared")));
    }
};

QTEST_GUILESS_MAIN(TestTuvoPlaylistStore)
#include "tst_tuvoplayliststore.moc"
