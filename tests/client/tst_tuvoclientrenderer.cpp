#include "FakePeer.h"
#include "TuvoClientRenderer.h"

#include <TuvoBusNames.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString Uuid = QStringLiteral("fake_renderer");
const QString RendererInterface = QStringLiteral("com.oxbel.tuvo.renderer");
const QString ExtensionInterface = QStringLiteral("com.oxbel.tuvo.extension");
const QString BusName = TuvoBusNames::rendererServiceName(QStringLiteral("Fake"), Uuid);

QVariant variants(const QVariantList &values)
{
    QDBusArgument array;
    array.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const QVariant &value : values)
        array << QDBusVariant(value);
    array.endArray();
    return QVariant::fromValue(array);
}
} // namespace

// The renderer proxy against a fake renderer: what it sends, and how it reads what
// comes back, well formed or not.
class tst_TuvoClientRenderer : public QObject
{
    Q_OBJECT

    FakePeer *peer = nullptr;

    TuvoClientObjectInfo info() const
    {
        TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(BusName);
        info.owner = peer->uniqueName();
        return info;
    }

    template <typename Call>
    TuvoClientError waitFor(Call call)
    {
        bool done = false;
        TuvoClientError result;
        call([&](const TuvoClientError &error) {
            result = error;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 5000))
            return TuvoClientError(TuvoClientError::DBusFailure, QStringLiteral("no answer in the test"));
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TuvoMediaInfoDBusStruct::registerMetaType();
    }

    void init()
    {
        peer = new FakePeer(BusName, TuvoBusNames::rendererObjectPath(Uuid));
        QVERIFY(peer->isReady());
    }

    void cleanup()
    {
        delete peer;
    }

    void commandsSendTheirArguments_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QVariantList>("arguments");

