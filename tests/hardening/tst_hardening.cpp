#include "BusClient.h"
#include "BusSignalRecorder.h"
#include "ProxySourceRecorder.h"

#include <TuvoDBusValue.h>
#include <TuvoError.h>
#include <TuvoExtensionAdaptor.h>
#include <TuvoPlaylist.h>
#include <TuvoRenderer.h>
#include <TuvoRendererAdaptor.h>
#include <TuvoSendThrottle.h>
#include <TuvoShared.h>
#include <TuvoSource.h>
#include <TuvoSourceAdaptor.h>
#include <TuvoSourceAdaptorBrowseTransaction.h>
#include <TuvoSourceAdaptorQueryTransaction.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include <malloc.h>
#include <type_traits>

using namespace Qt::StringLiterals;

// Named: the test class below holds these, and a unity build includes this file.
namespace hardening {
// Accepts every operation with a fresh id and ignores cancels, as a source that forgets
// a cancelled operation does. inside runs within browse() and query().
class FakeSource : public TuvoSource
{
public:
    using TuvoSource::TuvoSource;
    QList<QPointer<QObject>> receivers;
    QList<uint> cancelled;
    std::function<void(QObject *, uint)> inside;
    uint browse(const QString &, const QString &, const QStringList &, uint, uint, QObject *r,
                const char *, const char *) override { return start(r); }
    uint query(const QString &, QObject *r, const char *, const char *) override { return start(r); }
    void cancelBrowse(uint id) override { cancelled.append(id); }
    void cancelQuery(uint id) override { cancelled.append(id); }
    uint start(QObject *r)
    {
        receivers.append(r);
        const uint id = nextOperationId();
        if (inside)
            std::exchange(inside, {})(r, id);
        return id;
    }
};

// One result as the source calls it; a value "<n>M" is n MiB of text, "x\0y" holds a NUL.
void deliver(QObject *receiver, uint id, const QString &value, uint index, int remaining)
{
    QString text = value;
    if (value.endsWith(u'M'))
        text = QString(value.chopped(1).toInt() * 1024 * 1024, u'x');
    if (auto *browse = qobject_cast<TuvoSourceAdaptorBrowseTransaction *>(receiver))
        browse->handleBrowseResult(id, value.endsWith(u'M') ? u"id%1"_s.arg(index) : text,
                                   {{u"title"_s, text}}, index, remaining);
    else
        qobject_cast<TuvoSourceAdaptorQueryTransaction *>(receiver)->handleQueryResult(id, {text}, index, remaining);
}

// Declared properties in the built-in store, or reads met as readMode says: "later"
// (kept), "refuse", "invalid", "unsendable" (a value the bus cannot carry), or
// "answer-then-refuse". Status and media info are answered inside the call with what
// the test set.
class FakeRenderer : public TuvoRenderer
{
public:
    FakeRenderer() : TuvoRenderer(u"hard_renderer"_s, u"P"_s, u"R"_s)
    {
        const QVariantMap properties{{u"map"_s, QVariantMap{}}, {u"list"_s, QVariantList{}},
                                     {u"texts"_s, QStringList{}}, {u"level"_s, 0.0},
                                     {u"count"_s, 0}, {u"flag"_s, false}, {u"text"_s, QString()}};
        for (auto it = properties.begin(); it != properties.end(); ++it)
            declareProperty(it.key(), it.value());
    }
    QVariant written; // the last write as the plugin received it
    TuvoMediaInfo info;
    QString objectId;
    QString readMode; // empty: the built-in store answers
    QStringList requests;
    QList<TuvoCallback> kept;
    void setText(const QString &text) { updateDeclaredProperty(u"text"_s, text); }
    bool setExtensionProperty(const QString &name, const QVariant &value) override
    {
        written = value;
        return TuvoRenderer::setExtensionProperty(name, value);
    }
    bool requestExtensionProperty(const QString &name, QObject *r, const char *m) override
    {
        requests.append(name);
        const TuvoCallback answer = propertyCallback(r, m);
        if (readMode.isEmpty())
            return TuvoRenderer::requestExtensionProperty(name, r, m);
        if (readMode == u"later"_s)
            kept.append(answer);
        if (readMode == u"later"_s || readMode == u"refuse"_s)
            return readMode == u"later"_s;
        answer.invoke(name, readMode == u"unsendable"_s ? QVariant::fromValue(QUrl(u"a:b"_s))
                            : readMode == u"invalid"_s  ? QVariant()
                                                        : QVariant(1));
        return readMode != u"answer-then-refuse"_s;
    }
    bool getStatus(QObject *r, const char *m) override { return statusCallback(r, m).invoke(QString(), 0u, 0, objectId); }
    bool getCurrentMediaInfo(QObject *r, const char *m, const QString &) override { return mediaInfoCallback(r, m).invoke(info); }
};

// The types in a value, nested ones too: tells a QStringList from a list of texts.
QString types(const QVariant &value)
{
    QString names = QString::fromLatin1(value.typeName());
    const QVariantList items = value.metaType().id() == QMetaType::QVariantMap ? value.toMap().values()
                               : value.metaType().id() == QMetaType::QVariantList ? value.toList() : QVariantList();
    for (const QVariant &item : items)
        names += u" ("_s + types(item) + u')';
    return names;
}

const QString Renderer = u"com.oxbel.tuvo.renderer"_s, Extension = u"com.oxbel.tuvo.extension"_s;
const QString Nul = u"a\0b"_s;

QDBusMessage from(const BusClient &client)
{
    return QDBusMessage::createMethodCall(client.uniqueName(), {}, {}, {});
}

// A read of \a name on the object at \a path in this process, from \a client.
QDBusPendingCall read(const BusClient &client, const QString &name, const QString &path = u"/r"_s)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), path,
                                                       Extension, u"get_extension_property"_s);
    call << name;
    return client.connection().asyncCall(call);
}

