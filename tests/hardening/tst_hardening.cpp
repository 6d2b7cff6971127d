#include "BusClient.h"
#include "ProxySourceRecorder.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoError.h>
#include <TuvoRenderer.h>
#include <TuvoShared.h>
#include <TuvoSource.h>
#include <TuvoSourceAdaptor.h>
#include <TuvoSourceAdaptorBrowseTransaction.h>
#include <TuvoSourceAdaptorQueryTransaction.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QTest>

#include <malloc.h>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace {
// Accepts every operation with a fresh id and ignores cancels, as a source that forgets
// a cancelled operation does. inside runs within browse() and query().
class FakeSource : public TuvoSource
{
public:
    using TuvoSource::TuvoSource;
    QList<QPointer<QObject>> receivers;
    QList<uint> cancelled;
    std::function<void(QObject *)> inside;
    uint browse(const QString &, const QString &, const QStringList &, uint, uint, QObject *r,
                const char *, const char *) override { return start(r); }
    uint query(const QString &, QObject *r, const char *, const char *) override { return start(r); }
    void cancelBrowse(uint id) override { cancelled.append(id); }
    void cancelQuery(uint id) override { cancelled.append(id); }
    uint start(QObject *r)
    {
        receivers.append(r);
        if (inside)
            std::exchange(inside, {})(r);
        return nextOperationId();
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

QDBusMessage from(const BusClient &client)
{
    return QDBusMessage::createMethodCall(client.uniqueName(), {}, {}, {});
}
} // namespace

class tst_Hardening : public QObject
{
    Q_OBJECT

    FakeSource *source = nullptr;
    TuvoSourceAdaptor *adaptor = nullptr;
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
    }
    void cleanupTestCase() { delete source; }

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

    // A callback with another operation's id inside browse() or query() is dropped.
    void wrongIdInside_data()
    {
        QTest::addColumn<bool>("isBrowse");
        QTest::newRow("browse") << true;
        QTest::newRow("query") << false;
    }

    void wrongIdInside()
    {
        QFETCH(bool, isBrowse);
        const uint first = start(isBrowse, a);
        QPointer<QObject> firstReceiver = source->receivers.last();
        source->inside = [first](QObject *r) { deliver(r, first, u"stolen"_s, 0, 0); };
        QTest::ignoreMessage(QtWarningMsg, isBrowse ? "Source signals with bad browseId: return"
                                                    : "Source signals with bad queryId: return");
        const uint second = start(isBrowse, b);
        deliver(source->receivers.last(), second, u"own"_s, 0, 0);
        deliver(firstReceiver, first, u"first"_s, 0, 0);
        QVERIFY(isBrowse ? proxyB->waitForBrowseEnd(second) : proxyB->waitForQueryEnd(second));
        QVERIFY(isBrowse ? proxyA->waitForBrowseEnd(first) : proxyA->waitForQueryEnd(first));
        QCOMPARE(received(proxyB, isBrowse, second), QStringList{u"own"_s});
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

    // The enumerations plugins emit are ints, so any number a plugin gives is a value.
    void enumerationsAreInts()
    {
        QVERIFY((std::is_same_v<std::underlying_type_t<TuvoRenderer::State>, int>));
        QVERIFY((std::is_same_v<std::underlying_type_t<TuvoRenderer::SeekMode>, int>));
        QVERIFY((std::is_same_v<std::underlying_type_t<TuvoError::Code>, int>));
        QVERIFY((std::is_same_v<std::underlying_type_t<TuvoShared::TrackFlag>, int>));
    }

    // A wrapper whose bus goes away says so and ends with status 1.
    void busLossEndsTheWrapper()
    {
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s, {QStringLiteral("--config-file=" TUVO_TEST_BUS_CONFIG), u"--print-address"_s, u"--nofork"_s});
        QVERIFY(daemon.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        WrapperProcess wrapper;
        wrapper.setEnv(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
        QVERIFY(wrapper.start({TestPaths::testPlugin()}, false));
        QTest::qWait(1500);
        QVERIFY(wrapper.isRunning());
        daemon.kill();
        daemon.waitForFinished();
        QVERIFY(wrapper.waitForExit(10000));
        QCOMPARE(wrapper.exitStatus(), QProcess::NormalExit);
        QCOMPARE(wrapper.exitCode(), 1);
        QVERIFY(wrapper.errorOutput().contains(u"Lost the connection to the session bus"_s));
    }
};

QTEST_GUILESS_MAIN(tst_Hardening)
#include "tst_hardening.moc"
