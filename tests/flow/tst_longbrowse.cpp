// A long browse through the real wrapper, to a proxy-source object in this process
// that is slow, stops for a while, never answers its result calls, or answers them with
// an error: every result arrives, in order, and the wrapper gives up waiting (with its
// warning) only for the clients that do not answer, and waits again for one that answers
// again.
#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoBusNames.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {
enum Answer { Reply, Never, Error, Pause };

class ProxySource : public QDBusVirtualObject
{
public:
    Answer answer = Reply;
    int slowUs = 0;
    uint total = 0;
    uint next = 0;
    int disordered = 0;
    bool ended = false;

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != "browse_result"_L1)
            return false;
        QThread::usleep(ulong(slowUs));
        // A little longer than the wrapper waits for an answer: long enough to be given up,
        // short enough that the results sent meanwhile stay well below the 63 MiB at which
        // libdbus stops reading (which this plain receiver, unlike the client library,
        // would not survive).
        if (answer == Pause && next == 2000)
            QThread::msleep(3300);
        const auto records = qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(message.arguments().at(1));
        for (const TuvoBrowseResultDBusStruct &record : records) {
            if (record.index != next || record.remainingCount != int(total - 1 - next) || ended)
                ++disordered;
            ++next;
            ended = record.remainingCount == 0;
        }
        if (message.isReplyRequired() && (answer == Reply || answer == Pause))
            connection.send(message.createReply());
        else if (message.isReplyRequired() && answer == Error)
            connection.send(message.createErrorReply(u"org.example.Refused"_s, u"not today"_s));
        return true;
    }
};

QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                  const QString &member, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}
} // namespace

class TstLongBrowse : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void longBrowse_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("slowUs");
        QTest::addColumn<uint>("results");
        QTest::addColumn<bool>("givenUp");
        QTest::addColumn<bool>("resumed");
        QTest::newRow("a slow client") << int(Reply) << 150 << 200000u << false << false;
        QTest::newRow("a client that stops for a while") << int(Pause) << 0 << 200000u << true << true;
        QTest::newRow("a client that never answers") << int(Never) << 0 << 20000u << true << false;
        QTest::newRow("a client that answers with an error") << int(Error) << 0 << 20000u << true << false;
    }

    void longBrowse()
    {
        QFETCH(int, answer);
        QFETCH(int, slowUs);
        QFETCH(uint, results);
        QFETCH(bool, givenUp);
        QFETCH(bool, resumed);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QProcess wrapper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TUVO_TEST_PLUGIN_OBJECTS"_s, u"source:s_flow:Flow:Flow Source"_s);
        wrapper.setProcessEnvironment(environment);
        wrapper.start(QStringLiteral(TUVO_WRAPPER_BINARY), {QStringLiteral(TUVO_TEST_PLUGIN)});
        const QString plugin = u"com.oxbel.tuvo.plugin.libtuvo_test_plugin"_s;
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(plugin), 20000);
        call(plugin, TuvoBusNames::pluginObjectPath(u"libtuvo_test_plugin"_s), u"com.oxbel.tuvo.plugin"_s, u"activate"_s);
        const QString source = u"com.oxbel.tuvo.source.Flow.s_flow"_s;
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(source), 20000);

        ProxySource proxy;
        proxy.answer = Answer(answer);
        proxy.slowUs = slowUs;
        proxy.total = results;
        QVERIFY(bus.registerVirtualObject(TuvoBusNames::proxySourceObjectPath(u"s_flow"_s), &proxy));
        const QDBusMessage browse = call(source, TuvoBusNames::sourceObjectPath(u"s_flow"_s), u"com.oxbel.tuvo.source"_s,
                                         u"browse"_s, {u"root"_s, QString(), QStringList(), 0u, 0u});
        const uint id = browse.arguments().value(0).toUInt();
        QVERIFY2(id != 0, qPrintable(browse.errorMessage()));
        const QDBusMessage stream = call(u"com.oxbel.tuvo.testplugin"_s, u"/com/oxbel/tuvo/test/source/s_flow"_s,
                                         u"com.oxbel.tuvo.test.Source"_s, u"stream_results"_s, {id, int(results), 100});
        QVERIFY2(stream.arguments().value(0).toBool(), qPrintable(stream.errorMessage()));

        QTRY_VERIFY_WITH_TIMEOUT(proxy.ended, 120000);
        QCOMPARE(proxy.next, results);
        QCOMPARE(proxy.disordered, 0);
        bus.unregisterObject(TuvoBusNames::proxySourceObjectPath(u"s_flow"_s));
        wrapper.terminate();
        QVERIFY(wrapper.waitForFinished(20000));
        const QByteArray log = wrapper.readAllStandardError();
        QCOMPARE(log.count("did not answer a result call"), givenUp ? 1 : 0);
        QCOMPARE(log.count("answers its result calls again"), resumed ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TstLongBrowse)
#include "tst_longbrowse.moc"
