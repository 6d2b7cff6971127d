// The GStreamer plugin loaded through the framework, playing WAV files the test
// writes, to fakesink: unsynchronised where only the order of events matters, on the
// clock where positions do.
#include "RendererProbe.h"
#include "TestMedia.h"

#include <TuvoInternalRegistry.h>
#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>
#include <TuvoRenderer.h>
#include <TuvoShared.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString Fast = QStringLiteral("fakesink sync=false");
const QString Clocked = QStringLiteral("fakesink sync=true");

QList<int> states(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &arguments : spy)
        result.append(arguments.first().value<TuvoRenderer::State>());
    return result;
}
int lastState(const QSignalSpy &spy)
{
    return spy.isEmpty() ? -1 : int(spy.last().first().value<TuvoRenderer::State>());
}
} // namespace

class TestGstRenderer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void playsToTheEnd();
    void streamTagsOnce();
    void errors_data();
    void errors();
    void refusesContentTypes();
    void playlistAdvances();
    void playlistNavigation();
    void positionRunsWithTheClock();
    void startPositionAndSeek();
    void pauseAt();

private:
    QString media(const QString &name) const { return m_home.filePath(QStringLiteral("media/") + name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(media(name)); }
    bool setSink(const QString &description)
    {
        return m_renderer->setExtensionProperty(QStringLiteral("audio_sink"), description);
    }

    QTemporaryDir m_home;
    TuvoRenderer *m_renderer = nullptr;
};

void TestGstRenderer::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(QStringLiteral("data"))));

    TestMedia::Tags tags;
    tags.title = QStringLiteral("Low Tide");
    tags.artist = QStringLiteral("The Tidewaters");
    tags.album = QStringLiteral("Harbour Lights");
    QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("short.wav")), 300, tags));
    tags.title = QStringLiteral("Long Walk");
    QVERIFY(TestMedia::writeTaggedWav(media(QStringLiteral("long.wav")), 3000, tags));
    for (const char *name : {"a.wav", "b.wav", "c.wav"})
        QVERIFY(TestMedia::writeWav(media(QLatin1String(name)), 300));
    for (const char *name : {"one.wav", "two.wav", "three.wav"})
        QVERIFY(TestMedia::writeWav(media(QLatin1String(name)), 4000));
    QVERIFY(TestMedia::writeFile(media(QStringLiteral("notes.txt")), "plain text, not media\n"));
    QVERIFY(QDir().mkpath(media(QStringLiteral("folder.wav"))));
    // Playlists with entries relative to their own folder.
    const QString playlists = m_home.filePath(QStringLiteral("data/tuvo/playlists/"));
    QVERIFY(TestMedia::writeFile(playlists + QStringLiteral("walk.m3u"),
                                 "#EXTM3U\n#EXTINF:0,A\n../../../media/a.wav\n../../../media/b.wav\n"
                                 "../../../media/c.wav\n"));
    QVERIFY(TestMedia::writeFile(playlists + QStringLiteral("slow.m3u"),
                                 "../../../media/one.wav\n../../../media/two.wav\n../../../media/three.wav\n"));
    QVERIFY(TestMedia::writeFile(m_home.filePath(QStringLiteral("config/tuvo/gstreamer-plugin.conf")),
                                 "audio_sink=" + Fast.toUtf8() + "\nvideo_sink=fakesink\n"));

    // What the wrapper does before it publishes the first renderer.
    QVERIFY(TuvoShared::instance()->initialize(TuvoShared::TrackPlaylists));
    TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
    QVERIFY(registry->loadPlugin(TestMedia::gstreamerPlugin()));
    QCOMPARE(registry->renderers().size(), 1);
    m_renderer = registry->renderers().first();
    QCOMPARE(m_renderer->uuid(), QStringLiteral("gstreamer_renderer"));
    QCOMPARE(m_renderer->declaredPropertyValue(QStringLiteral("audio_sink")).toString(), Fast);
}

