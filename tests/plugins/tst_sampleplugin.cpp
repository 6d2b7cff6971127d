// The framework's plugin loading and object ownership, with the real plugins of the build;
// and the shipped plugins through the framework, as the wrapper uses them: mostly the
// sample plugin, and what only the framework sees of the filesystem and GStreamer plugins.
#include "TestMedia.h"
#include "TestPaths.h"

#include <TuvoInternalRegistry.h>
#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>
#include <TuvoRenderer.h>
#include <TuvoSource.h>

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Receives what the sample plugin's objects answer.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QStringList ids, errors;
    QList<QVariantList> results; // id, index, remaining, metadata
    QList<QStringList> rows;
    QVariantList status;
    QList<uint> positions;
    QList<TuvoMediaInfo> infos;
    TuvoSource *cancelOnFirst = nullptr;
    bool finished() const { return !errors.isEmpty() || (!results.isEmpty() && results.last().at(2) == 0); }

public Q_SLOTS:
    void handleBrowseResult(uint id, QString objectId, QMap<QString, QVariant> meta, uint index, int remaining)
    {
        ids.append(objectId);
        results.append({id, index, remaining, meta});
        if (cancelOnFirst)
            cancelOnFirst->cancelBrowse(id);
    }
    void handleBrowseError(uint, uint, QString message) { errors.append(message); }
    void handleQueryResult(uint, QStringList row, uint, int remaining) { rows.append(row << QString::number(remaining)); }
    void handleQueryError(uint, int, QString message) { errors.append(message); }
    void getStatusCallback(QString playlist, uint index, int state, QString object) { status = {playlist, index, state, object}; }
    void getPositionCallback(uint position) { positions.append(position); }
    void getCurrentMediaInfoCallback(const TuvoMediaInfo &info) { infos.append(info); }
};

const char *const BrowseResult = "1handleBrowseResult(uint,QString,QMap<QString,QVariant>,uint,int)";
const char *const BrowseError = "1handleBrowseError(uint,uint,QString)";
const char *const Status = "1getStatusCallback(QString,uint,int,QString)";
} // namespace

class tst_SamplePlugin : public QObject
{
    Q_OBJECT

    TuvoInternalRegistry *registry = nullptr;
    TuvoSource *source = nullptr;
    TuvoRenderer *renderer = nullptr;

    bool loadSample()
    {
        registry = TuvoInternalRegistry::internalInstance();
        if (!registry->loadPlugin(TestPaths::samplePlugin()))
            return false;
        source = registry->findSource(QStringLiteral("sample_source"));
        renderer = registry->findRenderer(QStringLiteral("sample_renderer"));
        return source && renderer;
    }

    static QStringList uuids(const QSignalSpy &spy)
    {
        QStringList result;
        for (const QList<QVariant> &args : spy)
            result.append(args.at(0).toString());
        return result;
    }

private Q_SLOTS:
    void cleanup()
    {
        delete TuvoInternalRegistry::internalInstance();
        qunsetenv("TUVO_TEST_PLUGIN_OBJECTS");
        qunsetenv("TUVO_TEST_PLUGIN_FAIL");
    }

