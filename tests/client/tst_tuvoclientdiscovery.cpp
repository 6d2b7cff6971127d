#include "FakePeer.h"
#include "TuvoClientDiscovery.h"
#include "TuvoClientPluginActivation.h"

#include <TuvoBusNames.h>

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
const QString Plugin = QStringLiteral("libtuvo_fake_plugin");
const QString PluginBus = TuvoBusNames::pluginServiceName(Plugin);
const QString SourceBus = TuvoBusNames::sourceServiceName(QStringLiteral("Fake Plugin"), QStringLiteral("s1"));
const QString RendererBus = TuvoBusNames::rendererServiceName(QStringLiteral("Fake Plugin"), QStringLiteral("r1"));

// A fake wrapper process: its control object and, on the same connection, more names.
std::unique_ptr<FakePeer> fakeWrapper()
{
    auto peer = std::make_unique<FakePeer>(PluginBus, TuvoBusNames::pluginObjectPath(Plugin));
    return peer;
}
} // namespace

// Discovery of what wrapper processes publish, and keeping a plugin active, against
// fake processes on the private bus.
class tst_TuvoClientDiscovery : public QObject
{
    Q_OBJECT

    static bool hello(FakePeer *peer, const QString &member, const QVariantList &args)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/com/oxbel/tuvo/registry"),
                                                         QStringLiteral("com.oxbel.tuvo.registry"), member);
        signal.setArguments(args);
        return peer->send(signal);
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<TuvoClientObjectInfo>();
        qRegisterMetaType<TuvoClientError>();
    }

    void snapshotAndChanges()
    {
        auto wrapper = fakeWrapper();
        QVERIFY(wrapper->isReady());
        QVERIFY(wrapper->connection().registerService(SourceBus));

        TuvoClientDiscovery discovery;
        QSignalSpy ready(&discovery, &TuvoClientDiscovery::ready);
        QSignalSpy appeared(&discovery, &TuvoClientDiscovery::objectAppeared);
        QSignalSpy vanished(&discovery, &TuvoClientDiscovery::objectVanished);
        QSignalSpy changed(&discovery, &TuvoClientDiscovery::objectChanged);
        discovery.start();
        QVERIFY(ready.wait());
        QList<TuvoClientObjectInfo> objects = discovery.objects();
        QCOMPARE(objects.size(), 2);
        QCOMPARE(objects.at(0).busName, PluginBus);
        QCOMPARE(objects.at(1).busName, SourceBus);
        QCOMPARE(objects.at(1).owner, wrapper->uniqueName());
        QCOMPARE(objects.at(1).plugin, Plugin);
        QCOMPARE(discovery.objectAt(wrapper->uniqueName(), QStringLiteral("/com/oxbel/tuvo/source/s1")).busName, SourceBus);
        QVERIFY(!discovery.objectAt(QStringLiteral(":1.999"), QStringLiteral("/com/oxbel/tuvo/source/s1")).isValid());
        QCOMPARE(appeared.count(), 0);

        QVERIFY(wrapper->connection().registerService(RendererBus));
        QVERIFY(appeared.wait());
        QCOMPARE(appeared.at(0).at(0).value<TuvoClientObjectInfo>().busName, RendererBus);
        QCOMPARE(appeared.at(0).at(0).value<TuvoClientObjectInfo>().plugin, Plugin);

        // Only the owner names its objects.
        QSignalSpy hellos(&discovery, &TuvoClientDiscovery::helloReceived);
        FakePeer impostor(QString(), QStringLiteral("/x"));
        QVERIFY(hello(&impostor, QStringLiteral("new_renderer"),
                      {QStringLiteral("Fake Plugin"), QStringLiteral("r1"), QStringLiteral("Impostor")}));
        QVERIFY(hello(wrapper.get(), QStringLiteral("new_renderer"),
                      {QStringLiteral("Fake Plugin"), QStringLiteral("r1"), QStringLiteral("Renderer One")}));
        QTRY_COMPARE(hellos.count(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(discovery.object(RendererBus).title, QStringLiteral("Renderer One"));
        QCOMPARE(discovery.object(RendererBus).pluginName, QStringLiteral("Fake Plugin"));
        QCOMPARE(hellos.at(1).at(0).value<TuvoClientObjectInfo>().owner, wrapper->uniqueName());

        // The whole process goes.
        wrapper.reset();
        QTRY_COMPARE(vanished.count(), 3);
        QVERIFY(discovery.objects().isEmpty());
    }

    void titlesFromTheObjects()
    {
        FakePeer source(SourceBus, QStringLiteral("/com/oxbel/tuvo/source/s1"));
        source.setReply(QStringLiteral("get_name"), {QStringLiteral("Source One")});
        FakePeer frozen(RendererBus, QStringLiteral("/com/oxbel/tuvo/renderer/r1"));
        frozen.setFrozen(true);
        TuvoClientDiscovery discovery;
        discovery.setTimeout(300);
        QSignalSpy ready(&discovery, &TuvoClientDiscovery::ready);
        discovery.start();
        QVERIFY(ready.wait());
        // The snapshot asked nobody but the bus daemon.
        QVERIFY(source.calls().isEmpty());
        QVERIFY(frozen.calls().isEmpty());

        bool done = false;
        QList<TuvoClientError> errors;
        discovery.fetchTitles([&](const QList<TuvoClientError> &e) {
            errors = e;
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 5000));
        QCOMPARE(source.callsOf(QStringLiteral("get_name")).value(0).interface(), QStringLiteral("com.oxbel.tuvo.extension"));
        QCOMPARE(discovery.object(SourceBus).title, QStringLiteral("Source One"));
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors.at(0).type(), TuvoClientError::Timeout);
        QVERIFY(errors.at(0).message().startsWith(RendererBus));
    }

    void activationFollowsTheProcess()
    {
        auto first = fakeWrapper();
        auto activation = std::make_unique<TuvoClientPluginActivation>(Plugin);
        QSignalSpy activated(activation.get(), &TuvoClientPluginActivation::activated);
        QSignalSpy lost(activation.get(), &TuvoClientPluginActivation::lost);
        activation->activate();
        QVERIFY(activated.wait());
        QCOMPARE(activated.at(0).at(0).toString(), first->uniqueName());
        QCOMPARE(first->callsOf(QStringLiteral("activate")).size(), 1);
        QCOMPARE(first->callsOf(QStringLiteral("activate")).at(0).interface(), QStringLiteral("com.oxbel.tuvo.plugin"));

        // A restarted wrapper is activated again.
        first.reset();
        QVERIFY(lost.wait());
        auto second = fakeWrapper();
        QVERIFY(activated.wait());
        QCOMPARE(activated.at(1).at(0).toString(), second->uniqueName());
        QVERIFY(activation->isActive());

        activation.reset();
        QVERIFY(second->waitForCall(QStringLiteral("deactivate")));
    }

    void activationFailures()
    {
        {
            TuvoClientPluginActivation activation(Plugin);
            QSignalSpy failed(&activation, &TuvoClientPluginActivation::failed);
            activation.activate();
            QVERIFY(failed.wait());
            QCOMPARE(failed.at(0).at(0).value<TuvoClientError>().type(), TuvoClientError::NotFound);
        }
        auto frozen = fakeWrapper();
        frozen->setFrozen(true);
        TuvoClientPluginActivation activation(Plugin);
        activation.setTimeout(300);
        QSignalSpy failed(&activation, &TuvoClientPluginActivation::failed);
        activation.activate();
        QVERIFY(failed.wait());
        const TuvoClientError error = failed.at(0).at(0).value<TuvoClientError>();
        QCOMPARE(error.type(), TuvoClientError::Timeout);
        QCOMPARE(error.message(), PluginBus + QStringLiteral(" did not answer within 0.3 s"));
    }
};

QTEST_MAIN(tst_TuvoClientDiscovery)
#include "tst_tuvoclientdiscovery.moc"
