// The GStreamer plugin in the real wrapper on a private bus, driven by a client:
// playing to fakesink (unsynchronised), errors, a playlist from an M3U file, and one
// wrapper on the clock for positions and playlist navigation.
#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "TestBus.h"
#include "TestMedia.h"
#include "WrapperProcess.h"

#include <TuvoMediaInfoDBusStruct.h>

#include <QDBusArgument>
#include <QDBusVariant>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString PluginName = QStringLiteral("libtuvo_gstreamer_plugin");
const QString Service = QStringLiteral("com.oxbel.tuvo.renderer.GStreamer.gstreamer_renderer");
const QString Path = QStringLiteral("/com/oxbel/tuvo/renderer/gstreamer_renderer");
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
enum State { Stopped = 0, Playing = 1, Paused = 2 };
} // namespace

/*! One wrapper hosting the GStreamer plugin, with a home of its own. (Held by the test
 *  class, so not in an anonymous namespace.) */
struct Host
{
    QTemporaryDir home;
    WrapperProcess wrapper;
    BusClient activator;
    BusClient client;
    std::unique_ptr<BusSignalRecorder> states, media, completed, errors, playlists;

    QString file(const QString &name) const { return home.filePath(QStringLiteral("media/") + name); }
    QString uri(const QString &name) const { return QUrl::fromLocalFile(file(name)).toString(); }

