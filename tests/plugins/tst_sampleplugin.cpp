#include "TestPaths.h"

#include <TuvoInternalRegistry.h>
#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>
#include <TuvoRenderer.h>
#include <TuvoSource.h>

#include <QSignalSpy>
#include <QTest>

namespace {
struct Result {
    uint id;
    QString objectId;
    QVariantMap meta;
    uint index;
    int remaining;
};

// Receives what the sample plugin's objects answer.
class Receiver : public QObject
{
    Q_OBJECT
public:
    QList<Result> results;
    QList<QStringList> rows;
    QList<QPair<uint, QString>> errors;
    QVariantList status;
    QList<uint> positions;
    QList<TuvoMediaInfo> infos;
    bool cancelOnFirst = false;
    TuvoSource *source = nullptr;

    bool finished() const
    {
        return !errors.isEmpty() || (!results.isEmpty() && results.last().remaining == 0);
    }

public Q_SLOTS:
    void handleBrowseResult(uint id, QString objectId, QMap<QString, QVariant> meta, uint index,
                            int remaining)
    {
        results.append({id, objectId, meta, index, remaining});
        if (cancelOnFirst && results.size() == 1)
            source->cancelBrowse(id);
    }
    void handleBrowseError(uint, uint code, QString message) { errors.append({code, message}); }
    void handleQueryResult(uint, QStringList row, uint, int remaining)
    {
        rows.append(row);
        if (remaining == 0)
            rows.append(QStringList{QStringLiteral("<end>")});
    }
    void handleQueryError(uint, int code, QString message) { errors.append({uint(code), message}); }
    void getStatusCallback(QString playlist, uint index, int state, QString object)
    {
        status = {playlist, index, state, object};
    }
    void getPositionCallback(uint position) { positions.append(position); }
    void getCurrentMediaInfoCallback(const TuvoMediaInfo &info) { infos.append(info); }
};

const char *const BrowseResult = "1handleBrowseResult(uint,QString,QMap<QString,QVariant>,uint,int)";
const char *const BrowseError = "1handleBrowseError(uint,uint,QString)";
} // namespace

// The sample plugin through the framework, as the wrapper uses it.
class tst_SamplePlugin : public QObject
{
    Q_OBJECT

    TuvoInternalRegistry *registry = nullptr;
    TuvoSource *source = nullptr;
    TuvoRenderer *renderer = nullptr;

private Q_SLOTS:
    void init()
    {
        registry = TuvoInternalRegistry::internalInstance();
        QVERIFY(registry->loadPlugin(TestPaths::samplePlugin()));
        source = registry->findSource(QStringLiteral("sample_source"));
        renderer = registry->findRenderer(QStringLiteral("sample_renderer"));
        QVERIFY(source && renderer);
    }
    void cleanup() { delete registry; }

    void browseIsAsynchronousAndOrdered()
    {
        Receiver receiver;
        const uint id = source->browse(QStringLiteral("tracks"), QString(), {}, 2, 5, &receiver,
                                       BrowseResult, BrowseError);
        QVERIFY(id != 0);
        QVERIFY(receiver.results.isEmpty()); // nothing inside the call
        QTRY_VERIFY(receiver.finished());
        QCOMPARE(receiver.results.size(), 5);
        for (int i = 0; i < 5; ++i) {
            const Result &r = receiver.results.at(i);
            QCOMPARE(r.id, id);
            QCOMPARE(r.index, uint(2 + i));
            QCOMPARE(r.remaining, 4 - i);
            QCOMPARE(r.objectId, QStringLiteral("track_%1").arg(3 + i));
        }
        const QVariantMap meta = receiver.results.first().meta;
        QCOMPARE(meta.value(QStringLiteral("title")).metaType(), QMetaType::fromType<QString>());
        QCOMPARE(meta.value(QStringLiteral("track_number")).metaType(), QMetaType::fromType<int>());
        QCOMPARE(meta.value(QStringLiteral("duration")).metaType(), QMetaType::fromType<uint>());
        QCOMPARE(meta.value(QStringLiteral("is_container")), QVariant(false));
    }

    void browseEdges()
    {
        Receiver none, unknown, cancelled;
        QVERIFY(source->browse(QString(), QStringLiteral("no such title"), {}, 0, 0, &none,
                               BrowseResult, BrowseError));
        QVERIFY(source->browse(QStringLiteral("track_1"), QString(), {}, 0, 0, &unknown,
                               BrowseResult, BrowseError));
        cancelled.cancelOnFirst = true;
        cancelled.source = source;
        QVERIFY(source->browse(QStringLiteral("tracks"), QString(), {}, 0, 0, &cancelled,
                               BrowseResult, BrowseError));
        QTRY_VERIFY(none.finished() && unknown.finished());
        // Nothing found: one empty last result.
        QCOMPARE(none.results.size(), 1);
        QCOMPARE(none.results.first().objectId, QString());
        QCOMPARE(none.results.first().remaining, 0);
        // Browsing a track is an error.
        QCOMPARE(unknown.errors.size(), 1);
        QCOMPARE(unknown.errors.first().second, QStringLiteral("no such container"));
        // Cancelled from inside the first callback: nothing more arrives.
        QTest::qWait(50);
        QCOMPARE(cancelled.results.size(), 1);
    }