    void loadReportsAndUnloadWithdraws()
    {
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        QCOMPARE(TuvoInternalRegistry::internalInstance(), registry);
        QSignalSpy sourcesAdded(registry, &TuvoInternalRegistry::sourceAdded);
        QSignalSpy renderersAdded(registry, &TuvoInternalRegistry::rendererAdded);
        QSignalSpy sourcesRemoved(registry, &TuvoInternalRegistry::sourceRemoved);
        QSignalSpy renderersRemoved(registry, &TuvoInternalRegistry::rendererRemoved);

        QVERIFY(registry->loadPlugin(TestPaths::samplePlugin()));
        QVERIFY(registry->isLoaded(TestPaths::samplePlugin()));
        QCOMPARE(sourcesAdded.count(), 1);
        QCOMPARE(sourcesAdded.first(), (QList<QVariant>{QStringLiteral("sample_source"), QStringLiteral("Sample Source")}));
        QCOMPARE(uuids(renderersAdded), QStringList{QStringLiteral("sample_renderer")});
        QPointer<TuvoSource> source = registry->findSource(QStringLiteral("sample_source"));
        QPointer<TuvoRenderer> renderer = registry->findRenderer(QStringLiteral("sample_renderer"));
        QVERIFY(source && renderer);
        QCOMPARE(source->pluginName(), QStringLiteral("Sample Plugin"));
        QVERIFY(!registry->findRenderer(QStringLiteral("sample_source")));

        // Loading again changes nothing.
        QVERIFY(registry->loadPlugin(TestPaths::samplePlugin()));
        QCOMPARE(sourcesAdded.count(), 1);

        registry->unloadPlugin(TestPaths::samplePlugin());
        QVERIFY(!registry->isLoaded(TestPaths::samplePlugin()));
        QCOMPARE(uuids(sourcesRemoved), QStringList{QStringLiteral("sample_source")});
        QCOMPARE(uuids(renderersRemoved), QStringList{QStringLiteral("sample_renderer")});
        // Gone before the plugin's code could be.
        QVERIFY(!source);
        QVERIFY(!renderer);
        QVERIFY(registry->sources().isEmpty());

        // And back again: a fresh plugin instance with fresh objects.
        QVERIFY(registry->loadPlugin(TestPaths::samplePlugin()));
        QCOMPARE(sourcesAdded.count(), 2);
        QVERIFY(registry->findSource(QStringLiteral("sample_source")));
    }