        QTest::newRow("play_uri") << "play_uri" << "su" << QVariantList{QStringLiteral("sample:///a"), 30u};
        QTest::newRow("play_uri_content_type") << "play_uri_content_type" << "ss"
                                               << QVariantList{QStringLiteral("u"), QStringLiteral("audio/ogg")};
        QTest::newRow("set_position") << "set_position" << "ii" << QVariantList{-5, 2};
        QTest::newRow("pause_at") << "pause_at" << "u" << QVariantList{12u};
        QTest::newRow("goto_index") << "goto_index" << "u" << QVariantList{3u};
        QTest::newRow("assign_playlist") << "assign_playlist" << "s" << QVariantList{QStringLiteral("p")};
        QTest::newRow("stop") << "stop" << "" << QVariantList();
    }

    void commandsSendTheirArguments()
    {
        QFETCH(QString, method);
        QFETCH(QString, signature);
        QFETCH(QVariantList, arguments);
        TuvoClientRenderer renderer(info());
        const TuvoClientError error = waitFor([&](const TuvoClientObject::ErrorHandler &done) {
            if (method == QLatin1String("play_uri"))
                renderer.playUri(arguments.at(0).toString(), arguments.at(1).toUInt(), done);
            else if (method == QLatin1String("play_uri_content_type"))
                renderer.playUriWithContentType(arguments.at(0).toString(), arguments.at(1).toString(), done);
            else if (method == QLatin1String("set_position"))
                renderer.setPosition(arguments.at(0).toInt(), TuvoRendererWire::SeekBackward, done);
            else if (method == QLatin1String("pause_at"))
                renderer.pauseAt(arguments.at(0).toUInt(), done);
            else if (method == QLatin1String("goto_index"))
                renderer.gotoIndex(arguments.at(0).toUInt(), done);
            else if (method == QLatin1String("assign_playlist"))
                renderer.assignPlaylist(arguments.at(0).toString(), done);
            else
                renderer.stop(done);
        });
        QVERIFY2(!error.isError(), qPrintable(error.message()));
        const QDBusMessage call = peer->callsOf(method).value(0);
        QCOMPARE(call.interface(), RendererInterface);
        QCOMPARE(call.signature(), signature);
        QCOMPARE(call.arguments(), arguments);
    }

    void queriesAreReadAndChecked()
    {
        TuvoClientRenderer renderer(info());
        peer->setReply(QStringLiteral("get_status"), {QStringLiteral("list"), 4u, 2, QStringLiteral("track_9")});
        TuvoClientRendererStatus status;
        QCOMPARE(waitFor([&](const TuvoClientObject::ErrorHandler &done) {
                     renderer.getStatus([&, done](const TuvoClientError &e, const TuvoClientRendererStatus &s) {
                         status = s;
                         done(e);
                     });
                 }).type(),
                 TuvoClientError::NoError);
        QCOMPARE(status.playlistId, QStringLiteral("list"));
        QCOMPARE(status.playlistIndex, 4u);
        QCOMPARE(TuvoRendererWire::stateName(status.state), QStringLiteral("paused"));
        QCOMPARE(TuvoRendererWire::stateName(17), QStringLiteral("17"));

        // A reply of another shape is an error, not a guess.
        peer->setReply(QStringLiteral("get_status"), {QStringLiteral("list"), 4u});
        const TuvoClientError malformed = waitFor([&](const TuvoClientObject::ErrorHandler &done) {
            renderer.getStatus([done](const TuvoClientError &e, const TuvoClientRendererStatus &) { done(e); });
        });
        QCOMPARE(malformed.type(), TuvoClientError::Malformed);
        QVERIFY(malformed.message().contains(QLatin1String("got \"su\", expected \"suis\"")));

        peer->setReply(QStringLiteral("get_position"), {QVariant::fromValue(-1)});
        QCOMPARE(waitFor([&](const TuvoClientObject::ErrorHandler &done) {
                     renderer.getPosition([done](const TuvoClientError &e, quint32) { done(e); });
                 }).type(),
                 TuvoClientError::Malformed);
    }

    void mediaInfoKeepsValueTypes()
    {
        TuvoMediaInfoDBusStruct sent;
        sent.uuid = QStringLiteral("track_1");
        sent.metadata.insert(QStringLiteral("artist"), {QStringLiteral("Ada"), QStringLiteral("Ben")});
        sent.metadata.insert(QStringLiteral("duration"), {212u});
        sent.metadata.insert(QStringLiteral("position"), {qlonglong(-3)});
        sent.metadata.insert(QStringLiteral("empty"), {});
        peer->setReply(QStringLiteral("get_current_media_info"), {QVariant::fromValue(sent)});
        TuvoClientRenderer renderer(info());
        TuvoMediaInfoDBusStruct received;
        const TuvoClientError error = waitFor([&](const TuvoClientObject::ErrorHandler &done) {
            renderer.getCurrentMediaInfo(QStringLiteral("duration"),
                                         [&, done](const TuvoClientError &e, const TuvoMediaInfoDBusStruct &i) {
                                             received = i;
                                             done(e);
                                         });
        });
        QVERIFY2(!error.isError(), qPrintable(error.message()));
        QCOMPARE(peer->callsOf(QStringLiteral("get_current_media_info")).value(0).arguments(),
                 QVariantList{QStringLiteral("duration")});
        QCOMPARE(received, sent);
        QCOMPARE(received.metadata.value(QStringLiteral("position")).value(0).metaType(),
                 QMetaType::fromType<qlonglong>());
    }

    void errorsAreSorted_data()
    {
        QTest::addColumn<QString>("errorName");
        QTest::addColumn<int>("type");

        QTest::newRow("cancelled") << "com.oxbel.tuvo.renderer.cancelled" << int(TuvoClientError::Cancelled);
        QTest::newRow("failed") << "org.freedesktop.DBus.Error.Failed" << int(TuvoClientError::Refused);
        QTest::newRow("unknown method") << "org.freedesktop.DBus.Error.UnknownMethod" << int(TuvoClientError::DBusFailure);
        QTest::newRow("no reply") << "org.freedesktop.DBus.Error.NoReply" << int(TuvoClientError::Timeout);
    }

    void errorsAreSorted()
    {
        QFETCH(QString, errorName);
        QFETCH(int, type);
        peer->setHandler(QStringLiteral("get_position"), [errorName](const QDBusMessage &call, FakePeer *p) {
            return p->send(call.createErrorReply(errorName, QStringLiteral("Message cancelled.")));
        });
        TuvoClientRenderer renderer(info());
        const TuvoClientError error = waitFor([&](const TuvoClientObject::ErrorHandler &done) {
            renderer.getPosition([done](const TuvoClientError &e, quint32) { done(e); });
        });
        QCOMPARE(int(error.type()), type);
        QCOMPARE(error.dbusName(), errorName);
        QVERIFY(error.message().startsWith(BusName));
    }

    void callsNeverGoToTheNextOwner()
    {
        TuvoClientRenderer renderer(info());
        QSignalSpy vanished(&renderer, &TuvoClientObject::vanished);
        peer->leave();
        QVERIFY(vanished.wait());
        FakePeer successor(BusName, TuvoBusNames::rendererObjectPath(Uuid));
        QVERIFY(successor.isReady());
        const TuvoClientError error = waitFor([&](const TuvoClientObject::ErrorHandler &done) { renderer.play(done); });
        QCOMPARE(error.type(), TuvoClientError::NotFound);
        QVERIFY(successor.calls().isEmpty());
    }

    void signalsAreTypedAndChecked()
    {
        TuvoClientRenderer renderer(info());
        QSignalSpy states(&renderer, &TuvoClientRenderer::stateChanged);
        QSignalSpy metadata(&renderer, &TuvoClientRenderer::metadataChanged);
        QSignalSpy errors(&renderer, &TuvoClientRenderer::errorOccurred);
        QSignalSpy buffering(&renderer, &TuvoClientRenderer::bufferingInfo);
        QSignalSpy properties(&renderer, &TuvoClientObject::propertyChanged);
        QSignalSpy all(&renderer, &TuvoClientObject::signalReceived);
        // Wrong signature: reported as a signal, not as a state.
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("state_changed"), {QStringLiteral("1")}));
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("state_changed"), {1}));
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("metadata_changed"),
                                 {QStringLiteral("artist"), variants({QStringLiteral("Ada"), 5})}));
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("buffering_info"), {0.5}));
        QVERIFY(peer->emitSignal(ExtensionInterface, QStringLiteral("property_changed"),
                                 {QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(40))}));
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("error"), {104, QStringLiteral("broken")}));
        QVERIFY(errors.wait());
        QCOMPARE(all.count(), 6);
        QCOMPARE(states.count(), 1);
        QCOMPARE(states.at(0).at(0).toInt(), 1);
        QCOMPARE(metadata.at(0).at(1).toList(), (QVariantList{QStringLiteral("Ada"), 5}));
        QCOMPARE(buffering.at(0).at(0).toDouble(), 0.5);
        QCOMPARE(properties.at(0).at(0).toString(), QStringLiteral("volume"));
        QCOMPARE(properties.at(0).at(1), QVariant(40));
        QCOMPARE(errors.at(0).at(1).toString(), QStringLiteral("broken"));

        // Another sender's signals at the same path are not this renderer's.
        FakePeer stranger(QString(), TuvoBusNames::rendererObjectPath(Uuid));
        QVERIFY(stranger.emitSignal(RendererInterface, QStringLiteral("state_changed"), {4}));
        QVERIFY(peer->emitSignal(RendererInterface, QStringLiteral("state_changed"), {2}));
        QVERIFY(states.wait());
        QCOMPARE(states.count(), 2);
        QCOMPARE(states.at(1).at(0).toInt(), 2);
    }

    void extensionProperties()
    {
        TuvoClientRenderer renderer(info());
        peer->setReply(QStringLiteral("get_extension_property"),
                       {QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(qulonglong(80)))});
        QVariant value;
        QCOMPARE(waitFor([&](const TuvoClientObject::ErrorHandler &done) {
                     renderer.getProperty(QStringLiteral("volume"), [&, done](const TuvoClientError &e, const QVariant &v) {
                         value = v;
                         done(e);
                     });
                 }).type(),
                 TuvoClientError::NoError);
        QCOMPARE(value, QVariant(qulonglong(80)));
        QCOMPARE(value.metaType(), QMetaType::fromType<qulonglong>());

        peer->setReply(QStringLiteral("set_extension_property"), {false});
        const TuvoClientError refused = waitFor([&](const TuvoClientObject::ErrorHandler &done) {
            renderer.setProperty(QStringLiteral("volume"), 500, done);
        });
        QCOMPARE(refused.type(), TuvoClientError::Refused);
        const QDBusMessage set = peer->callsOf(QStringLiteral("set_extension_property")).value(0);
        QCOMPARE(set.signature(), QStringLiteral("sv"));
        QCOMPARE(set.arguments().at(1).value<QDBusVariant>().variant(), QVariant(500));
    }
};

QTEST_MAIN(tst_TuvoClientRenderer)
#include "tst_tuvoclientrenderer.moc"