    void refusesReceiversWithoutTheSlots()
    {
        Receiver receiver;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("not found")));
        QCOMPARE(source->browse(QString(), QString(), {}, 0, 0, &receiver,
                                "1handleBrowseResult(uint,QString,QVariantMap,uint)", BrowseError),
                 0u);
        QCOMPARE(source->query(QStringLiteral("x"), nullptr, "1a()", "1b()"), 0u);
        QVERIFY(!renderer->getStatus(&receiver, "1getStatusCallback(QString,uint,int)"));
    }

    void queryMatchesEveryWord()
    {
        Receiver receiver;
        QVERIFY(source->query(QStringLiteral("tidewaters night"), &receiver,
                              "1handleQueryResult(uint, QStringList, uint, int)",
                              "1handleQueryError(uint, int, QString)"));
        QTRY_COMPARE(receiver.rows.size(), 2);
        QCOMPARE(receiver.rows.first().value(1), QStringLiteral("Night Ferry"));
        QCOMPARE(receiver.rows.first().value(4), QStringLiteral("sample:///track_4"));
    }

    void rendererPlaysAndAnswers()
    {
        Receiver receiver;
        QSignalSpy states(renderer, &TuvoRenderer::stateChanged);
        QSignalSpy media(renderer, &TuvoRenderer::mediaChanged);
        QVERIFY(renderer->playUri(QUrl(QStringLiteral("sample:///track_2")), 10));
        QCOMPARE(states.last().first().value<TuvoRenderer::State>(), TuvoRenderer::Playing);
        QCOMPARE(media.first().at(1).value<TuvoContent>().uuid(), QStringLiteral("track_2"));

        QVERIFY(renderer->getStatus(&receiver, "1getStatusCallback(QString,uint,int,QString)"));
        QVERIFY(renderer->getPosition(&receiver, "1getPositionCallback(uint)"));
        QVERIFY(renderer->getCurrentMediaInfo(&receiver, "1getCurrentMediaInfoCallback(const TuvoMediaInfo&)",
                                              QStringLiteral("title")));
        QVERIFY(receiver.status.isEmpty()); // answered through the event loop
        QTRY_VERIFY(!receiver.status.isEmpty() && !receiver.positions.isEmpty() && !receiver.infos.isEmpty());
        QCOMPARE(receiver.status.at(2).toInt(), int(TuvoRenderer::Playing));
        QCOMPARE(receiver.status.at(3).toString(), QStringLiteral("track_2"));
        QVERIFY(receiver.positions.first() >= 10);
        QCOMPARE(receiver.infos.first().metaData().keys(), QStringList{QStringLiteral("title")});

        QVERIFY(renderer->pause());
        QVERIFY(renderer->setPosition(5, TuvoRenderer::SeekBackward));
        QVERIFY(renderer->resume());
        QSignalSpy errors(renderer, &TuvoRenderer::error);
        QVERIFY(!renderer->playUri(QUrl(QStringLiteral("file:///nothing.ogg")), 0));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.first().first().value<TuvoError>().code(), int(TuvoError::ErrorResourceNotFound));
    }

    void playlistNavigation()
    {
        TuvoPlaylist *favourites = TuvoRegistry::instance()->findPlaylist(QStringLiteral("sample_favourites"));
        QVERIFY(favourites);
        QVERIFY(!renderer->next());
        QVERIFY(renderer->assignPlaylist(favourites));
        QVERIFY(renderer->gotoIndex(1));
        QVERIFY(renderer->next());
        QVERIFY(renderer->previous());
        QVERIFY(!renderer->gotoIndex(uint(favourites->count())));
        Receiver receiver;
        QVERIFY(renderer->getStatus(&receiver, "1getStatusCallback(QString,uint,int,QString)"));
        QTRY_VERIFY(!receiver.status.isEmpty());
        QCOMPARE(receiver.status.at(0).toString(), QStringLiteral("sample_favourites"));
        QCOMPARE(receiver.status.at(1).toUInt(), 1u);
    }

    void properties()
    {
        QVERIFY(renderer->setExtensionProperty(QStringLiteral("volume"), 30));
        QVERIFY(!renderer->setExtensionProperty(QStringLiteral("volume"), 130));
        QVERIFY(renderer->setExtensionProperty(QStringLiteral("mute"), true));
        QCOMPARE(renderer->declaredPropertyValue(QStringLiteral("volume")), QVariant(30));
        QCOMPARE(source->declaredPropertyValue(QStringLiteral("root_title")),
                 QVariant(QStringLiteral("Sample collection")));
    }
};

QTEST_GUILESS_MAIN(tst_SamplePlugin)
#include "tst_sampleplugin.moc"
