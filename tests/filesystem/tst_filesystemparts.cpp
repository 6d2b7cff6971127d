// The pure parts of the filesystem plugin: name order and the sort keys that stand in
// for names while a large folder is sorted, folder listings ordered in part and then
// completed, file names and links, the configuration file and the tag cache.
#include "EntryReader.h"
#include "FileName.h"
#include "FilesystemConfig.h"
#include "FolderListing.h"
#include "LinkPolicy.h"
#include "TagCache.h"
#include "TextFold.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int sign(int value)
{
    return (value > 0) - (value < 0);
}

int keyCompare(const QByteArray &a, const QByteArray &b)
{
    std::string keyA;
    std::string keyB;
    FolderListing::sortKey(a.constData(), &keyA);
    FolderListing::sortKey(b.constData(), &keyB);
    // Bytewise, unsigned, the shorter first when one starts the other.
    const size_t common = std::min(keyA.size(), keyB.size());
    const int bytes = common == 0 ? 0 : std::memcmp(keyA.data(), keyB.data(), common);
    if (bytes != 0)
        return sign(bytes);
    return sign(int(keyA.size()) - int(keyB.size()));
}

QByteArray digits(int count, char first = '1')
{
    QByteArray run(count, '0');
    run[0] = first;
    return run;
}

// Names that differ where a sort of names goes wrong: the length and value of digit
// runs, leading zeros, bytes on either side of the digits, case, accents, long shared
// heads, and names that start other names.
QList<QByteArray> randomNames(int count, quint32 seed)
{
    static const QList<QByteArray> pieces = {
        "a", "A", "b", "Z", "z", "_", "-", " ", "~", "x", ".", "(", ":",
        "0", "00", "007", "7", "9", "10", "99", "100", "0123456789", "\xc3\xa9", "\xc3\x89", "e\xcc\x81",
        "\xc3\x9f", "\xe2\x84\xab", "IMG_", "track-", "\xef\xac\x81", "long-shared-head-"};
    QRandomGenerator random(seed);
    QSet<QByteArray> names;
    while (names.size() < count) {
        QByteArray name;
        const int parts = 1 + int(random.bounded(6));
        for (int i = 0; i < parts; ++i)
            name += pieces.at(int(random.bounded(int(pieces.size()))));
        if (FolderListing::isListed(name.constData()))
            names.insert(name);
    }
    return QList<QByteArray>(names.cbegin(), names.cend());
}
} // namespace

