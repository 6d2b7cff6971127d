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

class TestFilesystemParts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void naturalOrder_data();
    void naturalOrder();
    void listing();
    void configParse_data();
    void configParse();
    void configSaveAndCheck();
    void tags_data();
    void tags();
    void tagCacheKeepsTags();
};

void TestFilesystemParts::naturalOrder_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<int>("order");
    const auto row = [](const char *name, const char *a, const char *b, int order) {
        QTest::newRow(name) << QByteArray(a) << QByteArray(b) << order;
    };
    row("letters", "apple", "banana", -1);
    row("numbers by value", "track 2.wav", "track 10.wav", -1);
    row("numbers by value, reversed", "10", "9", 1);
    row("case ignored", "Track", "track", 0);
    row("leading zeros ignored", "a01", "a1", 0);
    row("case and zeros", "A1", "a01", 0);
    row("identical", "same", "same", 0);
    row("prefix first", "abc", "abcd", -1);
    row("upper case among lower", "B", "a", 1);
    row("zero alone", "0", "00", 0);
    row("digits before letters", "1a", "a1", -1);
    row("non-ascii after ascii", "\xc3\xa9t\xc3\xa9", "zebra", 1);
    row("shared prefix, numbers", "photo-0009.jpg", "photo-00010.jpg", -1);
    row("shared prefix ending in a number", "img10", "img9", 1);
    row("equal numbers, then text", "x 007y", "x 7z", -1);
    row("long numbers", "x123456789012345678901", "x99", 1);
}

void TestFilesystemParts::naturalOrder()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(int, order);
    const auto sign = [](int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; };
    QCOMPARE(sign(FolderListing::naturalCompare(a.constData(), b.constData())), order);
    QCOMPARE(sign(FolderListing::naturalCompare(b.constData(), a.constData())), -order);
    // The listing's order is total: names equal in the natural order still get one.
    const bool less = FolderListing::lessThan(a.constData(), b.constData());
    const bool greater = FolderListing::lessThan(b.constData(), a.constData());
    if (order != 0 || a == b)
        QVERIFY(less == (order < 0) && greater == (order > 0));
    else
        QVERIFY(less != greater);
}

void TestFilesystemParts::listing()
{
    QTemporaryDir dir;
    for (const char *name : {"track 10.txt", "track 9.txt", "Alpha.txt", ".hidden", "Holiday 2019.jpg", "HOLIDAYS"})
        QVERIFY(TestMedia::writeFile(dir.filePath(QLatin1String(name))));
    for (const char *name : {"zeta", "Beta", ".cache"})
        QVERIFY(QDir(dir.path()).mkpath(QLatin1String(name)));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("zeta")), dir.filePath(QStringLiteral("link to zeta"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), dir.filePath(QStringLiteral("dangling"))));

    const QByteArray path = QFile::encodeName(dir.path());
    int error = -1;
    const auto listing = FolderListing::read(path, &error);
    QVERIFY(listing);
    QCOMPARE(error, 0);
    QStringList names;
    for (int i = 0; i < listing->size(); ++i)
        names.append(listing->displayName(i));
    QCOMPARE(names, QStringList({"Beta", "link to zeta", "zeta", "Alpha.txt", "dangling", "Holiday 2019.jpg",
                                 "HOLIDAYS", "track 9.txt", "track 10.txt"}));
    QCOMPARE(listing->containerCount(), 3);
    QVERIFY(listing->isContainer(2) && !listing->isContainer(3));
    QStringList found;
    for (int position : listing->matching(QStringLiteral("holiday")))
        found.append(listing->displayName(position));
    QCOMPARE(found, QStringList({"Holiday 2019.jpg", "HOLIDAYS"}));
    QVERIFY(listing->matching(QStringLiteral("nothing like it")).isEmpty());

    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QVERIFY(listing->isCurrent(st));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("new"))));
    QCOMPARE(::stat(path.constData(), &st), 0);
    QVERIFY(!listing->isCurrent(st));

    QVERIFY(!FolderListing::read(path + "/missing", &error));
    QCOMPARE(error, ENOENT);
    QVERIFY(!FolderListing::read(path + "/new", &error));
    QCOMPARE(error, ENOTDIR);
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
                               << QStringList({"/srv/music", "/srv/films"}) << 0;
    QTest::newRow("home") << QByteArray("root=~/Music\nroot=~\n") << QStringList({home + "/Music", home}) << 0;
    QTest::newRow("repeated once") << QByteArray("root=/a\nroot=/a/\nroot=/b/../a\n") << QStringList({"/a"}) << 0;
    QTest::newRow("relative refused") << QByteArray("root=Music\nroot=/ok\n") << QStringList({"/ok"}) << 1;
    QTest::newRow("unknown setting") << QByteArray("colour=blue\nroot=/ok\n") << QStringList({"/ok"}) << 1;
    QTest::newRow("windows line ends") << QByteArray("root=/a\r\nroot=/b\r\n") << QStringList({"/a", "/b"}) << 0;
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

