// The GStreamer plugin in the real wrapper on a private bus, driven by a client: WAV
// files the test writes play to fakesink on the clock, short where only the order of
// events matters.
#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestMedia.h"
#include "WrapperProcess.h"

#include <TuvoMediaInfoDBus.h>

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
const QString Service = QStringLiteral("com.oxbel.tuvo.renderer.GStreamer.gstreamer_renderer");
const QString Path = QStringLiteral("/com/oxbel/tuvo/renderer/gstreamer_renderer");
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
enum State { Stopped = 0, Playing = 1, Paused = 2, Error = 4 };
} // namespace

/*! One wrapper hosting the GStreamer plugin, with a home of its own. */
struct Host
{
    QTemporaryDir home;
    WrapperProcess wrapper;
    BusClient activator, client;
    std::unique_ptr<BusSignalRecorder> states, media, completed, errors, playlists, metadata;

    QString uri(const QString &name) const { return QUrl::fromLocalFile(home.filePath("media/" + name)).toString(); }
    bool start()
    {
        const auto file = [this](const QString &name) { return home.filePath(name); };
        bool made = TestMedia::writeTaggedWav(file("media/short.wav"), 300, {"Low Tide", "The Tidewaters", "Harbour Lights"})
                    && TestMedia::writeTaggedWav(file("media/long.wav"), 3000, {"Long Walk"});
        for (const char *name : {"a", "b", "c"})
            made = made && TestMedia::writeWav(file(QStringLiteral("media/%1.wav").arg(name)), 300);
        for (const char *name : {"one", "two", "three"})
            made = made && TestMedia::writeWav(file(QStringLiteral("media/%1.wav").arg(name)), 4000);
        made = made && TestMedia::writeFile(file("media/notes.txt"), "not media\n") && QDir().mkpath(file("media/folder"))
               && TestMedia::writeFile(file("data/tuvo/playlists/walk.m3u"),
                                       "#EXTM3U\n../../../media/a.wav\n../../../media/b.wav\n../../../media/c.wav\n")
               && TestMedia::writeFile(file("data/tuvo/playlists/slow.m3u"),
                                       "../../../media/one.wav\n../../../media/two.wav\n../../../media/three.wav\n")
               && TestMedia::writeFile(file("data/tuvo/playlists/bad_media.m3u"), "../../../media/a.wav\n../../../media/notes.txt\n")
               && TestMedia::writeFile(file("data/tuvo/playlists/bad_fifo.m3u"), "../../../media/a.wav\n../../../media/pipe.wav\n")
               && ::mkfifo(QFile::encodeName(file("media/pipe.wav")).constData(), 0644) == 0
               && TestMedia::writeFile(file("config/tuvo/gstreamer-plugin.conf"),
                                       "audio_sink=fakesink sync=true\nvideo_sink=fakesink\n");
        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("XDG_CONFIG_HOME"), file("config"));
        wrapper.setEnv(QStringLiteral("XDG_DATA_HOME"), file("data"));
        if (!made || !wrapper.startWithPlugin(TestMedia::gstreamerPlugin()))
            return false;
        const auto record = [this](const char *member) {
            return std::make_unique<BusSignalRecorder>(Service, Path, Interface, QLatin1String(member), client.connection());
        };
        states = record("state_changed"), media = record("media_changed"), completed = record("playback_completed");
        errors = record("error"), playlists = record("playlist_changed"), metadata = record("metadata_changed");
        return activator.activate(QStringLiteral("libtuvo_gstreamer_plugin")) && TestBus::waitForName(Service);
    }
    QList<QVariant> call(const char *method, const QVariantList &arguments = {})
    {
        return client.call(Service, Path, Interface, QLatin1String(method), arguments).arguments();
    }
    static QList<int> column(const BusSignalRecorder &recorder, int index = 0)
    {
        QList<int> result;
        for (const QVariantList &arguments : recorder.arguments())
            result.append(arguments.value(index).toInt());
        return result;
    }
    int lastState() const { return column(*states).value(states->count() - 1, -1); }
    TuvoMediaInfo mediaInfo(const QString &key)
    {
        return TuvoMediaInfoDBus::fromWire(
            qdbus_cast<TuvoMediaInfoDBusStruct>(call("get_current_media_info", {key}).value(0)));
    }
    qint64 positionMs() { return mediaInfo("position_ms").metaData("position_ms").value(0, -1).toLongLong(); }
};

