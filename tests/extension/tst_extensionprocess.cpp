// Extension properties of the real wrapper's sources and renderers, seen from clients on
// a private bus; the test plugin's property control objects play the plugin's part.
// Reads of one name share a reply queue, tested with it; here, what the adaptor adds.

#include "BusClient.h"
#include "BusMonitor.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <TuvoExtensionAdaptor.h>
#include <TuvoRenderer.h>

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.extension");
const QString Failure = QStringLiteral("error org.freedesktop.DBus.Error.Failed: failed to get property");
using V = QVariantList;

QVariant variant(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

// What a reply or signal carries, with the D-Bus type of each value: "s:p i:55".
QString describe(const QDBusMessage &message)
{
    if (message.type() == QDBusMessage::ErrorMessage)
        return "error " + message.errorName() + ": " + message.errorMessage();
    QStringList parts;
    for (QVariant value : message.arguments()) {
        if (value.metaType() == QMetaType::fromType<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        QString text = value.toString();
        if (value.metaType() == QMetaType::fromType<QStringList>())
            text = value.toStringList().join(u',');
        else if (value.metaType() == QMetaType::fromType<uchar>())
            text = QString::number(value.toUInt());
        else if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
            text = value.value<QDBusObjectPath>().path();
        parts.append(QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType())) + u':' + text);
    }
    return parts.join(u' ');
}

// Collects the adaptor's log lines while it lives.
QStringList *s_lines = nullptr;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.contains(QLatin1String("TuvoExtensionAdaptor")))
        s_lines->append(message);
}

class Renderer : public TuvoRenderer
{
public:
    Renderer() : TuvoRenderer("unit", "Unit Plugin", "Unit Renderer") { declareProperty("volume", 80); }
};
} // namespace

class tst_ExtensionProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    WrapperProcess wrapper;
    BusClient holder; // keeps the test plugin loaded
    BusClient client;
    QString kind;

    QString service() const { return "com.oxbel.tuvo." + kind + ".Test-Plugin.test_" + kind; }
    QString path() const { return "/com/oxbel/tuvo/" + kind + "/test_" + kind; }
    QDBusMessage call(BusClient &by, const QString &method, const V &arguments = {})
    {
        return by.call(service(), path(), Interface, method, arguments);
    }
    QDBusPendingCall startRead(BusClient &by, const QString &name)
    {
        return by.connection().asyncCall(QDBusMessage::createMethodCall(service(), path(), Interface,
                                                                        "get_extension_property") << name);
    }
    QDBusMessage host(const QString &method, const V &arguments = {})
    {
        return client.call("com.oxbel.tuvo.testplugin", "/com/oxbel/tuvo/test/properties/test_" + kind,
                           "com.oxbel.tuvo.test.Properties", method, arguments);
    }
    QString read(BusClient &by, const QString &name) { return describe(call(by, "get_extension_property", {name})); }
    static void addKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("source") << "source";
        QTest::newRow("renderer") << "renderer";
    }

