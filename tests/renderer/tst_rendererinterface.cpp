// The adaptor's code against dbus/com.oxbel.tuvo.renderer.xml: what the binding
// exports from the meta-object must be what the contract declares, so that neither can
// change without the other. Reply signatures of the delayed replies are checked on
// the bus by tst_tuvorendereradaptor.

#include "InterfaceContract.h"
#include "TestPaths.h"

#include <TuvoMediaInfoDBus.h>
#include <TuvoRendererAdaptor.h>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMetaMethod>
#include <QTest>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");

InterfaceContract fileContract()
{
    return InterfaceContract::fromFile(TestPaths::sourceDir() + QStringLiteral("/dbus/com.oxbel.tuvo.renderer.xml"),
                                       Interface);
}

const QMetaObject &adaptorMeta()
{
    return TuvoRendererAdaptor::staticMetaObject;
}

// Qt D-Bus exports an adaptor's signals and public slots; a QDBusMessage last
// parameter is the call itself and not on the bus.
struct Exported {
    QMetaMethod method;
    bool takesMessage = false;
};

QList<Exported> exportedMembers()
{
    QList<Exported> result;
    const QMetaObject &meta = adaptorMeta();
    for (int i = QDBusAbstractAdaptor::staticMetaObject.methodCount(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.access() != QMetaMethod::Public)
            continue;
        if (method.methodType() != QMetaMethod::Signal && method.methodType() != QMetaMethod::Slot)
            continue;
        Exported exported{method};
        const int count = method.parameterCount();
        exported.takesMessage = count > 0 && method.parameterMetaType(count - 1) == QMetaType::fromType<QDBusMessage>();
        result.append(exported);
    }
    return result;
}

InterfaceContract::Member memberOf(const Exported &exported)
{
    InterfaceContract::Member member;
    const QMetaMethod &method = exported.method;
    member.kind = method.methodType() == QMetaMethod::Signal ? QStringLiteral("signal") : QStringLiteral("method");
    member.name = QString::fromLatin1(method.name());
    const int count = method.parameterCount() - (exported.takesMessage ? 1 : 0);
    for (int i = 0; i < count; ++i) {
        const char *signature = QDBusMetaType::typeToSignature(method.parameterMetaType(i));
        member.inTypes.append(signature ? QString::fromLatin1(signature) : QStringLiteral("<not marshallable>"));
        member.inNames.append(QString::fromLatin1(method.parameterNames().at(i)));
    }
    return member;
}
} // namespace

class tst_RendererInterface : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The adaptor registers it on construction; signatures need it before.
        TuvoMediaInfoDBus::registerMetaType();
        QVERIFY2(fileContract().isValid(), qPrintable(fileContract().error()));
    }

    void exportedMembersAreTheContract()
    {
        QStringList fromCode;
        for (const Exported &exported : exportedMembers())
            fromCode.append(memberOf(exported).callShape());
        fromCode.sort();
        QCOMPARE(fromCode, fileContract().callShapes());
    }

    void onlyDelayedRepliesCarryValues()
    {
        const InterfaceContract contract = fileContract();
        for (const Exported &exported : exportedMembers()) {
            const QMetaMethod &method = exported.method;
            QCOMPARE(method.returnMetaType(), QMetaType::fromType<void>());
            if (method.methodType() != QMetaMethod::Slot)
                continue;
            const InterfaceContract::Member member = memberOf(exported);
            bool declared = false;
            for (const InterfaceContract::Member &candidate : contract.members()) {
                if (candidate.callShape() != member.callShape())
                    continue;
                declared = true;
                // A method answers with values only through a delayed reply.
                QVERIFY2(candidate.outTypes.isEmpty() != exported.takesMessage,
                         qPrintable(member.callShape()));
            }
            QVERIFY2(declared, qPrintable(member.callShape()));
        }
    }

    void introspectionCarriesTheContract()
    {
        const QMetaObject &meta = adaptorMeta();
        const int interfaceInfo = meta.indexOfClassInfo("D-Bus Interface");
        QVERIFY(interfaceInfo >= 0);
        QCOMPARE(QLatin1String(meta.classInfo(interfaceInfo).value()), Interface);
        const int introspection = meta.indexOfClassInfo("D-Bus Introspection");
        QVERIFY(introspection >= 0);
        const QString xml = QStringLiteral("<node>") + QString::fromUtf8(meta.classInfo(introspection).value())
                            + QStringLiteral("</node>");
        const InterfaceContract embedded = InterfaceContract::parse(xml, Interface);
        QVERIFY2(embedded.isValid(), qPrintable(embedded.error()));
        QCOMPARE(embedded.descriptions(), fileContract().descriptions());
    }
};

QTEST_GUILESS_MAIN(tst_RendererInterface)
#include "tst_rendererinterface.moc"
