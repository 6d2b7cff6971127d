// The order of large folders: the sort keys that stand in for names while a folder is
// sorted, and listings ordered in part and then completed, against the order of the
// names themselves.
#include "FolderListing.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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

class TestFsScale : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sortKeyOrder_data();
    void sortKeyOrder();
    void sortKeyOrderOfManyNames();
    void listingOrder_data();
    void listingOrder();
};

void TestFsScale::sortKeyOrder_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::newRow("number by value") << QByteArray("file-9.jpg") << QByteArray("file-10.jpg");
    QTest::newRow("leading zeros") << QByteArray("007") << QByteArray("7");
    QTest::newRow("zeros only") << QByteArray("a00") << QByteArray("a0");
    QTest::newRow("byte below the digits") << QByteArray("a/") << QByteArray("a0");
    QTest::newRow("byte above the digits") << QByteArray("a9") << QByteArray("a:");
    QTest::newRow("number ends the name") << QByteArray("a1") << QByteArray("a1b");
    QTest::newRow("case") << QByteArray("Apple") << QByteArray("apple");
    QTest::newRow("254 and 255 digits") << digits(254) << digits(255);
    QTest::newRow("255 and 256 digits") << digits(255) << digits(256);
    QTest::newRow("256 and 300 digits") << digits(256) << digits(300);
    QTest::newRow("300 digits by value") << digits(300, '2') << digits(300, '3');
    QTest::newRow("long run against a byte") << QByteArray("x" + digits(400)) << QByteArray("x\xff");
    QTest::newRow("number then letters") << QByteArray("a2b") << QByteArray("a10a");
    QTest::newRow("non-ASCII bytes") << QByteArray("caf\xc3\xa9") << QByteArray("cafe");
}

void TestFsScale::sortKeyOrder()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QCOMPARE(keyCompare(a, b), sign(FolderListing::naturalCompare(a.constData(), b.constData())));
    QCOMPARE(keyCompare(b, a), sign(FolderListing::naturalCompare(b.constData(), a.constData())));
}

void TestFsScale::sortKeyOrderOfManyNames()
{
    const QList<QByteArray> names = randomNames(300, 7);
    for (const QByteArray &a : names) {
        for (const QByteArray &b : names) {
            if (keyCompare(a, b) != sign(FolderListing::naturalCompare(a.constData(), b.constData())))
                QFAIL(qPrintable(QStringLiteral("keys of \"%1\" and \"%2\" disagree with their names")
                                     .arg(QString::fromUtf8(a), QString::fromUtf8(b))));
        }
    }
}

void TestFsScale::listingOrder_data()
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
    QTest::newRow("mixed names") << randomNames(1500, 11) << randomNames(60, 12);
    QTest::newRow("folders only") << QList<QByteArray>() << randomNames(200, 13);
    QTest::newRow("one file") << QList<QByteArray>{"only"} << QList<QByteArray>();
}

void TestFsScale::listingOrder()
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

QTEST_GUILESS_MAIN(TestFsScale)
#include "tst_fsscale.moc"
