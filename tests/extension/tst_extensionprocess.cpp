#include "BusClient.h"
#include "BusMonitor.h"
#include "BusSignalRecorder.h"
#include "InterfaceContract.h"
#include "TestBus.h"
#include "TestPaths.h"
#include "WrapperProcess.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.extension");
const QString TestPluginName = QStringLiteral("libtuvo_test_plugin");
const QString SamplePluginName = QStringLiteral("libtuvo_sample_plugin");
const QString PluginControlService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString PluginControlPath = QStringLiteral("/com/oxbel/tuvo/test");
const QString HostInterface = QStringLiteral("com.oxbel.tuvo.test.Properties");
const QString FailedError = QStringLiteral("org.freedesktop.DBus.Error.Failed");
const QString FailedText = QStringLiteral("failed to get property");

// A published object of the test plugin, and the control object of its properties.
struct Target {
    QString service;
    QString path;
    QString host;
    QString name;
};

Target target(const QString &kind, const QString &uuid = QString(), const QString &name = QString())
{
    const QString id = uuid.isEmpty() ? QStringLiteral("test_") + kind : uuid;
    QString display = name;
    if (display.isEmpty())
        display = kind == QLatin1String("source") ? QStringLiteral("Test Source") : QStringLiteral("Test Renderer");
    return {QStringLiteral("com.oxbel.tuvo.%1.Test-Plugin.%2").arg(kind, id),
            QStringLiteral("/com/oxbel/tuvo/%1/%2").arg(kind, id),
            QStringLiteral("/com/oxbel/tuvo/test/properties/") + id, display};
}

QVariant dbusVariant(const QVariant &value)
{
    return QVariant::fromValue(QDBusVariant(value));
}

// A value as it came off the wire: variants unwrapped, unregistered containers demarshalled.
QVariant unwrap(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusVariant>())
        return unwrap(value.value<QDBusVariant>().variant());
    return value;
}

QVariantList unwrapList(const QVariant &value)
{
    QVariantList list = value.metaType() == QMetaType::fromType<QDBusArgument>()
                            ? qdbus_cast<QVariantList>(value.value<QDBusArgument>())
                            : value.toList();
    for (QVariant &entry : list)
        entry = unwrap(entry);
    return list;
}

// What a reply says, for comparisons that show the difference when they fail.
QString describe(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("error %1: %2").arg(reply.errorName(), reply.errorMessage());
    QStringList parts;
    for (const QVariant &argument : reply.arguments()) {
        const QVariant value = unwrap(argument);
        QString text = value.toString();
        if (value.metaType() == QMetaType::fromType<QStringList>())
            text = value.toStringList().join(QLatin1Char(','));
        parts.append(QStringLiteral("%1:%2").arg(QString::fromLatin1(value.typeName()), text));
    }
    return QStringLiteral("reply ") + reply.signature() + QLatin1Char(' ') + parts.join(QLatin1Char(' '));
}

bool waitFor(QDBusPendingCall &pending, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pending.isFinished() && !deadline.hasExpired())
        QTest::qWait(5);
    return pending.isFinished();
}
} // namespace