void TestFilesystemParts::configSaveAndCheck()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf"));
    const QStringList roots{dir.filePath(QStringLiteral("a")), QStringLiteral("/srv/with = sign")};
    QString error;
    QVERIFY2(FilesystemConfig::save(path, roots, &error), qPrintable(error));
    QCOMPARE(FilesystemConfig::load(path), roots);

    QCOMPARE(FilesystemConfig::checkRoots({dir.path(), dir.path() + QLatin1Char('/')}, &error), QStringList{dir.path()});
    QVERIFY(FilesystemConfig::checkRoots({dir.path(), QStringLiteral("relative")}, &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("relative")));
    QVERIFY(FilesystemConfig::checkRoots({path}, &error).isEmpty());
    QVERIFY(error.contains(QLatin1String("no such folder")));
    error.clear();
    QVERIFY(FilesystemConfig::checkRoots({}, &error).isEmpty());
    QVERIFY(!error.isEmpty());
}

void TestFilesystemParts::tags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("durationMs"); // -1: no file to read
    QTest::newRow("tagged wav") << QStringLiteral("song.wav") << 1500;
    QTest::newRow("not audio, whatever the name") << QStringLiteral("notes.mp3") << 0;
    QTest::newRow("missing") << QStringLiteral("missing.mp3") << -1;
}

void TestFilesystemParts::tags()
{
    QFETCH(QString, name);
    QFETCH(int, durationMs);
    QTemporaryDir dir;
    const TestMedia::Tags tags{"Low Tide", "The Tidewaters", "Harbour Lights", "Folk", 3, 2019};
    QVERIFY(TestMedia::writeTaggedWav(dir.filePath(QStringLiteral("song.wav")), 1500, tags));
    QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("notes.mp3")), "not audio at all"));
    const AudioTags read = TagCache::read(dir.filePath(name));
    const bool audio = durationMs > 0;
    if (durationMs != 0)
        QCOMPARE(read.valid, audio);
    QCOMPARE(read.title, audio ? tags.title : QString());
    QCOMPARE(read.artist, audio ? tags.artist : QString());
    QCOMPARE(read.album, audio ? tags.album : QString());
    QCOMPARE(read.genre, audio ? tags.genre : QString());
    QCOMPARE(read.trackNumber, audio ? 3 : 0);
    QCOMPARE(read.year, audio ? 2019 : 0);
    QVERIFY2(qAbs(read.durationMs - qMax(durationMs, 0)) < 50, qPrintable(QString::number(read.durationMs)));
}

void TestFilesystemParts::tagCacheKeepsTags()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.wav"));
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(TestMedia::writeTaggedWav(path, 300, {QStringLiteral("First")}));
    struct stat st, now;
    QCOMPARE(::stat(name.constData(), &st), 0);
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    TagCache cache;
    QCOMPARE(cache.tags(path, st.st_size, modified).title, QStringLiteral("First"));
    QCOMPARE(cache.count(), 1);
    // New tags of the same length, and the old time put back: the cache answers
    // without reading the file, so it still says "First".
    QVERIFY(TestMedia::tag(path, {QStringLiteral("Secnd")}));
    QCOMPARE(::stat(name.constData(), &now), 0);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    QCOMPARE(cache.tags(path, now.st_size, modified).title, now.st_size == st.st_size ? "First" : "Secnd");
    // A different time is a different file.
    QCOMPARE(cache.tags(path, now.st_size, modified + 1).title, QStringLiteral("Secnd"));
    QCOMPARE(cache.count(), 1);
}

QTEST_GUILESS_MAIN(TestFilesystemParts)
#include "tst_filesystemparts.moc"