private Q_SLOTS:
    void initTestCase()
    {
        wrapper.setHome(home.path());
        QVERIFY(wrapper.startWithPlugin(TestPaths::testPlugin()));
        QVERIFY(holder.activate("libtuvo_test_plugin"));
        QVERIFY(TestBus::waitForName("com.oxbel.tuvo.renderer.Test-Plugin.test_renderer"));
        QVERIFY(TestBus::waitForName("com.oxbel.tuvo.source.Test-Plugin.test_source"));
    }

    void init()
    {
        kind = QTest::currentDataTag() && QByteArray(QTest::currentDataTag()).startsWith("source") ? "source" : "renderer";
        QCOMPARE(host("reset").type(), QDBusMessage::ReplyMessage);
    }

    void cleanupTestCase() { QVERIFY2(wrapper.isRunning(), qPrintable(wrapper.errorOutput())); }

    void contractHolds_data() { addKinds(); }
    void contractHolds()
    {
        const QStringList contract = InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
        QSet<QString> delayed;
        const QStringList exported = InterfaceContract::fromMetaObject(TuvoExtensionAdaptor::staticMetaObject, &delayed);
        QCOMPARE(exported, InterfaceContract::withDelayedReplies(contract, delayed));
        QCOMPARE(delayed, QSet<QString>{"get_extension_property"});
        QCOMPARE(InterfaceContract::fromXml(TestBus::introspect(service(), path()), Interface), contract);
        QCOMPARE(describe(call(client, "get_name")), kind == "source" ? "s:Test Source" : "s:Test Renderer");
        host("set_value", {"p", variant(1)});
        QCOMPARE(call(client, "get_extension_property", {"p"}).signature(),
                 InterfaceContract::outSignature(contract, "get_extension_property"));
    }

    void writes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("written"); // what reached the object
        QTest::newRow("renderer accepts an int32") << "w" << true << QVariant(42) << "i:42";
        QTest::newRow("renderer refuses a string") << "w" << false << QVariant("loud") << "s:loud";
        QTest::newRow("renderer accepts a byte") << "w" << true << QVariant::fromValue<uchar>(200) << "y:200";
        QTest::newRow("renderer refuses a double") << "w" << false << QVariant(0.25) << "d:0.25";
        QTest::newRow("source accepts a uint64") << "w" << true << QVariant(1ull << 40) << "t:1099511627776";
        QTest::newRow("source refuses a bool") << "w" << false << QVariant(true) << "b:true";
        QTest::newRow("source accepts a string list") << "w" << true << QVariant(QStringList{"a", "b"}) << "as:a,b";
        QTest::newRow("source: a write needs a name") << "" << false << QVariant(5) << "";
    }
    void writes()
    {
        QFETCH(QString, name);
        QFETCH(bool, accept);
        QFETCH(QVariant, value);
        QFETCH(QString, written);
        host("set_write_result", {accept});
        QCOMPARE(describe(call(client, "set_extension_property", {name, variant(value)})),
                 accept ? "b:true" : "b:false");
        const QDBusMessage writes = host("writes");
        QCOMPARE(writes.arguments().value(0).toStringList(), name.isEmpty() ? QStringList() : QStringList{name});
        const V values = qdbus_cast<V>(writes.arguments().value(1));
        QDBusMessage carried = writes.createReply(values.isEmpty() ? V() : V{variant(values.first())});
        QCOMPARE(describe(carried), written);
    }

    void reads_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("renderer int32") << "now" << QVariant(55) << "s:p i:55";
        QTest::newRow("source uint32") << "now" << QVariant(55u) << "s:p u:55";
        QTest::newRow("renderer int64") << "now" << QVariant(-(1ll << 40)) << "s:p x:-1099511627776";
        QTest::newRow("source byte") << "now" << QVariant::fromValue<uchar>(7) << "s:p y:7";
        QTest::newRow("renderer bool") << "now" << QVariant(false) << "s:p b:false";
        QTest::newRow("source double") << "now" << QVariant(0.75) << "s:p d:0.75";
        QTest::newRow("renderer string") << "now" << QVariant("Living room") << "s:p s:Living room";
        QTest::newRow("source empty string") << "now" << QVariant(QString()) << "s:p s:";
        QTest::newRow("renderer string list") << "now" << QVariant(QStringList{"x"}) << "s:p as:x";
        QTest::newRow("source object path") << "now" << QVariant::fromValue(QDBusObjectPath("/a/b")) << "s:p o:/a/b";
        QTest::newRow("source no value") << "invalid" << QVariant() << Failure;
        QTest::newRow("renderer no value") << "invalid" << QVariant() << Failure;
        QTest::newRow("source refuses") << "refuse" << QVariant() << Failure;
        QTest::newRow("renderer refuses") << "refuse" << QVariant() << Failure;
        QTest::newRow("source answers, then refuses") << "answer-then-refuse" << QVariant(1) << "s:p i:1";
        QTest::newRow("renderer answers, then refuses") << "answer-then-refuse" << QVariant(1) << "s:p i:1";
        // Not a time-out: the caller hears at once that the value cannot be read.
        QTest::newRow("source unsendable") << "unsendable" << QVariant() << Failure;
        QTest::newRow("renderer unsendable") << "unsendable" << QVariant() << Failure;
    }
    // Exactly one reply per read, as a monitor of the bus sees it (it also shows replies
    // that the caller's library would drop), and nothing stays stored for the name.
    void reads()
    {
        QFETCH(QString, mode);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        BusClient caller;
        BusMonitor monitor;
        QVERIFY(monitor.start({"type='method_call',sender='" + caller.uniqueName() + "'",
                               "type='method_return',sender='" + TestBus::owner(service()) + "'",
                               "type='error',sender='" + TestBus::owner(service()) + "'"}));
        QVERIFY(host("set_read_mode", {mode}).arguments().value(0).toBool());
        if (value.isValid())
            host("set_value", {"p", variant(value)});
        QCOMPARE(read(caller, "p"), expected);
        QCOMPARE(call(caller, "get_name").type(), QDBusMessage::ReplyMessage); // after any second reply
        BusMonitor::Record named;
        QVERIFY(monitor.waitFor([](const BusMonitor::Record &r) { return r.member == "get_name"; }, &named));
        QVERIFY(monitor.waitFor([&](const BusMonitor::Record &r) { return r.replySerial == named.serial; }));
        int replies = 0;
        for (const BusMonitor::Record &r : monitor.records())
            replies += r.replySerial >= 0 && r.destination == caller.uniqueName();
        QCOMPARE(replies, 2);
        if (mode == "unsendable")
            QVERIFY(wrapper.waitForErrorOutput("TuvoExtensionAdaptor: Could not reply property request: \"p\""));

        host("set_read_mode", {"now"});
        host("set_value", {"p", variant(3)});
        QCOMPARE(read(caller, "p"), "s:p i:3");
        QCOMPARE(host("requests").arguments().value(0).toStringList(), (QStringList{"p", "p"}));
    }

    void readsOfOneNameJoin_data()
    {
        QTest::addColumn<bool>("valid");
        QTest::newRow("source answers") << true;
        QTest::newRow("renderer answers") << true;
        QTest::newRow("source answers nothing") << false;
    }
    // One request for every waiting read of a name, whichever client asked; one answer
    // (or one failure) for them all. Other names are not held up.
    void readsOfOneNameJoin()
    {
        QFETCH(bool, valid);
        host("set_read_mode", {"later"});
        BusClient other;
        QList<QDBusPendingCall> pending{startRead(client, "joined"), startRead(other, "joined"),
                                        startRead(client, "joined")};
        host("set_read_mode", {"now"});
        host("set_value", {"loud", variant(1)});
        QCOMPARE(read(other, "loud"), "s:loud i:1");
        QCOMPARE(host("requests").arguments().value(0).toStringList(), (QStringList{"joined", "loud"}));
        QVERIFY(!pending.at(0).isFinished());
        QCOMPARE(host(valid ? "answer" : "answer_invalid", valid ? V{"joined", variant(7u)} : V{"joined"})
                     .arguments(), V{1}); // one request reached the object
        for (QDBusPendingCall &call : pending) {
            call.waitForFinished();
            QCOMPARE(describe(call.reply()), valid ? "s:joined u:7" : Failure);
        }
    }

    void propertyChanged_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("renderer int32") << QVariant(30) << "s:changed i:30";
        QTest::newRow("renderer uint16") << QVariant::fromValue<ushort>(9) << "s:changed q:9";
        QTest::newRow("renderer double") << QVariant(-1.5) << "s:changed d:-1.5";
        QTest::newRow("source string") << QVariant("Shelf") << "s:changed s:Shelf";
        QTest::newRow("source uint64") << QVariant(1ull << 63) << "s:changed t:9223372036854775808";
        QTest::newRow("source bool") << QVariant(true) << "s:changed b:true";
    }
    void propertyChanged()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        BusSignalRecorder changes(service(), path(), Interface, "property_changed", client.connection());
        QCOMPARE(host("emit_change", {"changed", variant(value)}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(changes.waitForCount(1));
        QCOMPARE(describe(changes.messages().first()), expected);
    }

    // The adaptor's debug lines, which only a debug log shows: in this process, on an
    // object of its own. A write without a value never reaches the object.
    void logLines()
    {
        Renderer renderer;
        TuvoExtensionAdaptor adaptor(&renderer);
        QVERIFY(QDBusConnection::sessionBus().registerObject("/unit", &renderer));
        QStringList lines;
        s_lines = &lines;
        const QtMessageHandler previous = qInstallMessageHandler(&collect);
        QVERIFY(!adaptor.set_extension_property("volume", QDBusVariant(QVariant())));
        const QString self = QDBusConnection::sessionBus().baseService();
        QCOMPARE(describe(client.call(self, "/unit", Interface, "set_extension_property", {"volume", variant(55)})),
                 "b:true");
        QCOMPARE(describe(client.call(self, "/unit", Interface, "get_extension_property", {"volume"})), "s:volume i:55");
        QCOMPARE(describe(client.call(self, "/unit", Interface, "get_extension_property", {"bass"})), Failure);
        qInstallMessageHandler(previous);
        QDBusConnection::sessionBus().unregisterObject("/unit");
        QCOMPARE(lines, (QStringList{"TuvoExtensionAdaptor::set_extension_property \"volume\" QVariant::int \"55\"",
                                     "TuvoExtensionAdaptor::get_extension_property \"volume\"",
                                     "void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)",
                                     "TuvoExtensionAdaptor::get_extension_property \"bass\""}));
    }
};

QTEST_GUILESS_MAIN(tst_ExtensionProcess)
#include "tst_extensionprocess.moc"