void TestGstRenderer::cleanupTestCase()
{
    delete TuvoInternalRegistry::internalInstance();
}

void TestGstRenderer::init()
{
    QVERIFY(m_renderer->stop());
    m_renderer->assignPlaylist(nullptr);
    QVERIFY(setSink(Fast));
}

void TestGstRenderer::playsToTheEnd()
{
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    QSignalSpy media(m_renderer, &TuvoRenderer::mediaChanged);
    QSignalSpy completed(m_renderer, &TuvoRenderer::playbackCompleted);
    QVERIFY(m_renderer->playUri(url(QStringLiteral("a.wav")), 0));
    QCOMPARE(media.size(), 1);
    QCOMPARE(media.first().at(0).toInt(), -1);
    QCOMPARE(media.first().at(1).value<TuvoContent>().uuid(), url(QStringLiteral("a.wav")).toString());
    QVERIFY(completed.wait());
    QCOMPARE(completed.size(), 1);
    QCOMPARE(states(state), QList<int>({TuvoRenderer::Playing, TuvoRenderer::Stopped}));

    RendererProbe probe(m_renderer);
    RendererProbe::Status status;
    QVERIFY(probe.status(&status));
    QCOMPARE(status.state, int(TuvoRenderer::Stopped));
    QCOMPARE(status.objectId, url(QStringLiteral("a.wav")).toString());
    uint position = 99;
    QVERIFY(probe.position(&position));
    QCOMPARE(position, 0u);

    // play() starts the same item again.
    QVERIFY(m_renderer->play());
    QVERIFY(completed.wait());
}

void TestGstRenderer::streamTagsOnce()
{
    QSignalSpy metadata(m_renderer, &TuvoRenderer::metadataChanged);
    QSignalSpy completed(m_renderer, &TuvoRenderer::playbackCompleted);
    QVERIFY(m_renderer->playUri(url(QStringLiteral("short.wav")), 0));
    QVERIFY(completed.wait());
    QHash<QString, int> times;
    QHash<QString, QList<QVariant>> values;
    for (const QList<QVariant> &arguments : qAsConst(metadata)) {
        ++times[arguments.at(0).toString()];
        values.insert(arguments.at(0).toString(), arguments.at(1).toList());
    }
    QCOMPARE(times.value(QStringLiteral("title")), 1);
    QCOMPARE(values.value(QStringLiteral("title")), QList<QVariant>{QStringLiteral("Low Tide")});
    QCOMPARE(values.value(QStringLiteral("artist")), QList<QVariant>{QStringLiteral("The Tidewaters")});

    // Still known once it has ended, until the next item starts.
    RendererProbe probe(m_renderer);
    TuvoMediaInfo info;
    QVERIFY(probe.mediaInfo(QString(), &info));
    QCOMPARE(info.uuid(), url(QStringLiteral("short.wav")).toString());
    QCOMPARE(info.metaData(QStringLiteral("album")), QList<QVariant>{QStringLiteral("Harbour Lights")});
}

void TestGstRenderer::errors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("words");
    QTest::newRow("missing file") << QStringLiteral("missing.wav") << int(TuvoError::ErrorResourceNotFound)
                                  << QStringLiteral("no such file");
    QTest::newRow("folder") << QStringLiteral("folder.wav") << int(TuvoError::ErrorResourceIsContainer)
                            << QStringLiteral("a folder");
    QTest::newRow("not media") << QStringLiteral("notes.txt") << int(TuvoError::ErrorUnsupportedMedia)
                               << QStringLiteral("not a media file");
}