    // A relative path is the working directory's; a bare file name is the plugin directory's.
    void pluginPaths()
    {
        const QString path = TestPaths::samplePlugin();
        const QString dir = path.section(QLatin1Char('/'), 0, -2);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir));
        const QString relative = QStringLiteral("./") + path.section(QLatin1Char('/'), -1);
        QCOMPARE(TuvoInternalRegistry::resolvePluginPath(relative), path);
        QVERIFY(TuvoInternalRegistry::internalInstance()->loadPlugin(relative));
        QVERIFY(TuvoInternalRegistry::internalInstance()->isLoaded(path));
        QDir::setCurrent(previous);
        QCOMPARE(TuvoInternalRegistry::resolvePluginPath(QStringLiteral("libnot-installed.so")),
                 QStringLiteral("libnot-installed.so"));
        QVERIFY(TuvoInternalRegistry::pluginDirectory().endsWith(QLatin1String("/tuvo/plugins")));
    }

    void failuresToLoad_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::newRow("missing") << "/nonexistent/libtuvo-missing.so";
        QTest::newRow("not a plugin") << QCoreApplication::applicationFilePath();
        QTest::newRow("empty") << "";
    }
    void failuresToLoad()
    {
        QFETCH(QString, plugin);
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        QSignalSpy added(registry, &TuvoInternalRegistry::sourceAdded);
        QVERIFY(!registry->loadPlugin(plugin));
        QVERIFY(!registry->isLoaded(plugin));
        QCOMPARE(added.count(), 0);
    }

    void failedInitializeLeavesNothingBehind()
    {
        // The first object is added, then initialisation fails on the second.
        qputenv("TUVO_TEST_PLUGIN_OBJECTS", "source:first:P:F;bogus");
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        QSignalSpy added(registry, &TuvoInternalRegistry::sourceAdded);
        QSignalSpy removed(registry, &TuvoInternalRegistry::sourceRemoved);
        QVERIFY(!registry->loadPlugin(TestPaths::testPlugin()));
        QCOMPARE(uuids(added), QStringList{QStringLiteral("first")});
        QCOMPARE(uuids(removed), QStringList{QStringLiteral("first")});
        QVERIFY(!registry->findSource(QStringLiteral("first")));
        QVERIFY(!registry->isLoaded(TestPaths::testPlugin()));
    }

    void takenUuidIsRefused()
    {
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        auto *first = new TuvoSource(QStringLiteral("same"), QStringLiteral("P"), QStringLiteral("a"));
        auto *second = new TuvoRenderer(QStringLiteral("same"), QStringLiteral("P"), QStringLiteral("b"));
        QVERIFY(registry->addSource(first));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("is taken")));
        QVERIFY(!registry->addRenderer(second));
        QCOMPARE(second->parent(), nullptr);
        delete second;
        QVERIFY(!registry->addSource(nullptr));
    }

    void removedObjectsAreDeletedThroughTheEventLoop()
    {
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        QPointer<TuvoSource> source = new TuvoSource(QStringLiteral("s"), QStringLiteral("P"), QStringLiteral("n"));
        QVERIFY(registry->addSource(source));
        QVERIFY(registry->removeSource(QStringLiteral("s")));
        QVERIFY(source);
        QVERIFY(!registry->findSource(QStringLiteral("s")));
        QTRY_VERIFY(!source);
        QVERIFY(!registry->removeSource(QStringLiteral("s")));
    }

    void deletingTheRegistryUnloadsEverything()
    {
        TuvoInternalRegistry *registry = TuvoInternalRegistry::internalInstance();
        QVERIFY(registry->loadPlugin(TestPaths::samplePlugin()));
        QPointer<TuvoSource> source = registry->findSource(QStringLiteral("sample_source"));
        QSignalSpy removed(registry, &TuvoInternalRegistry::sourceRemoved);
        delete registry;
        QCOMPARE(removed.count(), 1);
        QVERIFY(!source);
        TuvoInternalRegistry *fresh = TuvoInternalRegistry::internalInstance();
        QVERIFY(fresh->sources().isEmpty());
        QVERIFY(!fresh->isLoaded(TestPaths::samplePlugin()));
    }

    void browse_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("predicate");
        QTest::addColumn<QStringList>("expected"); // an error: its message
        QTest::newRow("a page, in order") << "tracks" << "" << QStringList({"track_3", "track_4", "track_5", "track_6", "track_7"});
        QTest::newRow("nothing found: one empty last result") << "" << "no such title" << QStringList{QString()};
        QTest::newRow("a track is no container") << "track_1" << "" << QStringList{"no such container"};
    }
    void browse()
    {
        QVERIFY(loadSample());
        QFETCH(QString, id);
        QFETCH(QString, predicate);
        QFETCH(QStringList, expected);
        Receiver receiver;
        const uint skip = id == QLatin1String("tracks") ? 2 : 0;
        const uint browseId = source->browse(id, predicate, {}, skip, skip ? 5 : 0, &receiver, BrowseResult, BrowseError);
        QVERIFY(browseId != 0);
        QVERIFY(receiver.results.isEmpty()); // nothing inside the call
        QTRY_VERIFY(receiver.finished());
        QCOMPARE(receiver.errors.isEmpty() ? receiver.ids : receiver.errors, expected);
        for (int i = 0; i < receiver.results.size(); ++i)
            QCOMPARE(receiver.results.at(i).mid(0, 3), QVariantList({browseId, skip + i, int(receiver.results.size()) - 1 - i}));
        if (id == QLatin1String("tracks")) {
            const QVariantMap meta = receiver.results.first().at(3).toMap();
            QCOMPARE(meta.value(QStringLiteral("title")).metaType(), QMetaType::fromType<QString>());
            QCOMPARE(meta.value(QStringLiteral("track_number")).metaType(), QMetaType::fromType<int>());
            QCOMPARE(meta.value(QStringLiteral("duration")).metaType(), QMetaType::fromType<uint>());
            QCOMPARE(meta.value(QStringLiteral("is_container")), QVariant(false));
        }
    }

    // Cancelled from inside its first result callback, a browse sends nothing more, not
    // even the rest of a batch under way; the filesystem source browses a folder of many.
    void cancelInsideTheCallback_data()
    {
        QTest::addColumn<QString>("plugin");
        QTest::newRow("sample") << TestPaths::samplePlugin();
        QTest::newRow("filesystem") << TestMedia::filesystemPlugin();
    }
    void cancelInsideTheCallback()
    {
        QVERIFY(loadSample());
        QFETCH(QString, plugin);
        QTemporaryDir home;
        QString folder = QStringLiteral("tracks");
        if (plugin != TestPaths::samplePlugin()) {
            for (int i = 0; i < 500; ++i)
                QVERIFY(TestMedia::writeFile(home.filePath(QStringLiteral("media/%1").arg(i))));
            QVERIFY(TestMedia::writeFile(home.filePath(QStringLiteral("tuvo/filesystem-plugin.conf")),
                                         "root=" + QFile::encodeName(home.filePath(QStringLiteral("media"))) + '\n'));
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
            QSignalSpy added(registry, &TuvoInternalRegistry::sourceAdded);
            QVERIFY(registry->loadPlugin(plugin));
            QCOMPARE(added.count(), 1);
            source = registry->findSource(added.first().first().toString());
            folder.clear();
        }
        Receiver cancelled;
        cancelled.cancelOnFirst = source;
        QVERIFY(source->browse(folder, QString(), {}, 0, 0, &cancelled, BrowseResult, BrowseError));
        QTRY_COMPARE(cancelled.results.size(), 1);
        QTest::qWait(100);
        QCOMPARE(cancelled.results.size(), 1);
        QVERIFY(cancelled.errors.isEmpty());
    }

    void refusals()
    {
        QVERIFY(loadSample());
        Receiver nobody;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not found")));
        QCOMPARE(source->browse(QString(), QString(), {}, 0, 0, &nobody, "1handleBrowseResult(uint,QString,QVariantMap,uint)",
                                BrowseError), 0u);
        QCOMPARE(source->query(QStringLiteral("x"), nullptr, "1a()", "1b()"), 0u);
        QVERIFY(!renderer->getStatus(&nobody, "1getStatusCallback(QString,uint,int)"));
    }

    // The GStreamer renderer's refusals that no client sees (set_position, pause_at,
    // pause, resume and play answer nothing on the bus): each leaves it as it was.
    void gstreamerRefusals_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<bool>("playing"); // a 3 s file plays first
        QTest::newRow("pause_at with nothing playing") << "pauseAt" << false;
        QTest::newRow("seek with nothing playing") << "seek" << false;
        QTest::newRow("pause with nothing playing") << "pause" << false;
        QTest::newRow("play with nothing to play") << "play" << false;
        QTest::newRow("resume while playing") << "resume" << true;
        QTest::newRow("seek of an unknown mode") << "seek 7" << true;
    }
    void gstreamerRefusals()
    {
        QVERIFY(loadSample());
        QFETCH(QString, call);
        QFETCH(bool, playing);
        QTemporaryDir home;
        QVERIFY(TestMedia::writeFile(home.filePath(QStringLiteral("tuvo/gstreamer-plugin.conf")),
                                     "audio_sink=fakesink sync=true\nvideo_sink=fakesink\n"));
        QVERIFY(TestMedia::writeWav(home.filePath(QStringLiteral("long.wav")), 3000));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        QVERIFY(registry->loadPlugin(TestMedia::gstreamerPlugin()));
        TuvoRenderer *gst = registry->findRenderer(QStringLiteral("gstreamer_renderer"));
        QVERIFY(gst);
        QSignalSpy states(gst, &TuvoRenderer::stateChanged), errors(gst, &TuvoRenderer::error);
        if (playing) {
            QVERIFY(gst->playUri(QUrl::fromLocalFile(home.filePath(QStringLiteral("long.wav"))), 0));
            QTRY_VERIFY(!states.isEmpty() && states.last().first().value<TuvoRenderer::State>() == TuvoRenderer::Playing);
        }
        const int before = int(states.size());
        const bool accepted = call == QLatin1String("pauseAt") ? gst->pauseAt(1)
                              : call.startsWith(QLatin1String("seek")) ? gst->setPosition(1, call.section(u' ', 1).toInt())
                              : call == QLatin1String("pause")         ? gst->pause()
                              : call == QLatin1String("resume")        ? gst->resume()
                                                                       : gst->play();
        QVERIFY(!accepted);
        QTest::qWait(100);
        QCOMPARE(int(states.size()), before);
        QCOMPARE(errors.size(), 0);
    }

    void queryMatchesEveryWord()
    {
        QVERIFY(loadSample());
        Receiver receiver;
        QVERIFY(source->query(QStringLiteral("tidewaters night"), &receiver, "1handleQueryResult(uint, QStringList, uint, int)",
                              "1handleQueryError(uint, int, QString)"));
        QTRY_COMPARE(receiver.rows.size(), 1);
        QCOMPARE(receiver.rows.first().value(1), QStringLiteral("Night Ferry"));
        QCOMPARE(receiver.rows.first().value(4), QStringLiteral("sample:///track_4"));
        QCOMPARE(receiver.rows.first().last(), QStringLiteral("0")); // the last row
    }

    void rendererPlaysAndAnswers()
    {
        QVERIFY(loadSample());
        Receiver receiver;
        QSignalSpy states(renderer, &TuvoRenderer::stateChanged);
        QSignalSpy media(renderer, &TuvoRenderer::mediaChanged);
        QVERIFY(renderer->playUri(QUrl(QStringLiteral("sample:///track_2")), 10));
        QCOMPARE(states.last().first().value<TuvoRenderer::State>(), TuvoRenderer::Playing);
        QCOMPARE(media.first().at(1).value<TuvoContent>().uuid(), QStringLiteral("track_2"));
        QVERIFY(renderer->getStatus(&receiver, Status));
        QVERIFY(renderer->getPosition(&receiver, "1getPositionCallback(uint)"));
        QVERIFY(renderer->getCurrentMediaInfo(&receiver, "1getCurrentMediaInfoCallback(const TuvoMediaInfo&)",
                                              QStringLiteral("title")));
        QVERIFY(receiver.status.isEmpty()); // answered through the event loop
        QTRY_VERIFY(!receiver.status.isEmpty() && !receiver.positions.isEmpty() && !receiver.infos.isEmpty());
        QCOMPARE(receiver.status.mid(2), QVariantList({int(TuvoRenderer::Playing), QStringLiteral("track_2")}));
        QVERIFY(receiver.positions.first() >= 10);
        QCOMPARE(receiver.infos.first().metaData().keys(), QStringList{QStringLiteral("title")});
        QVERIFY(renderer->pause() && renderer->setPosition(5, TuvoRenderer::SeekBackward) && renderer->resume());
        QSignalSpy errors(renderer, &TuvoRenderer::error);
        QVERIFY(!renderer->playUri(QUrl(QStringLiteral("file:///nothing.ogg")), 0));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<TuvoError>().code(), int(TuvoError::ErrorResourceNotFound));
    }

    void playlistAndProperties()
    {
        QVERIFY(loadSample());
        TuvoPlaylist *favourites = TuvoRegistry::instance()->findPlaylist(QStringLiteral("sample_favourites"));
        QVERIFY(favourites);
        QVERIFY(!renderer->next());
        QVERIFY(renderer->assignPlaylist(favourites) && renderer->gotoIndex(1) && renderer->next() && renderer->previous());
        QVERIFY(!renderer->gotoIndex(uint(favourites->count())));
        Receiver receiver;
        QVERIFY(renderer->getStatus(&receiver, Status));
        QTRY_VERIFY(!receiver.status.isEmpty());
        QCOMPARE(receiver.status.mid(0, 2), QVariantList({QStringLiteral("sample_favourites"), 1u}));
        QVERIFY(renderer->setExtensionProperty(QStringLiteral("volume"), 30));
        QVERIFY(!renderer->setExtensionProperty(QStringLiteral("volume"), 130));
        QVERIFY(renderer->setExtensionProperty(QStringLiteral("mute"), true));
        QCOMPARE(renderer->declaredPropertyValue(QStringLiteral("volume")), QVariant(30));
        QCOMPARE(source->declaredPropertyValue(QStringLiteral("root_title")), QVariant(QStringLiteral("Sample collection")));
    }
};

QTEST_GUILESS_MAIN(tst_SamplePlugin)
#include "tst_sampleplugin.moc"
