// The pure parts of the filesystem plugin: name order, folder listings, the
// configuration file and the tag cache.
#include "FilesystemConfig.h"
#include "FolderListing.h"
#include "TagCache.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestFilesystemParts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void naturalOrder_data();
    void naturalOrder();
    void orderIsTotal();
    void listing();
    void listingErrors();
    void listingNoticesChanges();
    void matching();
    void configParse_data();
    void configParse();
    void configRoundTrip();
    void checkRoots();
    void tagsRead();
    void tagCacheKeepsTags();
    void tagsOfNonAudio();
};

void TestFilesystemParts::naturalOrder_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("letters") << QByteArray("apple") << QByteArray("banana") << -1;
    QTest::newRow("numbers by value") << QByteArray("track 2.wav") << QByteArray("track 10.wav") << -1;
    QTest::newRow("numbers by value, reversed") << QByteArray("10") << QByteArray("9") << 1;
    QTest::newRow("case ignored") << QByteArray("Track") << QByteArray("track") << 0;
    QTest::newRow("leading zeros ignored") << QByteArray("a01") << QByteArray("a1") << 0;
    QTest::newRow("prefix first") << QByteArray("abc") << QByteArray("abcd") << -1;
    QTest::newRow("upper case among lower") << QByteArray("B") << QByteArray("a") << 1;
    QTest::newRow("zero alone") << QByteArray("0") << QByteArray("00") << 0;
    QTest::newRow("digits before letters") << QByteArray("1a") << QByteArray("a1") << -1;
    QTest::newRow("non-ascii after ascii") << QByteArray("\xc3\xa9t\xc3\xa9") << QByteArray("zebra") << 1;
    QTest::newRow("shared prefix, numbers") << QByteArray("photo-0009.jpg") << QByteArray("photo-00010.jpg") << -1;
    QTest::newRow("shared prefix ending in a number") << QByteArray("img10") << QByteArray("img9") << 1;
    QTest::newRow("equal numbers, then text") << QByteArray("x 007y") << QByteArray("x 7z") << -1;
    QTest::newRow("long numbers") << QByteArray("x123456789012345678901") << QByteArray("x99") << 1;
}

void TestFilesystemParts::naturalOrder()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, order);
    const int result = FolderListing::naturalCompare(a.constData(), b.constData());
    QCOMPARE(result < 0 ? -1 : result > 0 ? 1 : 0, order);
    const int reverse = FolderListing::naturalCompare(b.constData(), a.constData());
    QCOMPARE(reverse < 0 ? -1 : reverse > 0 ? 1 : 0, -order);
}

void TestFilesystemParts::orderIsTotal()
{
    // Names equal to the natural order still get one fixed order.
    QVERIFY(FolderListing::lessThan("A1", "a01") != FolderListing::lessThan("a01", "A1"));
    QVERIFY(FolderListing::lessThan("Track", "track") != FolderListing::lessThan("track", "Track"));
    QVERIFY(!FolderListing::lessThan("same", "same"));
}

void TestFilesystemParts::listing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("track 10.txt"))));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("track 9.txt"))));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("Alpha.txt"))));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral(".hidden"))));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("zeta")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Beta")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral(".cache")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("zeta")), dir.filePath(QStringLiteral("link to zeta"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));

    int error = -1;
    const auto listing = FolderListing::read(QFile::encodeName(dir.path()), &error);
    QVERIFY(listing);
    QCOMPARE(error, 0);
    QStringList names;
    for (int i = 0; i < listing->size(); ++i)
        names.append(listing->displayName(i));
    QCOMPARE(names, QStringList({QStringLiteral("Beta"), QStringLiteral("link to zeta"),
                                 QStringLiteral("zeta"), QStringLiteral("Alpha.txt"),
                                 QStringLiteral("dangling"), QStringLiteral("track 9.txt"),
                                 QStringLiteral("track 10.txt")}));
    QCOMPARE(listing->containerCount(), 3);
    QVERIFY(listing->isContainer(2));
    QVERIFY(!listing->isContainer(3));
}

void TestFilesystemParts::listingErrors()
{
    QTemporaryDir dir;
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("file"))));
    int error = 0;
    QVERIFY(!FolderListing::read(QFile::encodeName(dir.filePath(QStringLiteral("missing"))), &error));
    QCOMPARE(error, ENOENT);
    QVERIFY(!FolderListing::read(QFile::encodeName(dir.filePath(QStringLiteral("file"))), &error));
    QCOMPARE(error, ENOTDIR);
}

void TestFilesystemParts::listingNoticesChanges()
{
    QTemporaryDir dir;
    int error = 0;
    const QByteArray path = QFile::encodeName(dir.path());
    const auto listing = FolderListing::read(path, &error);
    QVERIFY(listing);
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QVERIFY(listing->isCurrent(st));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("new"))));
    QCOMPARE(::stat(path.constData(), &st), 0);
    QVERIFY(!listing->isCurrent(st));
}

void TestFilesystemParts::matching()
{
    QTemporaryDir dir;
    for (const char *name : {"Holiday 2019.jpg", "holiday-2020.jpg", "work.txt", "HOLIDAYS"})
        QVERIFY(TestMedia::writeFile(dir.filePath(QLatin1String(name))));
    int error = 0;
    const auto listing = FolderListing::read(QFile::encodeName(dir.path()), &error);
    QVERIFY(listing);
    QStringList found;
    for (int position : listing->matching(QStringLiteral("holiday")))
        found.append(listing->displayName(position));
    QCOMPARE(found, QStringList({QStringLiteral("Holiday 2019.jpg"),
                                 QStringLiteral("holiday-2020.jpg"), QStringLiteral("HOLIDAYS")}));
    QVERIFY(listing->matching(QStringLiteral("nothing like it")).isEmpty());
}