void TestGstRenderer::errors()
{
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(QString, words);
    QSignalSpy errors(m_renderer, &TuvoRenderer::error);
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    m_renderer->playUri(url(name), 0);
    QTRY_COMPARE(errors.size(), 1);
    const TuvoError error = errors.first().first().value<TuvoError>();
    QCOMPARE(error.code(), code);
    QVERIFY2(error.message().contains(words), qPrintable(error.message()));
    QVERIFY2(error.message().contains(media(name)), qPrintable(error.message()));
    QCOMPARE(lastState(state), int(TuvoRenderer::Error));
    // One failure, one report.
    RendererProbe probe(m_renderer);
    RendererProbe::Status status;
    QVERIFY(probe.status(&status));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(status.state, int(TuvoRenderer::Error));
}

void TestGstRenderer::refusesContentTypes()
{
    QSignalSpy errors(m_renderer, &TuvoRenderer::error);
    QVERIFY(!m_renderer->playUriWithContentType(url(QStringLiteral("a.wav")), QStringLiteral("text/plain")));
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().first().value<TuvoError>().code(), int(TuvoError::ErrorUnsupportedMedia));
    QSignalSpy completed(m_renderer, &TuvoRenderer::playbackCompleted);
    QVERIFY(m_renderer->playUriWithContentType(url(QStringLiteral("a.wav")), QStringLiteral("audio/x-wav")));
    QVERIFY(completed.wait());
}

void TestGstRenderer::playlistAdvances()
{
    TuvoPlaylist *walk = TuvoRegistry::instance()->findPlaylist(QStringLiteral("walk"));
    QVERIFY(walk);
    QCOMPARE(walk->count(), 3);
    QSignalSpy playlist(m_renderer, &TuvoRenderer::playlistChanged);
    QSignalSpy media(m_renderer, &TuvoRenderer::mediaChanged);
    QSignalSpy completed(m_renderer, &TuvoRenderer::playbackCompleted);
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    QVERIFY(m_renderer->assignPlaylist(walk));
    QCOMPARE(playlist.size(), 1);
    QVERIFY(m_renderer->gotoIndex(0));
    QTRY_COMPARE(completed.size(), 3);
    QTRY_COMPARE(lastState(state), int(TuvoRenderer::Stopped));
    QList<int> indexes;
    QStringList uris;
    for (const QList<QVariant> &arguments : qAsConst(media)) {
        indexes.append(arguments.at(0).toInt());
        uris.append(arguments.at(1).value<TuvoContent>().uuid());
    }
    QCOMPARE(indexes, QList<int>({0, 1, 2}));
    QCOMPARE(uris, QStringList({url(QStringLiteral("a.wav")).toString(), url(QStringLiteral("b.wav")).toString(),
                                url(QStringLiteral("c.wav")).toString()}));
    QCOMPARE(media.first().at(1).value<TuvoContent>().metaData(QStringLiteral("title")).toString(), QStringLiteral("A"));
    // Entries follow each other without stopping in between.
    QCOMPARE(states(state).count(int(TuvoRenderer::Stopped)), 1);
    QVERIFY(!m_renderer->next());
}

void TestGstRenderer::playlistNavigation()
{
    QVERIFY(setSink(Clocked));
    TuvoPlaylist *slow = TuvoRegistry::instance()->findPlaylist(QStringLiteral("slow"));
    QVERIFY(slow);
    QSignalSpy media(m_renderer, &TuvoRenderer::mediaChanged);
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    QVERIFY(m_renderer->assignPlaylist(slow));
    QVERIFY(!m_renderer->previous());
    QVERIFY(m_renderer->play()); // from the first entry
    QTRY_VERIFY(states(state).contains(int(TuvoRenderer::Playing)));
    QVERIFY(m_renderer->next());
    QVERIFY(m_renderer->gotoIndex(2));
    QVERIFY(!m_renderer->next());
    QVERIFY(!m_renderer->gotoIndex(3));
    QVERIFY(m_renderer->previous());
    QList<int> indexes;
    for (const QList<QVariant> &arguments : qAsConst(media))
        indexes.append(arguments.at(0).toInt());
    QCOMPARE(indexes, QList<int>({0, 1, 2, 1}));
    RendererProbe probe(m_renderer);
    RendererProbe::Status status;
    QVERIFY(probe.status(&status));
    QCOMPARE(status.playlistId, QStringLiteral("slow"));
    QCOMPARE(status.index, 1u);
    QCOMPARE(status.objectId, url(QStringLiteral("two.wav")).toString());
}