    bool start(const QByteArray &sink)
    {
        const QString playlists = home.filePath(QStringLiteral("data/tuvo/playlists/"));
        bool made = home.isValid();
        for (const char *name : {"a.wav", "b.wav", "c.wav"})
            made = made && TestMedia::writeWav(file(QLatin1String(name)), 300);
        for (const char *name : {"one.wav", "two.wav", "three.wav"})
            made = made && TestMedia::writeWav(file(QLatin1String(name)), 4000);
        made = made && TestMedia::writeFile(file(QStringLiteral("notes.txt")), "not media\n")
               && QDir().mkpath(file(QStringLiteral("folder")))
               && TestMedia::writeFile(playlists + QStringLiteral("walk.m3u"),
                                       "#EXTM3U\n../../../media/a.wav\n../../../media/b.wav\n../../../media/c.wav\n")
               && TestMedia::writeFile(playlists + QStringLiteral("slow.m3u"),
                                       "../../../media/one.wav\n../../../media/two.wav\n../../../media/three.wav\n")
               && TestMedia::writeFile(home.filePath(QStringLiteral("config/tuvo/gstreamer-plugin.conf")),
                                       "audio_sink=" + sink + "\nvideo_sink=fakesink\n");
        if (!made)
            return false;
        wrapper.setHome(home.path());
        wrapper.setEnv(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        wrapper.setEnv(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        if (!wrapper.startWithPlugin(TestMedia::gstreamerPlugin()))
            return false;
        const QDBusConnection bus = client.connection();
        states.reset(new BusSignalRecorder(Service, Path, Interface, QStringLiteral("state_changed"), bus));
        media.reset(new BusSignalRecorder(Service, Path, Interface, QStringLiteral("media_changed"), bus));
        completed.reset(new BusSignalRecorder(Service, Path, Interface, QStringLiteral("playback_completed"), bus));
        errors.reset(new BusSignalRecorder(Service, Path, Interface, QStringLiteral("error"), bus));
        this->playlists.reset(new BusSignalRecorder(Service, Path, Interface, QStringLiteral("playlist_changed"), bus));
        return activator.activate(PluginName) && TestBus::waitForName(Service);
    }

    QDBusMessage call(const QString &method, const QVariantList &arguments = {})
    {
        return client.call(Service, Path, Interface, method, arguments);
    }
    QList<int> stateList() const
    {
        QList<int> result;
        for (const QVariantList &arguments : states->arguments())
            result.append(arguments.value(0).toInt());
        return result;
    }
    int lastState() const { return states->count() == 0 ? -1 : stateList().last(); }
    QList<int> mediaIndexes() const
    {
        QList<int> result;
        for (const QVariantList &arguments : media->arguments())
            result.append(arguments.value(0).toInt());
        return result;
    }
    qint64 positionMs()
    {
        const QDBusMessage reply = call(QStringLiteral("get_current_media_info"), {QStringLiteral("position_ms")});
        if (reply.type() != QDBusMessage::ReplyMessage)
            return -1;
        const auto info = qdbus_cast<TuvoMediaInfoDBusStruct>(reply.arguments().value(0));
        return info.metadata.value(QStringLiteral("position_ms")).value(0, -1).toLongLong();
    }
};

class TestGstWrapper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void playsToTheEnd();
    void threeDistinctErrors();
    void playlistFromM3u();
    void propertiesOverTheBus();
    void clockedPositionAndNavigation();

private:
    std::unique_ptr<Host> m_host;
};

void TestGstWrapper::initTestCase()
{
    TuvoMediaInfoDBusStruct::registerMetaType();
    m_host.reset(new Host);
    QVERIFY(m_host->start("fakesink sync=false"));
}

void TestGstWrapper::playsToTheEnd()
{
    Host &host = *m_host;
    QCOMPARE(host.call(QStringLiteral("play_uri"), {host.uri(QStringLiteral("a.wav")), 0u}).type(),
             QDBusMessage::ReplyMessage);
    QVERIFY(host.completed->waitForCount(1));
    QTRY_COMPARE(host.stateList(), QList<int>({Playing, Stopped}));
    QCOMPARE(host.media->arguments().value(0),
             QVariantList({-1, host.uri(QStringLiteral("a.wav"))}));
    const QDBusMessage status = host.call(QStringLiteral("get_status"));
    QCOMPARE(status.arguments().value(2).toInt(), int(Stopped));
    QCOMPARE(status.arguments().value(3).toString(), host.uri(QStringLiteral("a.wav")));
}

void TestGstWrapper::threeDistinctErrors()
{
    Host &host = *m_host;
    host.errors->clear();
    for (const char *name : {"missing.wav", "folder", "notes.txt"}) {
        const int before = host.errors->count();
        host.call(QStringLiteral("play_uri"), {host.uri(QLatin1String(name)), 0u});
        QVERIFY(host.errors->waitForCount(before + 1));
    }
    const QList<QVariantList> errors = host.errors->arguments();
    QCOMPARE(errors.size(), 3);
    QCOMPARE(errors.at(0).value(0).toInt(), 100);
    QCOMPARE(errors.at(1).value(0).toInt(), 101);
    QCOMPARE(errors.at(2).value(0).toInt(), 102);
    QVERIFY(errors.at(0).value(1).toString().contains(QLatin1String("no such file")));
    QVERIFY(errors.at(1).value(1).toString().contains(QLatin1String("folder")));
    QVERIFY(errors.at(2).value(1).toString().contains(QLatin1String("not a media file")));
    QCOMPARE(host.lastState(), 4); // Error
}

void TestGstWrapper::playlistFromM3u()
{
    Host &host = *m_host;
    host.media->clear();
    host.completed->clear();
    host.call(QStringLiteral("assign_playlist"), {QStringLiteral("walk")});
    QVERIFY(host.playlists->waitForCount(1));
    QCOMPARE(host.playlists->firstArguments(), QStringList{QStringLiteral("walk")});
    host.call(QStringLiteral("goto_index"), {0u});
    QVERIFY(host.completed->waitForCount(3));
    QTRY_COMPARE(host.mediaIndexes(), QList<int>({0, 1, 2}));
    QCOMPARE(host.media->arguments().value(2).value(1).toString(), host.uri(QStringLiteral("c.wav")));
    QTRY_COMPARE(host.lastState(), int(Stopped));
    // From the middle on, it plays on to the end by itself.
    host.call(QStringLiteral("goto_index"), {1u});
    QVERIFY(host.completed->waitForCount(5));
    QTRY_COMPARE(host.mediaIndexes(), QList<int>({0, 1, 2, 1, 2}));
}

void TestGstWrapper::propertiesOverTheBus()
{
    Host &host = *m_host;
    const QString extension = QStringLiteral("com.oxbel.tuvo.extension");
    const auto get = [&](const QString &name) {
        return host.client.call(Service, Path, extension, QStringLiteral("get_extension_property"), {name})
            .arguments()
            .value(1)
            .value<QDBusVariant>()
            .variant();
    };
    const auto set = [&](const QString &name, const QVariant &value) {
        return host.client.call(Service, Path, extension, QStringLiteral("set_extension_property"),
                                {name, QVariant::fromValue(QDBusVariant(value))})
            .arguments()
            .value(0)
            .toBool();
    };
    QCOMPARE(get(QStringLiteral("audio_sink")).toString(), QStringLiteral("fakesink sync=false"));
    QCOMPARE(get(QStringLiteral("volume")).toInt(), 100);
    QVERIFY(set(QStringLiteral("volume"), 40));
    QCOMPARE(get(QStringLiteral("volume")).toInt(), 40);
    QVERIFY(!set(QStringLiteral("volume"), 400));
    QVERIFY(!set(QStringLiteral("audio_sink"), QStringLiteral("no-such-element-anywhere")));
    QCOMPARE(get(QStringLiteral("audio_sink")).toString(), QStringLiteral("fakesink sync=false"));
}

void TestGstWrapper::clockedPositionAndNavigation()
{
    // A wrapper of its own, on the clock; the names are free once the first has gone.
    m_host.reset();
    QVERIFY(TestBus::waitForName(Service, false));
    m_host.reset(new Host);
    Host &host = *m_host;
    QVERIFY(host.start("fakesink sync=true"));
    host.call(QStringLiteral("play_uri"), {host.uri(QStringLiteral("one.wav")), 0u});
    QVERIFY(host.states->waitForCount(1));
    QCOMPARE(host.stateList().first(), int(Playing));
    // The clock runs: the position moves, by the seconds of get_position too.
    QTRY_VERIFY(host.positionMs() > 100);
    QTRY_VERIFY_WITH_TIMEOUT(host.call(QStringLiteral("get_position")).arguments().value(0).toUInt() >= 1, 5000);
    QVERIFY(host.positionMs() < 4000);
    host.call(QStringLiteral("pause"));
    QTRY_COMPARE(host.lastState(), int(Paused));
    const qint64 paused = host.positionMs();
    QCOMPARE(host.positionMs(), paused);
    host.call(QStringLiteral("resume"));
    QTRY_COMPARE(host.lastState(), int(Playing));

    host.media->clear();
    host.call(QStringLiteral("assign_playlist"), {QStringLiteral("slow")});
    host.call(QStringLiteral("goto_index"), {0u});
    host.call(QStringLiteral("next"));
    host.call(QStringLiteral("goto_index"), {2u});
    host.call(QStringLiteral("previous"));
    QTRY_COMPARE(host.mediaIndexes(), QList<int>({0, 1, 2, 1}));
    const QDBusMessage status = host.call(QStringLiteral("get_status"));
    QCOMPARE(status.arguments().value(0).toString(), QStringLiteral("slow"));
    QCOMPARE(status.arguments().value(1).toUInt(), 1u);
    QCOMPARE(status.arguments().value(3).toString(), host.uri(QStringLiteral("two.wav")));
    host.call(QStringLiteral("stop"));
    QTRY_COMPARE(host.lastState(), int(Stopped));
}

QTEST_GUILESS_MAIN(TestGstWrapper)
#include "tst_gstwrapper.moc"