// The enumerations plugins emit are ints, so any number a plugin gives is a value.
static_assert(std::is_same_v<std::underlying_type_t<TuvoRenderer::State>, int>);
static_assert(std::is_same_v<std::underlying_type_t<TuvoRenderer::SeekMode>, int>);
static_assert(std::is_same_v<std::underlying_type_t<TuvoError::Code>, int>);
static_assert(std::is_same_v<std::underlying_type_t<TuvoShared::TrackFlag>, int>);

// Collects the extension adaptor's log lines while installed.
QStringList *s_lines = nullptr;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("TuvoExtensionAdaptor")))
        s_lines->append(message);
}
} // namespace hardening
using namespace hardening;

class tst_Hardening : public QObject
{
    Q_OBJECT

    FakeSource *source = nullptr;
    FakeRenderer *renderer = nullptr;
    TuvoSourceAdaptor *adaptor = nullptr;
    TuvoExtensionAdaptor *extension = nullptr;
    BusClient a, b;
    ProxySourceRecorder *proxyA = nullptr, *proxyB = nullptr;

    uint start(bool isBrowse, const BusClient &client)
    {
        return isBrowse ? adaptor->browse({}, {}, {}, 0, 0, from(client)) : adaptor->query({}, from(client));
    }
    bool cancel(bool isBrowse, uint id, const BusClient &client)
    {
        const int before = source->cancelled.size();
        isBrowse ? adaptor->cancel_browse(id, from(client)) : adaptor->cancel_query(id, from(client));
        return source->cancelled.size() > before;
    }
    // What one client received of an operation: a record's object id (browse) or first
    // value (query), "E<code>" for an error; and how many calls it took.
    QStringList received(ProxySourceRecorder *proxy, bool isBrowse, uint id, int *calls = nullptr)
    {
        QStringList seen;
        if (isBrowse) {
            if (calls)
                *calls = proxy->browseCalls(id).size();
            for (const auto &r : proxy->browseRecords(id))
                seen << (r.errorCode ? u"E%1"_s.arg(r.errorCode) : r.objectId);
        } else {
            if (calls)
                *calls = proxy->queryCalls(id).size();
            for (const auto &call : proxy->queryCalls(id)) {
                for (const auto &row : call.rows)
                    seen << (row.resultRow.value(0).size() > 100 ? u"row%1"_s.arg(row.index) : row.resultRow.value(0));
                if (call.errorCode)
                    seen << u"E%1"_s.arg(call.errorCode);
            }
        }
        return seen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(u"*.debug=false"_s);
        source = new FakeSource(u"hard_source"_s, u"P"_s, u"S"_s);
        adaptor = new TuvoSourceAdaptor(source);
        proxyA = new ProxySourceRecorder(a.connection(), u"hard_source"_s, this);
        proxyB = new ProxySourceRecorder(b.connection(), u"hard_source"_s, this);
        QVERIFY(proxyA->isRegistered() && proxyB->isRegistered());
        renderer = new FakeRenderer;
        new TuvoRendererAdaptor(renderer);
        extension = new TuvoExtensionAdaptor(renderer);
        QVERIFY(QDBusConnection::sessionBus().registerObject(u"/r"_s, renderer, QDBusConnection::ExportAdaptors));
    }
    void cleanupTestCase() { delete source; delete renderer; }
    QDBusMessage callRenderer(const QString &interface, const QString &method, const QVariantList &arguments = {})
    {
        return a.call(QDBusConnection::sessionBus().baseService(), u"/r"_s, interface, method, arguments, 5000);
    }