void TestGstRenderer::positionRunsWithTheClock()
{
    QVERIFY(setSink(Clocked));
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    RendererProbe probe(m_renderer);
    QVERIFY(m_renderer->playUri(url(QStringLiteral("long.wav")), 0));
    QTRY_VERIFY(states(state).contains(int(TuvoRenderer::Playing)));
    QTRY_VERIFY(probe.positionMs() > 200);
    QVERIFY(probe.positionMs() < 3000);

    TuvoMediaInfo info;
    QVERIFY(probe.mediaInfo(QString(), &info));
    QCOMPARE(info.metaData(QStringLiteral("title")), QList<QVariant>{QStringLiteral("Long Walk")});
    QCOMPARE(info.metaData(QStringLiteral("duration")), QList<QVariant>{3u});

    QVERIFY(m_renderer->pause());
    QTRY_COMPARE(lastState(state), int(TuvoRenderer::Paused));
    const qint64 paused = probe.positionMs();
    QCOMPARE(probe.positionMs(), paused);
    QVERIFY(m_renderer->resume());
    QTRY_COMPARE(lastState(state), int(TuvoRenderer::Playing));
    QTRY_VERIFY(probe.positionMs() > paused);
    QVERIFY(m_renderer->stop());
    QCOMPARE(lastState(state), int(TuvoRenderer::Stopped));
    QCOMPARE(probe.positionMs(), 0);
}

void TestGstRenderer::startPositionAndSeek()
{
    QVERIFY(setSink(Clocked));
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    RendererProbe probe(m_renderer);
    QVERIFY(m_renderer->playUri(url(QStringLiteral("one.wav")), 2));
    QTRY_VERIFY(states(state).contains(int(TuvoRenderer::Playing)));
    qint64 position = probe.positionMs();
    QVERIFY2(position >= 2000 && position < 4000, qPrintable(QString::number(position)));

    QVERIFY(m_renderer->setPosition(1, TuvoRenderer::SeekBackward));
    QTRY_VERIFY(probe.positionMs() < 2000);
    QVERIFY(m_renderer->setPosition(0, TuvoRenderer::SeekAbsolute));
    QTRY_VERIFY(probe.positionMs() < 1000);
    QVERIFY(m_renderer->setPosition(3, TuvoRenderer::SeekForward));
    QTRY_VERIFY(probe.positionMs() >= 3000);
    QVERIFY(!m_renderer->setPosition(1, 7));
    QVERIFY(m_renderer->stop());
    QVERIFY(!m_renderer->setPosition(1, TuvoRenderer::SeekAbsolute));
}

void TestGstRenderer::pauseAt()
{
    QVERIFY(setSink(Clocked));
    QSignalSpy state(m_renderer, &TuvoRenderer::stateChanged);
    RendererProbe probe(m_renderer);
    QVERIFY(!m_renderer->pauseAt(1)); // nothing plays
    QVERIFY(m_renderer->playUri(url(QStringLiteral("two.wav")), 0));
    QVERIFY(m_renderer->pauseAt(1));
    QTRY_COMPARE_WITH_TIMEOUT(lastState(state), int(TuvoRenderer::Paused), 5000);
    const qint64 position = probe.positionMs();
    // Paused at 1 s, give or take a busy machine; the file lasts 4 s.
    QVERIFY2(position >= 1000 && position < 2500, qPrintable(QString::number(position)));
}

QTEST_GUILESS_MAIN(TestGstRenderer)
#include "tst_gstrenderer.moc"