void TestFilesystemParts::configParse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("roots");
    QTest::addColumn<int>("warnings");
    const QString home = QDir::homePath();
    QTest::newRow("empty") << QByteArray() << QStringList() << 0;
    QTest::newRow("comments and blanks") << QByteArray("# a comment\n\n   \n") << QStringList() << 0;
    QTest::newRow("two roots") << QByteArray("root=/srv/music\nroot = /srv/films/ \n")
                               << QStringList({QStringLiteral("/srv/music"), QStringLiteral("/srv/films")}) << 0;
    QTest::newRow("home") << QByteArray("root=~/Music\nroot=~\n")
                          << QStringList({home + QStringLiteral("/Music"), home}) << 0;
    QTest::newRow("repeated once") << QByteArray("root=/a\nroot=/a/\nroot=/b/../a\n")
                                   << QStringList({QStringLiteral("/a")}) << 0;
    QTest::newRow("relative refused") << QByteArray("root=Music\nroot=/ok\n")
                                      << QStringList({QStringLiteral("/ok")}) << 1;
    QTest::newRow("unknown setting") << QByteArray("colour=blue\nroot=/ok\n")
                                     << QStringList({QStringLiteral("/ok")}) << 1;
    QTest::newRow("windows line ends") << QByteArray("root=/a\r\nroot=/b\r\n")
                                       << QStringList({QStringLiteral("/a"), QStringLiteral("/b")}) << 0;
}

void TestFilesystemParts::configParse()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, roots);
    QFETCH(int, warnings);
    QStringList found;
    QCOMPARE(FilesystemConfig::parse(text, &found), roots);
    QCOMPARE(found.size(), warnings);
}

void TestFilesystemParts::configRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf"));
    const QStringList roots{dir.filePath(QStringLiteral("a")), QStringLiteral("/srv/with = sign")};
    QString error;
    QVERIFY2(FilesystemConfig::save(path, roots, &error), qPrintable(error));
    QCOMPARE(FilesystemConfig::load(path), roots);
}

void TestFilesystemParts::checkRoots()
{
    QTemporaryDir dir;
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("file"))));
    QString error;
    QCOMPARE(FilesystemConfig::checkRoots({dir.path(), dir.path() + QLatin1Char('/')}, &error),
             QStringList{dir.path()});
    error.clear();
    QVERIFY(FilesystemConfig::checkRoots({dir.path(), QStringLiteral("relative")}, &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("relative")));
    QVERIFY(FilesystemConfig::checkRoots({dir.filePath(QStringLiteral("file"))}, &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("no such folder")));
    QVERIFY(FilesystemConfig::checkRoots({}, &error).isEmpty());
    QVERIFY(!error.isEmpty());
}

void TestFilesystemParts::tagsRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.wav"));
    TestMedia::Tags tags;
    tags.title = QStringLiteral("Low Tide");
    tags.artist = QStringLiteral("The Tidewaters");
    tags.album = QStringLiteral("Harbour Lights");
    tags.genre = QStringLiteral("Folk");
    tags.track = 3;
    tags.year = 2019;
    QVERIFY(TestMedia::writeTaggedWav(path, 1500, tags));
    const AudioTags read = TagCache::read(path);
    QVERIFY(read.valid);
    QCOMPARE(read.title, tags.title);
    QCOMPARE(read.artist, tags.artist);
    QCOMPARE(read.album, tags.album);
    QCOMPARE(read.genre, tags.genre);
    QCOMPARE(read.trackNumber, 3);
    QCOMPARE(read.year, 2019);
    QVERIFY2(qAbs(read.durationMs - 1500) < 50, qPrintable(QString::number(read.durationMs)));
}

void TestFilesystemParts::tagCacheKeepsTags()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.wav"));
    TestMedia::Tags first;
    first.title = QStringLiteral("First");
    QVERIFY(TestMedia::writeTaggedWav(path, 300, first));
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;

    TagCache cache;
    QCOMPARE(cache.tags(path, st.st_size, modified).title, QStringLiteral("First"));
    QCOMPARE(cache.count(), 1);

    // New tags of the same length, and the old time put back: the cache answers
    // without reading the file, so it still says "First".
    TestMedia::Tags second;
    second.title = QStringLiteral("Secnd");
    QVERIFY(TestMedia::tag(path, second));
    struct stat now;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    QCOMPARE(cache.tags(path, now.st_size, modified).title,
             now.st_size == st.st_size ? QStringLiteral("First") : QStringLiteral("Secnd"));

    // A different time is a different file.
    QCOMPARE(cache.tags(path, now.st_size, modified + 1).title, QStringLiteral("Secnd"));
    QCOMPARE(cache.count(), 1);
}

void TestFilesystemParts::tagsOfNonAudio()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.mp3"));
    QVERIFY(TestMedia::writeFile(path, "not audio at all, whatever the name says"));
    const AudioTags tags = TagCache::read(path);
    QVERIFY(tags.title.isEmpty());
    QVERIFY(tags.artist.isEmpty());
    QCOMPARE(tags.durationMs, 0);
    QVERIFY(!TagCache::read(dir.filePath(QStringLiteral("missing.mp3"))).valid);
}

QTEST_GUILESS_MAIN(TestFilesystemParts)
#include "tst_filesystemparts.moc"