    // Results as the source gives them (value/index/remaining) against what the client
    // receives: never a message over the limits, never a string cut at a NUL.
    void records_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("calls");
        QStringList tenBig, tenIds, tenRows;
        for (int i = 0; i < 10; ++i) {
            tenBig << u"7M/%1/%2"_s.arg(i).arg(9 - i);
            tenIds << u"id%1"_s.arg(i);
            tenRows << u"row%1"_s.arg(i);
        }
        for (bool isBrowse : {true, false}) {
            const char *kind = isBrowse ? "browse: " : "query: ";
            const QStringList big = isBrowse ? tenIds : tenRows;
            QTest::addRow("%sten 7 MiB results split into calls under the limit", kind)
                << isBrowse << tenBig << big << 3;
            QTest::addRow("%sa 70 MiB result is dropped and ends the operation", kind)
                << isBrowse << QStringList{u"a/0/2"_s, u"70M/1/1"_s, u"c/2/0"_s} << QStringList{u"a"_s, u"E103"_s} << 2;
            QTest::addRow("%sa NUL is dropped, not cut", kind)
                << isBrowse << QStringList{u"a\0b/0/1"_s, u"c/1/0"_s} << QStringList{u"c"_s} << 1;
            QTest::addRow("%sa NUL in the last result ends the operation", kind)
                << isBrowse << QStringList{u"c/0/1"_s, u"a\0/1/0"_s} << QStringList{u"c"_s, u"E103"_s} << 2;
        }
    }

    void records()
    {
        QFETCH(bool, isBrowse);
        QFETCH(QStringList, results);
        QFETCH(QStringList, expected);
        QFETCH(int, calls);
        const uint id = start(isBrowse, a);
        for (const QString &result : results) {
            const QStringList parts = result.split(u'/');
            deliver(source->receivers.last(), id, parts[0], parts[1].toUInt(), parts[2].toInt());
        }
        QVERIFY(isBrowse ? proxyA->waitForBrowseEnd(id, 60000) : proxyA->waitForQueryEnd(id, 60000));
        int sent = 0;
        QCOMPARE(received(proxyA, isBrowse, id, &sent), expected);
        QCOMPARE(sent, calls);
        QVERIFY(a.connection().isConnected() && QDBusConnection::sessionBus().isConnected());
    }

    // Only the client that started an operation cancels it; unknown ids go through.
    void cancels_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<bool>("byOwner");
        QTest::addColumn<int>("idOffset");
        QTest::addColumn<bool>("forwarded");
        for (bool isBrowse : {true, false}) {
            QTest::addRow("%s by its client", isBrowse ? "browse" : "query") << isBrowse << true << 0 << true;
            QTest::addRow("%s by another client", isBrowse ? "browse" : "query") << isBrowse << false << 0 << false;
            QTest::addRow("%s never issued", isBrowse ? "browse" : "query") << isBrowse << false << 1000 << true;
        }
    }

    void cancels()
    {
        QFETCH(bool, isBrowse);
        QFETCH(bool, byOwner);
        QFETCH(int, idOffset);
        QFETCH(bool, forwarded);
        const uint id = start(isBrowse, a);
        QCOMPARE(cancel(isBrowse, id + idOffset, byOwner ? a : b), forwarded);
        // Results that still come go to their client as before.
        deliver(source->receivers.last(), id, u"last"_s, 0, 0);
        QVERIFY(isBrowse ? proxyA->waitForBrowseEnd(id) : proxyA->waitForQueryEnd(id));
        QCOMPARE(received(proxyA, isBrowse, id), QStringList{u"last"_s});
    }

    // A callback inside browse() or query() goes to the caller with the operation's own
    // id, and is dropped with another operation's.
    void callbacksInside_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::addColumn<bool>("own");
        QTest::newRow("browse, its own id") << true << true;
        QTest::newRow("browse, another's id") << true << false;
        QTest::newRow("query, its own id") << false << true;
        QTest::newRow("query, another's id") << false << false;
    }

    void callbacksInside()
    {
        QFETCH(bool, isBrowse);
        QFETCH(bool, own);
        const uint first = start(isBrowse, a);
        QPointer<QObject> firstReceiver = source->receivers.last();
        source->inside = [&](QObject *r, uint id) { deliver(r, own ? id : first, u"inside"_s, 0, 0); };
        if (!own)
            QTest::ignoreMessage(QtWarningMsg, isBrowse ? "Source signals with bad browseId: return"
                                                        : "Source signals with bad queryId: return");
        const uint second = start(isBrowse, b);
        if (!own)
            deliver(source->receivers.last(), second, u"own"_s, 0, 0);
        deliver(firstReceiver, first, u"first"_s, 0, 0);
        QVERIFY(isBrowse ? proxyB->waitForBrowseEnd(second) : proxyB->waitForQueryEnd(second));
        QVERIFY(isBrowse ? proxyA->waitForBrowseEnd(first) : proxyA->waitForQueryEnd(first));
        QCOMPARE(received(proxyB, isBrowse, second), QStringList{own ? u"inside"_s : u"own"_s});
        QCOMPARE(received(proxyB, isBrowse, first), QStringList{});
        QCOMPARE(received(proxyA, isBrowse, first), QStringList{u"first"_s});
    }

    // 10 000 browse+cancel pairs with a source that forgets them: the memory in use
    // returns to its level before them once the operations have ended.
    void cancelledOperationsEnd()
    {
        const auto settle = [this] {
            QTRY_VERIFY_WITH_TIMEOUT(adaptor->findChildren<TuvoSourceOperation *>().isEmpty(),
                                     TuvoSourceOperation::CancelGraceMs * 5);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            malloc_trim(0);
        };
        const auto pairs = [this](int count) {
            for (int i = 0; i < count; ++i)
                cancel(true, start(true, a), a);
        };
        // A first round lets the containers of the event loop and the adaptor reach the
        // capacity such a burst needs; a leak grows with every further round.
        pairs(10000);
        settle();
        source->receivers.clear();
        source->receivers.squeeze();
        const size_t before = mallinfo2().uordblks;
        pairs(10000);
        const size_t during = mallinfo2().uordblks;
        source->receivers.clear();
        source->receivers.squeeze();
        settle();
        const size_t after = mallinfo2().uordblks;
        qInfo("in use before %zu, with 10000 cancelled browses %zu, after %zu", before, during, after);
        QVERIFY2(after < before + 256 * 1024, qPrintable(u"%1 bytes kept"_s.arg(qint64(after - before))));
    }

    // The bound on batches the bus daemon has not taken yet must never turn into a hang:
    // enough batches to fill the window several times over, each wait ending when the
    // daemon answers, or at once without a connection.
    void throttleWaitsOnlyForTheDaemon_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("live bus") << true;
        QTest::newRow("no connection") << false;
    }
    void throttleWaitsOnlyForTheDaemon()
    {
        QFETCH(bool, connected);
        const QDBusConnection bus = connected ? QDBusConnection::sessionBus() : QDBusConnection(QString());
        QCOMPARE(bus.isConnected(), connected);
        TuvoSendThrottle throttle;
        for (int i = 0; i < TuvoSendThrottle::ProbeEvery * TuvoSendThrottle::MaxProbes * 4; ++i)
            throttle.sent(bus);
    }

    // Writes as peers send them reach the plugin as plain Qt values, and the declared
    // store takes or refuses them (by the property conversion table); an invalid stored
    // value: refused.
    void plainWrites_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("sent");
        QTest::addColumn<QVariant>("stored");
        const QVariant refused;
        const QVariantMap map{{u"k"_s, 2}, {u"in"_s, QVariantMap{{u"x"_s, u"y"_s}}}};
        QTest::newRow("a{sv} to map") << u"map"_s << QVariant(map) << QVariant(map);
        QTest::newRow("ai to list") << u"list"_s << QVariant::fromValue(QList<int>{1, 2}) << QVariant(QVariantList{1, 2});
        QDBusArgument structure; // (si), as a peer sends it
        structure.beginStructure();
        structure << u"a"_s << 5;
        structure.endStructure();
        QTest::newRow("struct to list") << u"list"_s << QVariant::fromValue(structure) << QVariant(QVariantList{u"a"_s, 5});
        QTest::newRow("av of texts to text list") << u"texts"_s << QVariant(QVariantList{u"b"_s}) << QVariant(QStringList{u"b"_s});
        QTest::newRow("true to int") << u"count"_s << QVariant(true) << refused;
    }

    void plainWrites()
    {
        QFETCH(QString, property);
        QFETCH(QVariant, sent);
        QFETCH(QVariant, stored);
        const QVariant before = renderer->declaredPropertyValue(property);
        const QDBusMessage reply =
            callRenderer(Extension, u"set_extension_property"_s, {property, QVariant::fromValue(QDBusVariant(sent))});
        QCOMPARE(reply.arguments().value(0), QVariant(stored.isValid()));
        QVERIFY2(!types(renderer->written).contains(u"QDBus"_s), qPrintable(types(renderer->written)));
        const QVariant now = renderer->declaredPropertyValue(property);
        QCOMPARE(now, stored.isValid() ? stored : before);
        QCOMPARE(types(now), types(stored.isValid() ? stored : before));
    }

    // Signals whose value the bus cannot carry, or would carry cut at a NUL, are dropped
    // with a warning; what follows them still goes out. Others go out with the values, and
    // their D-Bus types, that the plugin gave.
    void signalsOut_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<QVariant>("value"); // for playlist_changed, invalid: no playlist
        QTest::addColumn<QVariant>("sent"); // what the signal carries last; invalid for a dropped one
        QTest::addColumn<QString>("warning");
        const auto row = [](const char *tag, const QString &signal, const QVariant &value, const QVariant &sent,
                            const QString &warning) { QTest::newRow(tag) << signal << value << sent << warning; };
        const QVariant url = QVariant::fromValue(QUrl(u"a:b"_s)), none;
        const QVariantMap map{{u"k"_s, QStringList{u"x"_s}}};
        const QVariantList mixed{7, u"seven"_s, 0.5, true, 7u, 1ll << 40};
        const QString media = u"media_changed"_s, metadata = u"metadata_changed"_s, property = u"property_changed"_s,
                      playlist = u"playlist_changed"_s, error = u"error"_s, unsendable = u"Could not emit signal"_s;
        row("media_changed id", media, u"a"_s, u"a"_s, {});
        row("media_changed id with a NUL", media, Nul, none, u"media_changed not sent"_s);
        row("playlist_changed id with a NUL", playlist, Nul, none, u"playlist_changed not sent"_s);
        row("playlist_changed, no playlist", playlist, none, u""_s, {});
        row("playlist_changed, a playlist without an id", playlist, u""_s, u""_s, u"A playlist has no ID!"_s);
        row("error message with a NUL", error, Nul, none, u"error not sent"_s);
        row("metadata_changed of every type", metadata, mixed, mixed, {});
        row("metadata_changed text with a NUL", metadata, QVariantList{Nul}, none, u"metadata_changed not sent"_s);
        row("metadata_changed value it cannot carry", metadata, QVariantList{url}, none, unsendable);
        row("property_changed map", property, map, map, {});
        row("property_changed text with a NUL", property, Nul, none, u"property_changed not sent"_s);
        row("property_changed NUL deep in a map", property, QVariantMap{{u"k"_s, QStringList{Nul}}}, none,
            u"property_changed not sent"_s);
        row("property_changed value it cannot carry", property, url, none, unsendable);
        row("playback_completed", u"playback_completed"_s, none, none, {});
        row("scanning_info", u"scanning_info"_s, 0.25, 0.25, {});
    }

    void signalsOut()
    {
        QFETCH(QString, signal);
        QFETCH(QVariant, value);
        QFETCH(QVariant, sent);
        QFETCH(QString, warning);
        const bool metadata = signal == u"metadata_changed"_s, completed = signal == u"playback_completed"_s;
        const bool dropped = !sent.isValid() && !warning.isEmpty();
        BusSignalRecorder recorder(QDBusConnection::sessionBus().baseService(), u"/r"_s,
                                   signal == u"property_changed"_s ? Extension : Renderer, signal, a.connection());
        QVERIFY(recorder.isConnected());
        const auto emitSignal = [&](const QVariant &v) {
            TuvoPlaylist playlist(v.toString());
            if (signal == u"media_changed"_s)
                Q_EMIT renderer->mediaChanged(1, TuvoContent(v.toString()));
            else if (signal == u"playlist_changed"_s)
                Q_EMIT renderer->playlistChanged(v.isValid() ? &playlist : nullptr);
            else if (signal == u"error"_s)
                Q_EMIT renderer->error(TuvoError(1, v.toString()));
            else if (metadata)
                Q_EMIT renderer->metadataChanged(u"k"_s, v.toList());
            else if (completed)
                Q_EMIT renderer->playbackCompleted();
            else if (signal == u"scanning_info"_s)
                Q_EMIT renderer->scanningInfo(v.toFloat());
            else
                Q_EMIT renderer->tuvoPropertyChanged(u"p"_s, v);
        };
        if (!warning.isEmpty())
            QTest::ignoreMessage(warning.contains(u"ID"_s) ? QtCriticalMsg : QtWarningMsg, QRegularExpression(warning));
        emitSignal(value);
        const QVariant end = metadata ? QVariant(QVariantList{u"end"_s})
                             : completed ? QVariant()
                             : signal == u"scanning_info"_s ? QVariant(0.5) : QVariant(u"end"_s);
        emitSignal(end);
        QVERIFY(recorder.waitForCount(dropped ? 1 : 2));
        const auto last = [](const QVariantList &arguments) {
            return arguments.isEmpty() ? QVariant() : TuvoDBusValue::plain(arguments.constLast());
        };
        QCOMPARE(last(recorder.arguments().constFirst()), dropped ? end : sent);
        QCOMPARE(types(last(recorder.arguments().constFirst())), types(dropped ? end : sent));
        QCOMPARE(last(recorder.arguments().constLast()), end);
    }

    // An answer the bus cannot carry, or would carry cut at a NUL, ends its call at once
    // with org.freedesktop.DBus.Error.Failed instead of leaving it to its time-out; so does
    // a read the object refuses or answers with nothing. One reply per call is the reply
    // queue's.
    void answers_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("mode"); // how the object meets a property read
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("fails");
        const QString info = u"get_current_media_info"_s, property = u"get_extension_property"_s;
        QTest::newRow("media info") << info << QString() << QVariant(u"x"_s) << false;
        QTest::newRow("media info it cannot carry") << info << QString() << QVariant::fromValue(QUrl(u"a:b"_s)) << true;
        QTest::newRow("media info with a NUL") << info << QString() << QVariant(Nul) << true;
        QTest::newRow("status with a NUL in the id") << u"get_status"_s << QString() << QVariant(Nul) << true;
        QTest::newRow("property") << property << QString() << QVariant(u"x"_s) << false;
        QTest::newRow("property with a NUL") << property << QString() << QVariant(Nul) << true;
        QTest::newRow("property without a value") << property << u"invalid"_s << QVariant() << true;
        QTest::newRow("property refused") << property << u"refuse"_s << QVariant() << true;
        QTest::newRow("property answered, then refused") << property << u"answer-then-refuse"_s << QVariant() << false;
        QTest::newRow("property it cannot carry") << property << u"unsendable"_s << QVariant() << true;
    }

    void answers()
    {
        QFETCH(QString, method);
        QFETCH(QString, mode);
        QFETCH(QVariant, value);
        QFETCH(bool, fails);
        renderer->info = TuvoMediaInfo(u"id"_s);
        renderer->info.setMetaData(u"k"_s, QVariantList{value});
        renderer->objectId = value.toString();
        renderer->setText(value.toString());
        renderer->readMode = mode;
        if (mode == u"unsendable"_s)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^TuvoExtensionAdaptor: Could not reply property request: \"text\""_s));
        const bool property = method == u"get_extension_property"_s;
        const QVariantList arguments = method == u"get_status"_s ? QVariantList() : QVariantList{property ? u"text"_s : QString()};
        const QDBusMessage reply = callRenderer(property ? Extension : Renderer, method, arguments);
        renderer->readMode.clear();
        QCOMPARE(reply.errorName(), fails ? u"org.freedesktop.DBus.Error.Failed"_s : QString());
    }

    void readsOfOneNameJoin_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::newRow("answered") << true;
        QTest::newRow("answered with nothing") << false;
    }
    // One request for every waiting read of a name, whichever client asked; one answer
    // (or one failure) for them all. Other names are not held up.
    void readsOfOneNameJoin()
    {
        QFETCH(bool, valid);
        renderer->requests.clear();
        renderer->readMode = u"later"_s;
        QList<QDBusPendingCall> pending{read(a, u"joined"_s), read(b, u"joined"_s), read(a, u"joined"_s)};
        QTRY_COMPARE(renderer->requests, QStringList{u"joined"_s});
        renderer->readMode.clear();
        QDBusPendingCall other = read(b, u"count"_s);
        QTRY_VERIFY(other.isFinished());
        QVERIFY(other.isValid() && !pending.first().isFinished());
        QCOMPARE(renderer->requests, (QStringList{u"joined"_s, u"count"_s}));
        QVERIFY(renderer->kept.takeFirst().invoke(u"joined"_s, valid ? QVariant(7u) : QVariant()));
        for (QDBusPendingCall &call : pending) {
            call.waitForFinished();
            QCOMPARE(call.error().name(), valid ? QString() : u"org.freedesktop.DBus.Error.Failed"_s);
            QCOMPARE(call.reply().arguments().value(1).value<QDBusVariant>().variant(), valid ? QVariant(7u) : QVariant());
        }
    }

    // A read still waiting when its object goes away ends as a call to a missing object.
    void readOfAGoneObject()
    {
        auto *gone = new FakeRenderer;
        new TuvoExtensionAdaptor(gone);
        QVERIFY(QDBusConnection::sessionBus().registerObject(u"/gone"_s, gone, QDBusConnection::ExportAdaptors));
        gone->readMode = u"later"_s;
        QDBusPendingCall call = read(a, u"count"_s, u"/gone"_s);
        QTRY_COMPARE(gone->requests.size(), 1);
        delete gone;
        call.waitForFinished();
        QCOMPARE(call.error().name(), u"org.freedesktop.DBus.Error.UnknownObject"_s);
    }

    // The adaptor's debug lines, which only a debug log shows. A write without a value or
    // a name never reaches the object.
    void logLines()
    {
        QLoggingCategory::setFilterRules(u"*.debug=true"_s);
        QStringList lines;
        s_lines = &lines;
        const QtMessageHandler previous = qInstallMessageHandler(&collect);
        QVERIFY(!extension->set_extension_property(u"count"_s, QDBusVariant(QVariant())));
        QVERIFY(!extension->set_extension_property(QString(), QDBusVariant(5)));
        const QVariant value = QVariant::fromValue(QDBusVariant(55));
        QCOMPARE(callRenderer(Extension, u"set_extension_property"_s, {u"count"_s, value}).arguments(), QVariantList{true});
        const QDBusMessage read = callRenderer(Extension, u"get_extension_property"_s, {u"count"_s});
        QCOMPARE(read.arguments().value(1).value<QDBusVariant>().variant(), QVariant(55));
        QCOMPARE(callRenderer(Extension, u"get_extension_property"_s, {u"bass"_s}).errorName(),
                 u"org.freedesktop.DBus.Error.Failed"_s);
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(u"*.debug=false"_s);
        QCOMPARE(lines, (QStringList{u"TuvoExtensionAdaptor::set_extension_property \"count\" QVariant::int \"55\""_s,
                                     u"TuvoExtensionAdaptor::get_extension_property \"count\""_s,
                                     u"void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)"_s,
                                     u"TuvoExtensionAdaptor::get_extension_property \"bass\""_s}));
    }
};

QTEST_GUILESS_MAIN(tst_Hardening)
#include "tst_hardening.moc"
