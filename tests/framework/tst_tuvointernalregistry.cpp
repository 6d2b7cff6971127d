#include "TestPaths.h"

#include <TuvoInternalRegistry.h>
#include <TuvoRenderer.h>
#include <TuvoSource.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

// Plugin loading and object ownership, with the real plugins of the build.
class tst_TuvoInternalRegistry : public QObject
{
    Q_OBJECT

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
};

QTEST_GUILESS_MAIN(tst_TuvoInternalRegistry)
#include "tst_tuvointernalregistry.moc"