class TestFilesystemParts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void naturalOrder_data()
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
        row("byte below the digits", "a/", "a0", -1);
        row("byte above the digits", "a9", "a:", -1);
        row("number ends the name", "a1", "a1b", -1);
        row("number then letters", "a2b", "a10a", -1);
        // Digit runs past what one length byte of a sort key counts.
        QTest::newRow("254 and 255 digits") << digits(254) << digits(255) << -1;
        QTest::newRow("255 and 256 digits") << digits(255) << digits(256) << -1;
        QTest::newRow("256 and 300 digits") << digits(256) << digits(300) << -1;
        QTest::newRow("300 digits by value") << digits(300, '2') << digits(300, '3') << -1;
        QTest::newRow("long run against a byte") << QByteArray("x" + digits(400)) << QByteArray("x\xff") << -1;
    }

    void naturalOrder()
    {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(int, order);
        QCOMPARE(sign(FolderListing::naturalCompare(a.constData(), b.constData())), order);
        QCOMPARE(sign(FolderListing::naturalCompare(b.constData(), a.constData())), -order);
        // The sort key of a name orders as the name does.
        QCOMPARE(keyCompare(a, b), order);
        QCOMPARE(keyCompare(b, a), -order);
        // The listing's order is total: names equal in the natural order still get one.
        const bool less = FolderListing::lessThan(a.constData(), b.constData());
        const bool greater = FolderListing::lessThan(b.constData(), a.constData());
        if (order != 0 || a == b)
            QVERIFY(less == (order < 0) && greater == (order > 0));
        else
            QVERIFY(less != greater);
    }

    void sortOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("before");
        const auto row = [](const char *name, const char *a, const char *b, bool before) {
            QTest::newRow(name) << QString::fromUtf8(a) << QString::fromUtf8(b) << before;
        };
        row("accented before later letters", "Émilie", "zoo", true);
        row("accent ignored, then letters", "élan", "Emilie", true);
        row("accented beside plain, plain first", "emilie", "Émilie", true);
        row("numbers by value after an accent", "Été 2", "ete 10", true);
        row("ligature as its letters", "ﬁle", "fire", true);
        row("plain names as before", "track 2", "Track 10", true);
    }

    void sortOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, before);
        const QByteArray first = a.toUtf8();
        const QByteArray second = b.toUtf8();
        QCOMPARE(FolderListing::sortsBefore(first.constData(), second.constData()), before);
        QCOMPARE(FolderListing::sortsBefore(second.constData(), first.constData()), !before);
        // Queries and predicates find either spelling in the other.
        QVERIFY(TextFold::contains(a, TextFold::fold(b)) == TextFold::contains(b, TextFold::fold(a)));
        QVERIFY(TextFold::contains(QStringLiteral("x ") + a + QStringLiteral(" y"), TextFold::fold(a.toUpper())));
    }

    void listing()
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
        for (int position : listing->matching(QStringLiteral("HOL\u00cdDAY"))) // case and accents ignored
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

    void listingOrder_data()
    {
        QTest::addColumn<QList<QByteArray>>("files");
        QTest::addColumn<QList<QByteArray>>("folders");
        QList<QByteArray> camera;
        for (int i = 1; i <= 1200; ++i)
            camera.append(QByteArray("IMG_") + QByteArray::number(i).rightJustified(4, '0') + ".JPG");
        camera.append({"IMG_0001.jpg", "img_0001.JPG", "IMG_1.JPG", "IMG_00001.JPG"});
        QList<QByteArray> sameHead;
        for (int i = 0; i < 400; ++i)
            sameHead.append(QByteArray("a-name-longer-than-eight-bytes-") + QByteArray::number(i % 7) + "-"
                            + QByteArray::number(i));
        QList<QByteArray> longNumbers;
        for (int length : {1, 2, 9, 100, 200, 250}) {
            for (char first : {'1', '5', '9'})
                longNumbers.append(QByteArray("n") + digits(length, first));
        }
        longNumbers.append({"n0", "n00", "n000001", "n", "n-"});
        QList<QByteArray> accents = {"\xc3\x89milie", "emilie", "Emilie", "zoo", "\xc3\xa9t\xc3\xa9", "ete",
                                     "e\xcc\x81te", "\xc3\x85ngstr\xc3\xb6m", "angstrom", "stra\xc3\x9f" "e",
                                     "strasse", "\xef\xac\x81le", "file", "bad\xfe.mp3", "bad.mp3"};
        QTest::newRow("camera folder") << camera << QList<QByteArray>{"DCIM", "2019", "100", "9"};
        QTest::newRow("eight shared bytes and more") << sameHead << QList<QByteArray>();
        QTest::newRow("long numbers") << longNumbers << QList<QByteArray>{"n10", "n9"};
        QTest::newRow("accents and bytes") << accents << QList<QByteArray>{"\xc3\x89t\xc3\xa9", "Ete", "ete-2"};
        QTest::newRow("mixed names, past the first steps of the names' buffer") << randomNames(8000, 11) << randomNames(60, 12);
        QTest::newRow("folders only") << QList<QByteArray>() << randomNames(200, 13);
        QTest::newRow("one file") << QList<QByteArray>{"only"} << QList<QByteArray>();
    }

    void listingOrder()
    {
        QFETCH(QList<QByteArray>, files);
        QFETCH(QList<QByteArray>, folders);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray path = QFile::encodeName(dir.path());
        QList<QByteArray> folderNames;
        for (const QByteArray &name : folders) {
            if (::mkdir((path + '/' + name).constData(), 0700) == 0)
                folderNames.append(name);
        }
        QList<QByteArray> fileNames;
        for (const QByteArray &name : files) {
            // Raw bytes: not every name is valid UTF-8.
            const int fd = ::open((path + '/' + name).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::close(fd);
                fileNames.append(name);
            }
        }
        QCOMPARE(folderNames.size() + fileNames.size(), int(QSet<QByteArray>(files.cbegin(), files.cend())
                                                                .unite(QSet<QByteArray>(folders.cbegin(), folders.cend()))
                                                                .size()));
        const auto before = [](const QByteArray &a, const QByteArray &b) {
            return FolderListing::sortsBefore(a.constData(), b.constData());
        };
        std::sort(folderNames.begin(), folderNames.end(), before);
        std::sort(fileNames.begin(), fileNames.end(), before);
        const QList<QByteArray> expected = folderNames + fileNames;
        const int size = int(expected.size());

        for (int ordered : {-1, 0, 1, 3, size / 2, size - 1, size, size + 5}) {
            int error = 0;
            const auto listing = FolderListing::read(path, &error, nullptr, ordered);
            QVERIFY(listing);
            QCOMPARE(listing->size(), size);
            QCOMPARE(listing->containerCount(), int(folderNames.size()));
            const int head = ordered < 0 ? size : qMin(ordered, size);
            QCOMPARE(listing->sortedCount(), head);
            for (int i = 0; i < head; ++i)
                QCOMPARE(QByteArray(listing->name(i)), expected.at(i));
            const auto complete = FolderListing::complete(listing);
            QCOMPARE(complete->size(), size);
            for (int i = 0; i < size; ++i) {
                if (QByteArray(complete->name(i)) != expected.at(i))
                    QFAIL(qPrintable(QStringLiteral("ordered %1: entry %2 is \"%3\", expected \"%4\"")
                                         .arg(ordered).arg(i)
                                         .arg(QString::fromUtf8(complete->name(i)), QString::fromUtf8(expected.at(i)))));
                QCOMPARE(complete->isContainer(i), i < folderNames.size());
            }
        }
    }

    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("uri");
        const auto row = [](const char *name, const QByteArray &raw, const QString &id, const char *uri) {
            QTest::newRow(name) << raw << id << QString::fromLatin1(uri);
        };
        row("ascii", "a b.mp3", QStringLiteral("a b.mp3"), "file:///m/a%20b.mp3");
        row("utf-8", "\xc3\x89milie", QStringLiteral("\u00c9milie"), "file:///m/%C3%89milie");
        row("raw ff", "bad\xff.mp3", QStringLiteral("bad\ufffdFF.mp3"), "file:///m/bad%FF.mp3");
        row("raw fe", "bad\xfe.mp3", QStringLiteral("bad\ufffdFE.mp3"), "file:///m/bad%FE.mp3");
        row("cut sequence", "x\xc3", QStringLiteral("x\ufffdC3"), "file:///m/x%C3");
        row("overlong slash", "\xc0\xaf", QStringLiteral("\ufffdC0\ufffdAF"), "file:///m/%C0%AF");
        row("a real U+FFFD", "r\xef\xbf\xbd" "FF", QStringLiteral("r\ufffd\ufffdFF"), "file:///m/r%EF%BF%BDFF");
        row("percent and hash", "100%#1", QStringLiteral("100%#1"), "file:///m/100%25%231");
    }

    void fileNames()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, id);
        QFETCH(QString, uri);
        QCOMPARE(FileName::fromBytes(raw), id);
        QCOMPARE(FileName::toBytes(id), raw);
        QCOMPARE(FileName::uri(QStringLiteral("/m/") + id), uri);
        QCOMPARE(QByteArray::fromPercentEncoding(uri.toLatin1()), "file:///m/" + raw);
    }

    void links_data()
    {
        QTest::addColumn<QString>("target"); // relative to the test's folder, or absolute
        QTest::addColumn<bool>("anywhere");
        QTest::addColumn<bool>("followed");
        QTest::newRow("inside the root") << QStringLiteral("root/music") << false << true;
        QTest::newRow("inside another root") << QStringLiteral("other") << false << true;
        QTest::newRow("out of the roots") << QStringLiteral("outside") << false << false;
        QTest::newRow("out of the roots, allowed") << QStringLiteral("outside") << true << true;
        QTest::newRow("the whole system") << QStringLiteral("/") << false << false;
        for (const bool anywhere : {false, true}) {
            for (const char *target : {"/proc/self", "/sys/kernel", "/dev/zero", "/dev/urandom"})
                QTest::addRow("%s, anywhere %d", target, anywhere) << QString::fromLatin1(target) << anywhere << false;
        }
    }

    void links()
    {
        QFETCH(QString, target);
        QFETCH(bool, anywhere);
        QFETCH(bool, followed);
        QTemporaryDir dir;
        for (const char *folder : {"root/music", "other", "outside"})
            QVERIFY(QDir(dir.path()).mkpath(QLatin1String(folder)));
        const QString root = dir.filePath(QStringLiteral("root"));
        const QString to = target.startsWith(QLatin1Char('/')) ? target : dir.filePath(target);
        QVERIFY(QFile::link(to, root + QStringLiteral("/link")));
        QVERIFY(TestMedia::writeFile(root + QStringLiteral("/song.mp3")));
        const LinkPolicy policy({root, dir.filePath(QStringLiteral("other"))}, anywhere);
        QCOMPARE(policy.allows(QFile::encodeName(root + QStringLiteral("/link"))), followed);
        // A root the user put in a system folder is read, and only that root there.
        const LinkPolicy shm({QStringLiteral("/dev/shm")}, anywhere);
        QVERIFY(shm.allowsResolved("/dev/shm/media") && !shm.allowsResolved("/dev/zero"));
        // A listing leaves out the links it may not follow.
        int error = 0;
        const auto listing = FolderListing::read(QFile::encodeName(root), &error, &policy);
        QVERIFY(listing);
        QStringList names;
        for (int i = 0; i < listing->size(); ++i)
            names.append(listing->displayName(i));
        QCOMPARE(names.contains(QStringLiteral("link")), followed);
        QVERIFY(names.contains(QStringLiteral("song.mp3")));
    }

    void configParse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("roots");
        QTest::addColumn<int>("warnings");
        const QString home = QDir::homePath();
        QTest::newRow("two roots") << QByteArray("root=/srv/music\nroot = /srv/films/ \n")
                                   << QStringList({"/srv/music", "/srv/films"}) << 0;
        QTest::newRow("home") << QByteArray("root=~/Music\nroot=~\n") << QStringList({home + "/Music", home}) << 0;
        QTest::newRow("repeated once") << QByteArray("root=/a\nroot=/a/\nroot=/b/../a\n") << QStringList({"/a"}) << 0;
        QTest::newRow("relative refused") << QByteArray("root=Music\nroot=/ok\n") << QStringList({"/ok"}) << 1;
        QTest::newRow("unknown setting") << QByteArray("colour=blue\nroot=/ok\n") << QStringList({"/ok"}) << 1;
        QTest::newRow("roots writable") << QByteArray("roots_writable=true\nroot=/a\n")
                                        << QStringList({"/a", "writable"}) << 0;
        QTest::newRow("roots not writable") << QByteArray("roots_writable=false\nroot=/a\n") << QStringList({"/a"}) << 0;
        QTest::newRow("roots writable: bad value")
            << QByteArray("roots_writable=yes\nroot=/a\n") << QStringList({"/a"}) << 1;
        QTest::newRow("links anywhere") << QByteArray("follow_links=anywhere\nroot=/a\n")
                                        << QStringList({"/a", "anywhere"}) << 0;
        QTest::newRow("links inside") << QByteArray("follow_links=inside\n") << QStringList() << 0;
        QTest::newRow("links: bad value") << QByteArray("follow_links=everywhere\n") << QStringList() << 1;
    }

    void configParse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, roots);
        QFETCH(int, warnings);
        QStringList found;
        const FilesystemConfig::Settings settings = FilesystemConfig::parse(text, &found);
        QStringList seen = settings.roots;
        if (settings.rootsWritable)
            seen.append(QStringLiteral("writable"));
        if (settings.linksAnywhere)
            seen.append(QStringLiteral("anywhere"));
        QCOMPARE(seen, roots);
        QCOMPARE(found.size(), warnings);
    }

    void configUpdate_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("roots");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("no file yet") << QByteArray() << QStringList{"/a"}
                                     << QByteArray("# Folders published as media sources, one source each.\nroot=/a\n");
        QTest::newRow("comments and order kept, a root added")
            << QByteArray("# my media\nroots_writable=true\nroot=/a   # not a comment\n\n# films\nroot = /b/\n# end\n")
            << QStringList{"/a   # not a comment", "/b", "/c"}
            << QByteArray("# my media\nroots_writable=true\nroot=/a   # not a comment\n\n# films\nroot = /b/\n"
                          "root=/c\n# end\n");
        QTest::newRow("a root dropped, its line only")
            << QByteArray("# one\nroot=/a\n# two\nroot=/b\n") << QStringList{"/b"} << QByteArray("# one\n# two\nroot=/b\n");
        QTest::newRow("repeated root line once")
            << QByteArray("root=/a\nroot=/a/\n") << QStringList{"/a"} << QByteArray("root=/a\n");
        QTest::newRow("comments only, no final newline")
            << QByteArray("# mine") << QStringList{"/a"} << QByteArray("# mine\nroot=/a\n");
    }

    void configUpdate()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, roots);
        QFETCH(QByteArray, after);
        QCOMPARE(FilesystemConfig::update(before, roots), after);
        QCOMPARE(FilesystemConfig::parse(after).roots, roots);
    }

    void configSaveAndCheck()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config/tuvo/filesystem-plugin.conf"));
        const QStringList roots{dir.filePath(QStringLiteral("a")), QStringLiteral("/srv/with = sign")};
        QString error;
        QVERIFY2(FilesystemConfig::save(path, roots, &error), qPrintable(error));
        QCOMPARE(FilesystemConfig::load(path).roots, roots);

        QCOMPARE(FilesystemConfig::checkRoots({dir.path(), dir.path() + QLatin1Char('/')}, &error), QStringList{dir.path()});
        QVERIFY(FilesystemConfig::checkRoots({dir.path(), QStringLiteral("relative")}, &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("relative")));
        QVERIFY(FilesystemConfig::checkRoots({path}, &error).isEmpty());
        QVERIFY(error.contains(QLatin1String("no such folder")));
        error.clear();
        QVERIFY(FilesystemConfig::checkRoots({}, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }

    void tags_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("durationMs"); // -1: no file to read
        QTest::newRow("tagged wav") << QStringLiteral("song.wav") << 1500;
        QTest::newRow("not audio, whatever the name") << QStringLiteral("notes.mp3") << 0;
        QTest::newRow("missing") << QStringLiteral("missing.mp3") << -1;
        // None of these may block or read for ever; none is opened for its contents.
        QTest::newRow("fifo") << QStringLiteral("fifo.mp3") << -1;
        QTest::newRow("link to /dev/zero") << QStringLiteral("zero.mp3") << -1;
        QTest::newRow("link to /dev/urandom") << QStringLiteral("random.ogg") << -1;
        QTest::newRow("too small to hold tags") << QStringLiteral("header.wav") << -1;
    }

    void tags()
    {
        QFETCH(QString, name);
        QFETCH(int, durationMs);
        QTemporaryDir dir;
        const TestMedia::Tags tags{"Low Tide", "The Tidewaters", "Harbour Lights", "Folk", 3, 2019};
        QVERIFY(TestMedia::writeTaggedWav(dir.filePath(QStringLiteral("song.wav")), 1500, tags));
        QVERIFY(TestMedia::writeFile(dir.filePath(QStringLiteral("notes.mp3")), "not audio at all"));
        QVERIFY(TestMedia::writeWav(dir.filePath(QStringLiteral("header.wav")), 0));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.mp3"))).constData(), 0600), 0);
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("zero.mp3"))));
        QVERIFY(QFile::link(QStringLiteral("/dev/urandom"), dir.filePath(QStringLiteral("random.ogg"))));
        const AudioTags read = TagCache::read(dir.filePath(name));
        const QMimeDatabase db;
        const QString mime = EntryReader::mimeType(db, QStringLiteral("x"), dir.filePath(name)); // by content
        QCOMPARE(mime == QLatin1String("application/octet-stream"), durationMs < 0 && name != QLatin1String("header.wav"));
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

    void tagCacheKeepsTags()
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

    void tagCacheBound()
    {
        QTemporaryDir dir;
        QStringList paths;
        for (int i = 0; i < 6; ++i) {
            paths.append(dir.filePath(QStringLiteral("song %1.wav").arg(i)));
            QVERIFY(TestMedia::writeTaggedWav(paths.last(), 100, {QStringLiteral("Title %1").arg(i)}));
        }
        const auto lookUp = [](TagCache &cache, const QString &path) {
            struct stat st;
            return ::stat(QFile::encodeName(path).constData(), &st) == 0
                   && cache.tags(path, st.st_size, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec).valid;
        };
        TagCache probe;
        QVERIFY(lookUp(probe, paths.at(0)));
        const qint64 entry = probe.bytes();
        QVERIFY(entry > 0);
        // Room for three entries of this size, not four.
        TagCache cache(entry * 3 + entry / 2);
        for (int i = 0; i < 3; ++i)
            QVERIFY(lookUp(cache, paths.at(i)));
        QVERIFY(lookUp(cache, paths.at(0))); // used again: 1 is now the least recent
        QVERIFY(lookUp(cache, paths.at(3)));
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.bytes() <= entry * 3 + entry / 2);
        QVERIFY(cache.contains(paths.at(0)) && !cache.contains(paths.at(1)));
        QVERIFY(cache.contains(paths.at(2)) && cache.contains(paths.at(3)));
        for (int i = 0; i < 6; ++i)
            QVERIFY(lookUp(cache, paths.at(i)));
        QCOMPARE(cache.count(), 3);
        QVERIFY(cache.contains(paths.at(5)) && !cache.contains(paths.at(2)));
        // An entry larger than the whole cache is not kept.
        TagCache tiny(entry / 2);
        QVERIFY(lookUp(tiny, paths.at(0)));
        QCOMPARE(tiny.count(), 0);
        QCOMPARE(tiny.bytes(), 0);
    }
};

QTEST_GUILESS_MAIN(TestFilesystemParts)
#include "tst_filesystemparts.moc"