class TestGstWrapper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBusStruct::registerMetaType();
        m_host.reset(new Host);
        QVERIFY(m_host->start());
    }

    void playsToTheEnd()
    {
        Host &host = *m_host;
        host.call("play_uri", {host.uri("short.wav"), 0u});
        QVERIFY(host.completed->waitForCount(1));
        QTRY_COMPARE(Host::column(*host.states), QList<int>({Playing, Stopped}));
        QCOMPARE(host.media->arguments(), QList<QVariantList>{QVariantList({-1, host.uri("short.wav")})});
        const QVariantList status = host.call("get_status");
        QCOMPARE(status.value(2).toInt(), int(Stopped));
        QCOMPARE(status.value(3).toString(), host.uri("short.wav"));
        QCOMPARE(host.call("get_position").value(0).toUInt(), 0u);
        // Stream tags come once each, and are still known once the item has ended.
        QStringList keys;
        for (const QVariantList &arguments : host.metadata->arguments()) {
            keys.append(arguments.value(0).toString());
            if (keys.last() == QLatin1String("title"))
                QCOMPARE(qdbus_cast<QVariantList>(arguments.value(1)), QVariantList{QStringLiteral("Low Tide")});
        }
        QCOMPARE(keys.count(QStringLiteral("title")), 1);
        QVERIFY(keys.contains(QStringLiteral("artist")));
        const TuvoMediaInfo info = host.mediaInfo(QString());
        QCOMPARE(info.uuid(), host.uri("short.wav"));
        QCOMPARE(info.metaData(QStringLiteral("album")), QVariantList{QStringLiteral("Harbour Lights")});
        // play starts the same item again; a content type the renderer plays is taken.
        host.call("play");
        QVERIFY(host.completed->waitForCount(2));
        host.call("play_uri_content_type", {host.uri("a.wav"), QStringLiteral("audio/x-wav")});
        QVERIFY(host.completed->waitForCount(3));
        QCOMPARE(host.errors->count(), 0);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("words");
        QTest::newRow("missing file") << "missing.wav" << QString() << 100 << "no such file";
        QTest::newRow("folder") << "folder" << QString() << 101 << "a folder";
        QTest::newRow("not media") << "notes.txt" << QString() << 102 << "not a media file";
        QTest::newRow("fifo") << "pipe.wav" << QString() << 102 << "not a media file";
        // GStreamer would read the wrapper's own descriptors.
        QTest::newRow("fd uri") << "fd://0" << QString() << 102 << "not a media file";
        QTest::newRow("refused content type") << "a.wav" << "text/plain" << 102 << "";
    }

    void errors()
    {
        QFETCH(QString, name);
        QFETCH(QString, contentType);
        QFETCH(int, code);
        QFETCH(QString, words);
        Host &host = *m_host;
        host.errors->clear();
        const QString uri = name.contains(QLatin1String("://")) ? name : host.uri(name);
        if (contentType.isEmpty())
            host.call("play_uri", {uri, 0u});
        else
            host.call("play_uri_content_type", {uri, contentType});
        QVERIFY(host.errors->waitForCount(1));
        const QVariantList error = host.errors->arguments().first();
        QCOMPARE(error.value(0).toInt(), code);
        if (!words.isEmpty()) {
            QVERIFY2(error.value(1).toString().contains(words), qPrintable(error.value(1).toString()));
            QVERIFY(error.value(1).toString().contains(uri == name ? name : host.home.filePath("media/" + name)));
            QCOMPARE(host.lastState(), int(Error));
        }
        host.call("get_status"); // one failure, one report
        QCOMPARE(host.errors->count(), 1);
    }

    void playlistFromM3u()
    {
        Host &host = *m_host;
        host.call("stop");
        host.states->clear(), host.media->clear(), host.completed->clear();
        host.call("assign_playlist", {QStringLiteral("walk")});
        QVERIFY(host.playlists->waitForCount(1));
        QCOMPARE(host.playlists->firstArguments(), QStringList{QStringLiteral("walk")});
        host.call("goto_index", {0u});
        QVERIFY(host.completed->waitForCount(3));
        QTRY_COMPARE(Host::column(*host.media), QList<int>({0, 1, 2}));
        QCOMPARE(host.media->arguments().last().value(1).toString(), host.uri("c.wav"));
        QTRY_COMPARE(host.lastState(), int(Stopped));
        // No stop between entries. (The stop before the playlist may still be on its way
        // when the recorder is cleared, so count from the first Playing.)
        const QList<int> states = Host::column(*host.states);
        QCOMPARE(states.mid(states.indexOf(int(Playing))).count(Stopped), 1);
        host.call("next"); // past the end
        QVERIFY(host.wrapper.waitForErrorOutput(QStringLiteral("playlist next fails.")));
        // From the middle on, it plays on to the end by itself.
        host.call("goto_index", {1u});
        QVERIFY(host.completed->waitForCount(5));
        QTRY_COMPARE(Host::column(*host.media), QList<int>({0, 1, 2, 1, 2}));
    }

    void propertiesOverTheBus()
    {
        Host &host = *m_host;
        const QString extension = QStringLiteral("com.oxbel.tuvo.extension");
        const auto get = [&](const QString &name) {
            return host.client.call(Service, Path, extension, QStringLiteral("get_extension_property"), {name})
                .arguments().value(1).value<QDBusVariant>().variant();
        };
        const auto set = [&](const QString &name, const QVariant &value) {
            return host.client.call(Service, Path, extension, QStringLiteral("set_extension_property"),
                                    {name, QVariant::fromValue(QDBusVariant(value))}).arguments().value(0).toBool();
        };
        QCOMPARE(get(QStringLiteral("audio_sink")).toString(), QStringLiteral("fakesink sync=true"));
        QCOMPARE(get(QStringLiteral("volume")).toInt(), 100);
        QVERIFY(set(QStringLiteral("volume"), 40));
        QCOMPARE(get(QStringLiteral("volume")).toInt(), 40);
        QVERIFY(!set(QStringLiteral("volume"), 400));
        // Which sinks are refused (file writers among them) is the sink policy's table.
        QVERIFY(!set(QStringLiteral("audio_sink"), QStringLiteral("filesink location=") + host.home.filePath("written")));
        QCOMPARE(get(QStringLiteral("audio_sink")).toString(), QStringLiteral("fakesink sync=true"));
        QVERIFY(set(QStringLiteral("video_sink"), QStringLiteral("autovideosink")));
    }

    void positionsOnTheClock()
    {
        Host &host = *m_host;
        host.call("play_uri", {host.uri("long.wav"), 0u});
        QTRY_VERIFY(host.positionMs() > 200);
        QTRY_VERIFY_WITH_TIMEOUT(host.call("get_position").value(0).toUInt() >= 1, 5000);
        QVERIFY(host.positionMs() < 3000);
        const TuvoMediaInfo info = host.mediaInfo(QString());
        QCOMPARE(info.metaData(QStringLiteral("title")), QVariantList{QStringLiteral("Long Walk")});
        QCOMPARE(info.metaData(QStringLiteral("duration")), QVariantList{3u});
        host.call("pause");
        QTRY_COMPARE(host.lastState(), int(Paused));
        const qint64 paused = host.positionMs();
        QCOMPARE(host.positionMs(), paused);
        host.call("resume");
        QTRY_COMPARE(host.lastState(), int(Playing));
        QTRY_VERIFY(host.positionMs() > paused);
        host.call("stop");
        QTRY_COMPARE(host.lastState(), int(Stopped));
        QCOMPARE(host.positionMs(), 0);

        // A start position, and the three kinds of seek.
        host.call("play_uri", {host.uri("one.wav"), 2u});
        QTRY_COMPARE(host.lastState(), int(Playing));
        QVERIFY2(host.positionMs() >= 2000 && host.positionMs() < 4000, qPrintable(QString::number(host.positionMs())));
        host.call("set_position", {1, 2}); // back
        QTRY_VERIFY(host.positionMs() < 2000);
        host.call("set_position", {0});
        QTRY_VERIFY(host.positionMs() < 1000);
        host.call("set_position", {3, 1}); // ahead
        QTRY_VERIFY(host.positionMs() >= 3000);

        // Paused at 1 s, give or take a busy machine; the file lasts 4 s.
        host.call("play_uri", {host.uri("two.wav"), 0u});
        host.call("pause_at", {1u});
        host.states->clear();
        QTRY_COMPARE_WITH_TIMEOUT(host.lastState(), int(Paused), 5000);
        QVERIFY2(host.positionMs() >= 1000 && host.positionMs() < 2500, qPrintable(QString::number(host.positionMs())));
    }

    void navigationOnTheClock()
    {
        Host &host = *m_host;
        host.call("stop");
        host.media->clear();
        host.call("assign_playlist", {QStringLiteral("slow")});
        host.call("previous");
        QVERIFY(host.wrapper.waitForErrorOutput(QStringLiteral("playlist previous fails.")));
        host.call("play"); // from the first entry
        host.call("next");
        host.call("goto_index", {2u});
        host.call("goto_index", {3u});
        QVERIFY(host.wrapper.waitForErrorOutput(QStringLiteral("playlist goto_index fails.")));
        host.call("previous");
        QTRY_COMPARE(Host::column(*host.media), QList<int>({0, 1, 2, 1}));
        const QVariantList status = host.call("get_status");
        QCOMPARE(status.value(0).toString(), QStringLiteral("slow"));
        QCOMPARE(status.value(1).toUInt(), 1u);
        QCOMPARE(status.value(3).toString(), host.uri("two.wav"));

        // An entry that cannot follow lets the one before play out its 300 ms, is announced
        // and fails as itself: refused by GStreamer, or by the wrapper's check before it
        // (which code each kind of file gets is the errors table's).
        for (const QString &name : {QStringLiteral("notes.txt"), QStringLiteral("pipe.wav")}) {
            host.call("stop");
            host.media->clear(), host.completed->clear(), host.errors->clear();
            const bool media = name.endsWith(QLatin1String(".txt"));
            host.call("assign_playlist", {QString::fromLatin1(media ? "bad_media" : "bad_fifo")});
            QElapsedTimer played;
            played.start();
            host.call("goto_index", {0u});
            QVERIFY(host.errors->waitForCount(1));
            QVERIFY2(played.elapsed() >= 300, qPrintable(QString::number(played.elapsed())));
            QCOMPARE(host.completed->count(), 1);
            QCOMPARE(Host::column(*host.media), QList<int>({0, 1}));
            QCOMPARE(host.media->arguments().at(1).value(1).toString(), host.uri(name));
            const QVariantList error = host.errors->arguments().first();
            QCOMPARE(error.value(0).toInt(), 102);
            QVERIFY2(error.value(1).toString().startsWith(host.home.filePath("media/" + name)),
                     qPrintable(error.value(1).toString()));
            QCOMPARE(host.lastState(), int(Error));
            QCOMPARE(host.call("get_status").value(1).toUInt(), 1u);
        }
    }

private:
    std::unique_ptr<Host> m_host;
};

QTEST_GUILESS_MAIN(TestGstWrapper)
#include "tst_gstwrapper.moc"
