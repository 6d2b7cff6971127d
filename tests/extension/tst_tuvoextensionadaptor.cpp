#include "BusClient.h"
#include "InterfaceContract.h"

#include <TuvoExtensionAdaptor.h>
#include <TuvoRenderer.h>
#include <TuvoSource.h>

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QMetaClassInfo>
#include <QTest>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.extension");

// Plugin objects on the built-in property store that count what reaches them.
template <typename Base>
class Counting : public Base
{
public:
    Counting()
        : Base(QStringLiteral("unit"), QStringLiteral("Unit Plugin"), QStringLiteral("Unit Object"))
    {
        this->declareProperty(QStringLiteral("volume"), 80);
    }
    bool setExtensionProperty(const QString &name, const QVariant &value) override
    {
        ++writes;
        return Base::setExtensionProperty(name, value);
    }
    int writes = 0;
};

// What the code under test logs, while it lives.
class LogCapture
{
public:
    LogCapture() { s_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture()
    {
        qInstallMessageHandler(s_previous);
        s_lines.clear();
    }
    /*! The adaptor's lines, as "debug: ..." or "warning: ...". */
    static QStringList adaptorLines()
    {
        QStringList lines;
        for (const QString &line : qAsConst(s_lines)) {
            if (line.contains(QLatin1String("TuvoExtensionAdaptor")))
                lines.append(line);
        }
        return lines;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        const char *level = type == QtDebugMsg ? "debug: " : type == QtWarningMsg ? "warning: " : "other: ";
        s_lines.append(QLatin1String(level) + message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QStringList s_lines;
};
} // namespace

// The extension adaptor on objects of this process: its exported members against the
// interface contract, what it refuses before the object sees it, and its log lines.
class tst_TuvoExtensionAdaptor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exportedMembersAreTheContract()
    {
        const QStringList contract =
            InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
        QCOMPARE(contract.size(), 4);
        QSet<QString> delayed;
        const QStringList exported =
            InterfaceContract::fromMetaObject(TuvoExtensionAdaptor::staticMetaObject, &delayed);
        QCOMPARE(exported, InterfaceContract::withDelayedReplies(contract, delayed));
        QCOMPARE(delayed, QSet<QString>{QStringLiteral("get_extension_property")});
        // The delayed reply carries what the contract promises (checked on the wire by
        // tst_extensionprocess): the name and the value.
        QCOMPARE(InterfaceContract::outSignature(contract, QStringLiteral("get_extension_property")),
                 QStringLiteral("sv"));
    }

    void introspectionDataIsTheContract()
    {
        const QMetaObject &meta = TuvoExtensionAdaptor::staticMetaObject;
        const int nameIndex = meta.indexOfClassInfo("D-Bus Interface");
        QVERIFY(nameIndex >= 0);
        QCOMPARE(QString::fromLatin1(meta.classInfo(nameIndex).value()), Interface);
        const int xmlIndex = meta.indexOfClassInfo("D-Bus Introspection");
        QVERIFY(xmlIndex >= 0);
        const QString shown = QStringLiteral("<node>") + QString::fromUtf8(meta.classInfo(xmlIndex).value())
                              + QStringLiteral("</node>");
        QCOMPARE(InterfaceContract::fromXml(shown, Interface),
                 InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface));
    }

    void refusedWritesNeverReachTheObject_data()
    {
        QTest::addColumn<bool>("renderer");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        for (const bool renderer : {true, false}) {
            const char *kind = renderer ? "renderer: " : "source: ";
            QTest::addRow("%sempty name", kind) << renderer << QString() << QVariant(55);
            QTest::addRow("%sno value", kind) << renderer << QStringLiteral("volume") << QVariant();
            QTest::addRow("%sneither", kind) << renderer << QString() << QVariant();
        }
    }
    void refusedWritesNeverReachTheObject()
    {
        QFETCH(bool, renderer);
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        Counting<TuvoRenderer> aRenderer;
        Counting<TuvoSource> aSource;
        auto *adaptor = renderer ? new TuvoExtensionAdaptor(&aRenderer)
                                 : new TuvoExtensionAdaptor(&aSource);
        LogCapture log;
        QCOMPARE(adaptor->set_extension_property(property, QDBusVariant(value)), false);
        QCOMPARE(aRenderer.writes + aSource.writes, 0);
        QCOMPARE(log.adaptorLines(), QStringList());
        QCOMPARE(aRenderer.declaredPropertyValue(QStringLiteral("volume")), QVariant(80));
    }

    void getNameIsTheObjects()
    {
        Counting<TuvoRenderer> renderer;
        Counting<TuvoSource> source;
        QCOMPARE((new TuvoExtensionAdaptor(&renderer))->get_name(), renderer.name());
        QCOMPARE((new TuvoExtensionAdaptor(&source))->get_name(), source.name());
    }

    void logLines()
    {
        Counting<TuvoRenderer> renderer;
        new TuvoExtensionAdaptor(&renderer);
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString path = QStringLiteral("/unit/renderer");
        QVERIFY(bus.registerObject(path, &renderer));
        BusClient client;
        const QString service = bus.baseService();
        const QString respondLine = QStringLiteral(
            "debug: void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)");

        LogCapture log;
        QDBusMessage reply = client.call(service, path, Interface, QStringLiteral("set_extension_property"),
                                         {QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(55))});
        QCOMPARE(reply.arguments(), QVariantList{true});
        reply = client.call(service, path, Interface, QStringLiteral("get_extension_property"),
                            {QStringLiteral("volume")});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        reply = client.call(service, path, Interface, QStringLiteral("get_extension_property"),
                            {QStringLiteral("undeclared")});
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(log.adaptorLines(),
                 (QStringList{
                     QStringLiteral("debug: TuvoExtensionAdaptor::set_extension_property \"volume\" QVariant::int \"55\""),
                     QStringLiteral("debug: TuvoExtensionAdaptor::get_extension_property \"volume\""),
                     respondLine,
                     QStringLiteral("debug: TuvoExtensionAdaptor::get_extension_property \"undeclared\""),
                 }));
        bus.unregisterObject(path);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoExtensionAdaptor)
#include "tst_tuvoextensionadaptor.moc"