// Extension properties of the real wrapper's sources and renderers, seen from clients on
// a private bus; the test plugin's property control objects play the plugin's part.
class tst_ExtensionProcess : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<WrapperProcess> wrapper;
    std::unique_ptr<BusClient> holder; // keeps the test plugin loaded
    std::unique_ptr<BusClient> client;

    static QDBusMessage host(const Target &t, const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(PluginControlService, t.host, HostInterface, method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message);
    }

    static QDBusMessage call(BusClient &by, const Target &t, const QString &method,
                             const QVariantList &arguments = {}, int timeoutMs = 10000)
    {
        return by.call(t.service, t.path, Interface, method, arguments, timeoutMs);
    }

    static QDBusPendingCall startGet(BusClient &by, const Target &t, const QString &property,
                                     int timeoutMs = 10000)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(t.service, t.path, Interface,
                                                              QStringLiteral("get_extension_property"));
        message << property;
        return by.connection().asyncCall(message, timeoutMs);
    }

    // Returns once the wrapper has handled everything \a by sent to the object before.
    static bool flush(BusClient &by, const Target &t)
    {
        return call(by, t, QStringLiteral("get_name")).type() == QDBusMessage::ReplyMessage;
    }

    static QStringList requests(const Target &t)
    {
        return host(t, QStringLiteral("requests")).arguments().value(0).toStringList();
    }

    // describe() of a successful read.
    static QString successText(const QString &property, const QVariant &value)
    {
        return QStringLiteral("reply sv QString:%1 %2:%3")
            .arg(property, QString::fromLatin1(value.typeName()), value.toString());
    }

    static void addKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("source") << QStringLiteral("source");
        QTest::newRow("renderer") << QStringLiteral("renderer");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        wrapper = std::make_unique<WrapperProcess>();
        wrapper->setHome(home.path());
        QVERIFY(wrapper->startWithPlugin(TestPaths::testPlugin()));
        holder = std::make_unique<BusClient>();
        client = std::make_unique<BusClient>();
        QVERIFY(holder->activate(TestPluginName));
        QVERIFY(TestBus::waitForName(target(QStringLiteral("source")).service));
        QVERIFY(TestBus::waitForName(target(QStringLiteral("renderer")).service));
    }

    void init()
    {
        for (const QString &kind : {QStringLiteral("source"), QStringLiteral("renderer")})
            QCOMPARE(host(target(kind), QStringLiteral("reset")).type(), QDBusMessage::ReplyMessage);
    }

    void cleanupTestCase()
    {
        client.reset();
        holder.reset();
        if (wrapper)
            QVERIFY2(wrapper->isRunning(), qPrintable(wrapper->errorOutput()));
        wrapper.reset();
    }

    void liveIntrospectionIsTheContract_data() { addKinds(); }
    void liveIntrospectionIsTheContract()
    {
        QFETCH(QString, kind);
        const Target t = target(kind);
        const QString live = TestBus::introspect(t.service, t.path);
        const QStringList contract =
            InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
        QVERIFY(!contract.isEmpty());
        QCOMPARE(InterfaceContract::fromXml(live, Interface), contract);
    }

    void replySignaturesAreTheContract_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("arguments");
        for (const QString &kind : {QStringLiteral("source"), QStringLiteral("renderer")}) {
            QTest::addRow("%s set", qPrintable(kind))
                << kind << QStringLiteral("set_extension_property")
                << QVariantList{QStringLiteral("p"), dbusVariant(1)};
            QTest::addRow("%s get", qPrintable(kind))
                << kind << QStringLiteral("get_extension_property") << QVariantList{QStringLiteral("p")};
            QTest::addRow("%s name", qPrintable(kind)) << kind << QStringLiteral("get_name") << QVariantList();
        }
    }
    void replySignaturesAreTheContract()
    {
        QFETCH(QString, kind);
        QFETCH(QString, method);
        QFETCH(QVariantList, arguments);
        const Target t = target(kind);
        host(t, QStringLiteral("set_value"), {QStringLiteral("p"), dbusVariant(QStringLiteral("v"))});
        const QDBusMessage reply = call(*client, t, method, arguments);
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const QStringList contract =
            InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
        QCOMPARE(reply.signature(), InterfaceContract::outSignature(contract, method));
    }

    void getNameIsTheObjects_data() { addKinds(); }
    void getNameIsTheObjects()
    {
        QFETCH(QString, kind);
        const Target t = target(kind);
        QCOMPARE(call(*client, t, QStringLiteral("get_name")).arguments(), QVariantList{t.name});
    }

    // A write needs a name; a read is the object's to judge, whatever the name.
    void emptyNameWriteIsRefusedReadIsAsked_data() { addKinds(); }
    void emptyNameWriteIsRefusedReadIsAsked()
    {
        QFETCH(QString, kind);
        const Target t = target(kind);
        const QDBusMessage reply = call(*client, t, QStringLiteral("set_extension_property"),
                                        {QString(), dbusVariant(5)});
        QCOMPARE(reply.arguments(), QVariantList{false});
        QCOMPARE(host(t, QStringLiteral("writes")).arguments().value(0).toStringList(), QStringList());

        host(t, QStringLiteral("set_value"), {QString(), dbusVariant(6)});
        QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {QString()})),
                 successText(QString(), 6));
        QCOMPARE(requests(t), QStringList{QString()});
    }

    void writeReturnsTheObjectsAnswer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("renderer accepts an int32") << "renderer" << true << QVariant(42);
        QTest::newRow("renderer refuses a string") << "renderer" << false << QVariant(QStringLiteral("loud"));
        QTest::newRow("renderer accepts a byte") << "renderer" << true << QVariant::fromValue<uchar>(200);
        QTest::newRow("renderer refuses a double") << "renderer" << false << QVariant(0.25);
        QTest::newRow("source accepts a uint64") << "source" << true << QVariant(qulonglong(1) << 40);
        QTest::newRow("source refuses a bool") << "source" << false << QVariant(true);
        QTest::newRow("source accepts a string list")
            << "source" << true << QVariant(QStringList{QStringLiteral("a"), QStringLiteral("b")});
    }
    void writeReturnsTheObjectsAnswer()
    {
        QFETCH(QString, kind);
        QFETCH(bool, accept);
        QFETCH(QVariant, value);
        const Target t = target(kind);
        host(t, QStringLiteral("set_write_result"), {accept});
        const QDBusMessage reply = call(*client, t, QStringLiteral("set_extension_property"),
                                        {QStringLiteral("written"), dbusVariant(value)});
        QCOMPARE(reply.signature(), QStringLiteral("b"));
        QCOMPARE(reply.arguments(), QVariantList{accept});

        // The object saw the name and the value, of the type the client sent.
        const QDBusMessage writes = host(t, QStringLiteral("writes"));
        QCOMPARE(writes.arguments().value(0).toStringList(), QStringList{QStringLiteral("written")});
        const QVariantList values = unwrapList(writes.arguments().value(1));
        QCOMPARE(values.size(), 1);
        QCOMPARE(values.first().metaType(), value.metaType());
        QCOMPARE(values.first(), value);
    }

    void readAnsweredInsideTheCall_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("signature");
        QTest::newRow("int32") << "renderer" << QVariant(55) << "i";
        QTest::newRow("uint32") << "source" << QVariant(55u) << "u";
        QTest::newRow("int64") << "renderer" << QVariant(-(qlonglong(1) << 40)) << "x";
        QTest::newRow("byte") << "source" << QVariant::fromValue<uchar>(7) << "y";
        QTest::newRow("bool") << "renderer" << QVariant(false) << "b";
        QTest::newRow("double") << "source" << QVariant(0.75) << "d";
        QTest::newRow("string") << "renderer" << QVariant(QStringLiteral("Living room")) << "s";
        QTest::newRow("empty string") << "source" << QVariant(QString()) << "s";
        QTest::newRow("string list") << "renderer" << QVariant(QStringList{QStringLiteral("x")}) << "as";
        QTest::newRow("object path") << "source"
                                     << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/a/b"))) << "o";
    }
    void readAnsweredInsideTheCall()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, signature);
        const Target t = target(kind);
        host(t, QStringLiteral("set_value"), {QStringLiteral("p"), dbusVariant(value)});

        for (int round = 1; round <= 2; ++round) {
            const QDBusMessage reply = call(*client, t, QStringLiteral("get_extension_property"),
                                            {QStringLiteral("p")});
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
            QCOMPARE(reply.signature(), QStringLiteral("sv"));
            QCOMPARE(reply.arguments().value(0), QVariant(QStringLiteral("p")));
            const QVariant answered = reply.arguments().value(1).value<QDBusVariant>().variant();
            QCOMPARE(QString::fromLatin1(QDBusMetaType::typeToSignature(answered.metaType())), signature);
            QCOMPARE(answered, value);
            // Nothing stays stored for the name: every read asks the object again.
            QCOMPARE(requests(t).size(), round);
        }
    }

    void readsOfOneNameJoinOneRequest_data() { addKinds(); }
    void readsOfOneNameJoinOneRequest()
    {
        QFETCH(QString, kind);
        const Target t = target(kind);
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("later")});
        BusClient other;
        QDBusPendingCall first = startGet(*client, t, QStringLiteral("joined"));
        QVERIFY(flush(*client, t));
        QDBusPendingCall second = startGet(other, t, QStringLiteral("joined"));
        QVERIFY(flush(other, t));
        QDBusPendingCall third = startGet(*client, t, QStringLiteral("joined"));
        QVERIFY(flush(*client, t));
        QVERIFY(!first.isFinished() && !second.isFinished() && !third.isFinished());
        QCOMPARE(requests(t), QStringList{QStringLiteral("joined")});

        // One answer of the object replies to all three.
        QCOMPARE(host(t, QStringLiteral("answer"), {QStringLiteral("joined"), dbusVariant(7u)}).arguments(),
                 QVariantList{1});
        for (QDBusPendingCall *pending : {&first, &second, &third}) {
            QVERIFY(waitFor(*pending));
            QCOMPARE(describe(pending->reply()), successText(QStringLiteral("joined"), 7u));
        }
        QCOMPARE(requests(t), QStringList{QStringLiteral("joined")});

        // The name is idle again: the next read asks the object.
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("now")});
        host(t, QStringLiteral("set_value"), {QStringLiteral("joined"), dbusVariant(8u)});
        QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {QStringLiteral("joined")})),
                 successText(QStringLiteral("joined"), 8u));
        QCOMPARE(requests(t).size(), 2);
    }

    void invalidAnswerFailsEveryWaitingCaller_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("inside");
        QTest::newRow("source, later") << "source" << false;
        QTest::newRow("renderer, later") << "renderer" << false;
        QTest::newRow("source, inside the call") << "source" << true;
        QTest::newRow("renderer, inside the call") << "renderer" << true;
    }
    void invalidAnswerFailsEveryWaitingCaller()
    {
        QFETCH(QString, kind);
        QFETCH(bool, inside);
        const Target t = target(kind);
        const QString property = QStringLiteral("unreadable");
        const QString failure = QStringLiteral("error %1: %2").arg(FailedError, FailedText);
        if (inside) {
            host(t, QStringLiteral("set_read_mode"), {QStringLiteral("invalid")});
            QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {property})), failure);
        } else {
            host(t, QStringLiteral("set_read_mode"), {QStringLiteral("later")});
            BusClient other;
            QDBusPendingCall first = startGet(*client, t, property);
            QVERIFY(flush(*client, t));
            QDBusPendingCall second = startGet(other, t, property);
            QVERIFY(flush(other, t));
            QCOMPARE(host(t, QStringLiteral("answer_invalid"), {property}).arguments(), QVariantList{1});
            QVERIFY(waitFor(first));
            QVERIFY(waitFor(second));
            QCOMPARE(describe(first.reply()), failure);
            QCOMPARE(describe(second.reply()), failure);
        }
        QCOMPARE(requests(t).size(), 1);

        // The name was cleared: a later read asks the object again.
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("now")});
        host(t, QStringLiteral("set_value"), {property, dbusVariant(3)});
        QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {property})),
                 successText(property, 3));
        QCOMPARE(requests(t).size(), 2);
    }

    // A read the object refuses is answered by exactly one message, the error, and so is
    // one it answers inside the call before refusing it: as seen by a monitor of the
    // bus, which also shows replies the caller's library would drop.
    void refusedReadGetsExactlyOneReply_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("answered");
        for (const QString &kind : {QStringLiteral("source"), QStringLiteral("renderer")}) {
            QTest::addRow("%s refuses", qPrintable(kind)) << kind << QStringLiteral("refuse") << false;
            QTest::addRow("%s answers, then refuses", qPrintable(kind))
                << kind << QStringLiteral("answer-then-refuse") << true;
        }
    }
    void refusedReadGetsExactlyOneReply()
    {
        QFETCH(QString, kind);
        QFETCH(QString, mode);
        QFETCH(bool, answered);
        const Target t = target(kind);
        const QString wrapperName = TestBus::owner(t.service);
        QVERIFY(!wrapperName.isEmpty());

        BusClient caller;
        BusMonitor monitor;
        QVERIFY(monitor.start({QStringLiteral("type='method_call',sender='%1'").arg(caller.uniqueName()),
                               QStringLiteral("type='method_return',sender='%1'").arg(wrapperName),
                               QStringLiteral("type='error',sender='%1'").arg(wrapperName)}));

        QVERIFY(host(t, QStringLiteral("set_read_mode"), {mode}).arguments().value(0).toBool());
        host(t, QStringLiteral("set_value"), {QStringLiteral("refused"), dbusVariant(false)});
        QCOMPARE(describe(call(caller, t, QStringLiteral("get_extension_property"), {QStringLiteral("refused")})),
                 answered ? successText(QStringLiteral("refused"), false)
                          : QStringLiteral("error %1: %2").arg(FailedError, FailedText));
        // A second reply would leave before the wrapper answers the next call.
        QVERIFY(flush(caller, t));

        BusMonitor::Record flushed;
        QVERIFY(monitor.waitFor([](const BusMonitor::Record &r) { return r.member == QLatin1String("get_name"); },
                                &flushed));
        QVERIFY(monitor.waitFor([&](const BusMonitor::Record &r) { return r.replySerial == flushed.serial; }));
        QStringList replies;
        for (const BusMonitor::Record &r : monitor.records()) {
            if (r.replySerial >= 0 && r.destination == caller.uniqueName())
                replies.append(r.type.section(QLatin1Char(' '), 0, 0));
        }
        // The one reply to the read, then the reply to get_name; nothing between them.
        QCOMPARE(replies, (QStringList{answered ? QStringLiteral("method") : QStringLiteral("error"),
                                       QStringLiteral("method")}));

        // Nothing stays stored: a later read asks the object again.
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("now")});
        host(t, QStringLiteral("set_value"), {QStringLiteral("refused"), dbusVariant(true)});
        QCOMPARE(describe(call(caller, t, QStringLiteral("get_extension_property"), {QStringLiteral("refused")})),
                 successText(QStringLiteral("refused"), true));
        QCOMPARE(requests(t), (QStringList{QStringLiteral("refused"), QStringLiteral("refused")}));
    }

    void unsendableAnswerBecomesAnError_data() { addKinds(); }
    void unsendableAnswerBecomesAnError()
    {
        QFETCH(QString, kind);
        const Target t = target(kind);
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("unsendable")});
        // Not a time-out: the caller hears at once that the value cannot be read.
        QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {QStringLiteral("cover")},
                               5000)),
                 QStringLiteral("error %1: %2").arg(FailedError, FailedText));
        QVERIFY(wrapper->waitForErrorOutput(
            QStringLiteral("TuvoExtensionAdaptor: Could not reply property request: \"cover\"")));
    }

    // The object accepted the read and never answers: the caller's own time-out ends its
    // wait, and further reads of that name wait for the same answer.
    void unansweredReadEndsWithTheCallersTimeout()
    {
        const Target t = target(QStringLiteral("renderer"));
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("never")});
        for (int round = 0; round < 2; ++round) {
            const QDBusMessage reply = call(*client, t, QStringLiteral("get_extension_property"),
                                            {QStringLiteral("silent")}, 300);
            QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.NoReply"));
        }
        QCOMPARE(requests(t), QStringList{QStringLiteral("silent")});
        // Other names are not held up.
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("now")});
        host(t, QStringLiteral("set_value"), {QStringLiteral("loud"), dbusVariant(1)});
        QCOMPARE(describe(call(*client, t, QStringLiteral("get_extension_property"), {QStringLiteral("loud")})),
                 successText(QStringLiteral("loud"), 1));
    }

    void withdrawnObjectDropsItsWaitingReads()
    {
        auto control = [](const QString &method, const QVariantList &arguments) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                PluginControlService, PluginControlPath, QStringLiteral("com.oxbel.tuvo.test.Plugin"), method);
            message.setArguments(arguments);
            return QDBusConnection::sessionBus().call(message).arguments().value(0).toBool();
        };
        const Target t = target(QStringLiteral("renderer"), QStringLiteral("r_gone"), QStringLiteral("Gone"));
        QVERIFY(control(QStringLiteral("add_object"), {QStringLiteral("renderer"), QStringLiteral("r_gone"),
                                                       QStringLiteral("Test Plugin"), QStringLiteral("Gone")}));
        QVERIFY(TestBus::waitForName(t.service));
        host(t, QStringLiteral("set_read_mode"), {QStringLiteral("later")});
        QDBusPendingCall pending = startGet(*client, t, QStringLiteral("pending"), 1000);
        QVERIFY(flush(*client, t));

        QVERIFY(control(QStringLiteral("remove_object"), {QStringLiteral("r_gone")}));
        QVERIFY(TestBus::waitForName(t.service, false));
        QVERIFY(waitFor(pending));
        QCOMPARE(pending.reply().type(), QDBusMessage::ErrorMessage);
        QVERIFY2(wrapper->isRunning(), qPrintable(wrapper->errorOutput()));
        QVERIFY(flush(*client, target(QStringLiteral("renderer"))));
    }

    void propertyChangedCarriesNameAndValue_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("signature");
        QTest::newRow("renderer int32") << "renderer" << QVariant(30) << "i";
        QTest::newRow("renderer bool") << "renderer" << QVariant(true) << "b";
        QTest::newRow("renderer uint16") << "renderer" << QVariant::fromValue<ushort>(9) << "q";
        QTest::newRow("renderer double") << "renderer" << QVariant(-1.5) << "d";
        QTest::newRow("source string") << "source" << QVariant(QStringLiteral("Shelf")) << "s";
        QTest::newRow("source uint64") << "source" << QVariant(qulonglong(1) << 63) << "t";
        QTest::newRow("source byte array") << "source" << QVariant(QByteArray("\x01\x02", 2)) << "ay";
    }
    void propertyChangedCarriesNameAndValue()
    {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, signature);
        const Target t = target(kind);
        BusSignalRecorder changes(t.service, t.path, Interface, QStringLiteral("property_changed"),
                                  client->connection());
        QVERIFY(changes.isConnected());
        QCOMPARE(host(t, QStringLiteral("emit_change"), {QStringLiteral("changed"), dbusVariant(value)}).type(),
                 QDBusMessage::ReplyMessage);
        // A second change marks the end of what the first one produced.
        host(t, QStringLiteral("emit_change"), {QStringLiteral("end"), dbusVariant(0)});
        QVERIFY(changes.waitForCount(2));
        QCOMPARE(changes.firstArguments(), (QStringList{QStringLiteral("changed"), QStringLiteral("end")}));

        const QDBusMessage signal = changes.messages().first();
        QCOMPARE(signal.path(), t.path);
        QCOMPARE(signal.interface(), Interface);
        QCOMPARE(signal.signature(), QStringLiteral("sv"));
        const QVariant carried = signal.arguments().value(1).value<QDBusVariant>().variant();
        QCOMPARE(QString::fromLatin1(QDBusMetaType::typeToSignature(carried.metaType())), signature);
        QCOMPARE(carried, value);
    }

    // The sample plugin's renderer and source from the shell, while a client keeps the
    // plugin loaded (gdbus's own activation would end as gdbus exits).
    void samplePropertiesFromGdbus()
    {
        WrapperProcess sample;
        sample.setHome(home.path());
        QVERIFY(sample.startWithPlugin(TestPaths::samplePlugin()));
        BusClient keeper;
        QVERIFY(keeper.activate(SamplePluginName));
        const QString renderer = QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer");
        const QString rendererPath = QStringLiteral("/com/oxbel/tuvo/renderer/sample_renderer");
        const QString source = QStringLiteral("com.oxbel.tuvo.source.Sample-Plugin.sample_source");
        const QString sourcePath = QStringLiteral("/com/oxbel/tuvo/source/sample_source");
        QVERIFY(TestBus::waitForName(renderer));
        QVERIFY(TestBus::waitForName(source));

        QProcess monitor;
        monitor.start(QStringLiteral("gdbus"), {QStringLiteral("monitor"), QStringLiteral("--session"),
                                                QStringLiteral("--dest"), renderer});
        QVERIFY(monitor.waitForStarted());
        QByteArray watched;
        // gdbus resolves the owner after subscribing: from then on it sees every signal.
        QDeadlineTimer ready(10000);
        while (!watched.contains("is owned by") && !ready.hasExpired()) {
            monitor.waitForReadyRead(100);
            watched += monitor.readAllStandardOutput();
        }
        QVERIFY2(watched.contains("is owned by"), watched.constData());

        auto gdbus = [](const QString &dest, const QString &path, const QString &method,
                        const QStringList &arguments) {
            QProcess process;
            process.start(QStringLiteral("gdbus"),
                          QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                                      dest, QStringLiteral("--object-path"), path, QStringLiteral("--method"),
                                      QStringLiteral("com.oxbel.tuvo.extension.") + method}
                              + arguments);
            if (!process.waitForFinished(10000) || process.exitCode() != 0)
                return QStringLiteral("failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
            return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
        };

        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("get_name"), {}),
                 QStringLiteral("('Sample Renderer',)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("get_extension_property"), {QStringLiteral("volume")}),
                 QStringLiteral("('volume', <80>)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("volume"), QStringLiteral("<55>")}),
                 QStringLiteral("(true,)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("get_extension_property"), {QStringLiteral("volume")}),
                 QStringLiteral("('volume', <55>)"));
        // Out of range, not a number, not a boolean: refused, and nothing changes.
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("volume"), QStringLiteral("<101>")}),
                 QStringLiteral("(false,)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("volume"), QStringLiteral("<'loud'>")}),
                 QStringLiteral("(false,)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("mute"), QStringLiteral("<'no'>")}),
                 QStringLiteral("(false,)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("mute"), QStringLiteral("<true>")}),
                 QStringLiteral("(true,)"));
        QCOMPARE(gdbus(renderer, rendererPath, QStringLiteral("get_extension_property"), {QStringLiteral("mute")}),
                 QStringLiteral("('mute', <true>)"));
        QVERIFY(gdbus(renderer, rendererPath, QStringLiteral("get_extension_property"), {QStringLiteral("bass")})
                    .contains(QLatin1String("org.freedesktop.DBus.Error.Failed: failed to get property")));

        const QByteArray prefix = "/com/oxbel/tuvo/renderer/sample_renderer: com.oxbel.tuvo.extension.property_changed ";
        QDeadlineTimer deadline(10000);
        while (!watched.contains(prefix + "('mute', <true>)") && !deadline.hasExpired()) {
            monitor.waitForReadyRead(100);
            watched += monitor.readAllStandardOutput();
        }
        monitor.kill();
        monitor.waitForFinished();
        QByteArrayList changes;
        for (const QByteArray &line : watched.split('\n')) {
            if (line.startsWith(prefix))
                changes.append(line.mid(prefix.size()));
        }
        QCOMPARE(changes, (QByteArrayList{"('volume', <55>)", "('mute', <true>)"}));

        QCOMPARE(gdbus(source, sourcePath, QStringLiteral("get_name"), {}), QStringLiteral("('Sample Source',)"));
        QCOMPARE(gdbus(source, sourcePath, QStringLiteral("set_extension_property"),
                       {QStringLiteral("root_title"), QStringLiteral("<'My music'>")}),
                 QStringLiteral("(true,)"));
        QCOMPARE(gdbus(source, sourcePath, QStringLiteral("get_extension_property"), {QStringLiteral("root_title")}),
                 QStringLiteral("('root_title', <'My music'>)"));
    }
};

QTEST_GUILESS_MAIN(tst_ExtensionProcess)
#include "tst_extensionprocess.moc"
