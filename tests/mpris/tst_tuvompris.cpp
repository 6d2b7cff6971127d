// The pure parts of tuvo-mpris: its position clock, the names it derives and its
// metadata mapping.

#include "TuvoMprisMetadata.h"
#include "TuvoMprisNames.h"
#include "TuvoMprisPlaylistFolder.h"
#include "TuvoMprisPositionClock.h"

#include <QDBusObjectPath>
#include <QRegularExpression>
#include <QTest>

class tst_TuvoMpris : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A clock at 10.000 s, running since time 0; the renderer answers at time `at`.
    void clockCorrection_data()
    {
        QTest::addColumn<qint64>("at");
        QTest::addColumn<quint32>("answer");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<bool>("jumped");
        QTest::newRow("answer in the clock's second keeps it") << qint64(700) << 10u << qint64(10700) << false;
        QTest::newRow("renderer a second behind (truncated) keeps it") << qint64(1200) << 11u << qint64(11200) << false;
        QTest::newRow("clock ahead of the second: to its end") << qint64(1800) << 10u << qint64(10999) << false;
        QTest::newRow("clock behind the second: to its start") << qint64(300) << 11u << qint64(11000) << false;
        QTest::newRow("seek far ahead is a jump") << qint64(300) << 60u << qint64(60000) << true;
        QTest::newRow("seek back is a jump") << qint64(300) << 2u << qint64(2000) << true;
    }

    void clockCorrection()
    {
        QFETCH(qint64, at);
        QFETCH(quint32, answer);
        QFETCH(qint64, expected);
        QFETCH(bool, jumped);
        TuvoMprisPositionClock clock;
        clock.set(10000, 0);
        clock.setRunning(true, 0);
        QCOMPARE(clock.correct(answer, at), jumped);
        QCOMPARE(clock.position(at), expected);
        QCOMPARE(clock.position(at + 500), expected + 500);
    }

    void clockPausesAndAsksAtMostOncePerSecond()
    {
        TuvoMprisPositionClock clock;
        QVERIFY(!clock.needsResync(0)); // stopped: nothing moves
        clock.setRunning(true, 0);
        QVERIFY(clock.needsResync(0));
        clock.markQueried(0);
        QVERIFY(!clock.needsResync(999));
        QVERIFY(clock.needsResync(1000));
        clock.setRunning(false, 2500);
        QCOMPARE(clock.position(9000), qint64(2500));
        QVERIFY(!clock.needsResync(9000));
    }

    void names_data()
    {
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("busName");
        QTest::newRow("plain") << "gst_renderer" << "org.mpris.MediaPlayer2.tuvo.gst_renderer";
        QTest::newRow("dashes") << "a-b" << "org.mpris.MediaPlayer2.tuvo._a_b_";
        QTest::newRow("same once made safe") << "a.b" << "org.mpris.MediaPlayer2.tuvo._a_b_";
        QTest::newRow("leading digit") << "1st" << "org.mpris.MediaPlayer2.tuvo._1st_";
        QTest::newRow("empty") << "" << "org.mpris.MediaPlayer2.tuvo.__";
        QTest::newRow("very long") << QString(300, u'x') << "org.mpris.MediaPlayer2.tuvo._xxx";
    }

    void names()
    {
        QFETCH(QString, uuid);
        QFETCH(QString, busName);
        const QString name = TuvoMprisNames::busName(uuid);
        QVERIFY2(name.startsWith(busName), qPrintable(name));
        QVERIFY(name.size() <= 255);
        QVERIFY(QRegularExpression(QStringLiteral("^org\\.mpris\\.MediaPlayer2\\.tuvo\\.[A-Za-z_][A-Za-z0-9_]*$"))
                    .match(name).hasMatch());
        QCOMPARE(TuvoMprisNames::busName(uuid), name); // stable
    }

    void namesStayApart()
    {
        QVERIFY(TuvoMprisNames::busName(QStringLiteral("a-b")) != TuvoMprisNames::busName(QStringLiteral("a.b")));
        QVERIFY(TuvoMprisNames::busName(QStringLiteral("a_b")) != TuvoMprisNames::busName(QStringLiteral("a-b")));
    }

    void paths_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("plain") << "morning";
        QTest::newRow("blanks and slashes") << "file:///music/a b.ogg";
        QTest::newRow("underscore and unicode") << "x_y \u00e9\u266b";
    }

    void paths()
    {
        QFETCH(QString, id);
        const QString track = TuvoMprisNames::trackId(id);
        QVERIFY2(QDBusObjectPath(track).path() == track && !track.startsWith(QLatin1String("/org/mpris")),
                 qPrintable(track));
        QVERIFY(TuvoMprisNames::trackId(id + QLatin1Char('x')) != track);
        const QString playlist = TuvoMprisNames::playlistPath(id);
        QCOMPARE(QDBusObjectPath(playlist).path(), playlist);
        QCOMPARE(TuvoMprisNames::playlistId(playlist), id);
    }

    void metadata_data()
    {
        QTest::addColumn<QString>("itemId");
        QTest::addColumn<QVariantMap>("media");
        QTest::addColumn<QVariantMap>("expected");
        const QVariant noTrack = QVariant::fromValue(QDBusObjectPath(QLatin1String(TuvoMprisNames::NoTrack)));
        QTest::newRow("nothing") << QString() << QVariantMap() << QVariantMap{{"mpris:trackid", noTrack}};
        QTest::newRow("everything")
            << "i1"
            << QVariantMap{{"title", QVariantList{"T"}}, {"artist", QVariantList{"A", "B"}},
                           {"album", QVariantList{"L"}}, {"uri", QVariantList{"file:///t.ogg"}},
                           {"duration", QVariantList{180u}}, {"genre", QVariantList{"G"}}}
            << QVariantMap{{"mpris:trackid", QVariant::fromValue(QDBusObjectPath(TuvoMprisNames::trackId("i1")))},
                           {"xesam:title", "T"}, {"xesam:artist", QStringList{"A", "B"}},
                           {"xesam:album", "L"}, {"xesam:url", "file:///t.ogg"},
                           {"mpris:length", qlonglong(180000000)}};
        QTest::newRow("empty values left out")
            << QString() << QVariantMap{{"title", QVariantList{""}}, {"duration", QVariantList{0u}}}
            << QVariantMap{{"mpris:trackid", noTrack}};
    }

    void metadata()
    {
        QFETCH(QString, itemId);
        QFETCH(QVariantMap, media);
        QFETCH(QVariantMap, expected);
        QMap<QString, QVariantList> info;
        for (auto it = media.cbegin(); it != media.cend(); ++it)
            info.insert(it.key(), it.value().toList());
        QCOMPARE(TuvoMprisMetadata::fromMediaInfo(itemId, info), expected);
    }

    void playlistParse_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("count");
        QTest::newRow("plain") << QByteArray("a.ogg\n\nb.ogg\n") << "walk" << 2;
        QTest::newRow("extended, named") << QByteArray("#EXTM3U\n#PLAYLIST:Evening\n#EXTINF:3,x\nc.ogg\r\n")
                                         << "Evening" << 1;
    }

    void playlistParse()
    {
        QFETCH(QByteArray, data);
        const TuvoMprisPlaylistFolder::Entry entry = TuvoMprisPlaylistFolder::parse(QStringLiteral("walk"), data);
        QCOMPARE(entry.id, QStringLiteral("walk"));
        QTEST(entry.name, "name");
        QTEST(entry.count, "count");
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMpris)
#include "tst_tuvompris.moc"
