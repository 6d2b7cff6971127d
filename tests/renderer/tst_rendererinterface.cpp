// The adaptor's code against dbus/com.oxbel.tuvo.renderer.xml: what the binding
// exports from the meta-object must be what the contract declares, so that neither can
// change without the other. Reply signatures of the delayed replies are checked on
// the bus by tst_tuvorendereradaptor.

#include "InterfaceContract.h"

#include <TuvoMediaInfoDBus.h>
#include <TuvoRendererAdaptor.h>

#include <QSet>
#include <QTest>

namespace {
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");

QStringList contract()
{
    return InterfaceContract::fromXml(InterfaceContract::contractXml(Interface), Interface);
}
} // namespace

class tst_RendererInterface : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The adaptor registers it on construction; signatures need it before.
        TuvoMediaInfoDBusStruct::registerMetaType();
        QVERIFY(!contract().isEmpty());
    }

    void exportedMembersAreTheContract()
    {
        QSet<QString> delayed;
        const QStringList exported =
            InterfaceContract::fromMetaObject(TuvoRendererAdaptor::staticMetaObject, &delayed);
        QCOMPARE(exported, InterfaceContract::withDelayedReplies(contract(), delayed));
        // A method answers with values only through a delayed reply, and those the
        // contract must declare.
        QCOMPARE(delayed, (QSet<QString>{QStringLiteral("get_position"), QStringLiteral("get_status"),
                                         QStringLiteral("get_current_media_info")}));
        for (const QString &name : delayed)
            QVERIFY2(!InterfaceContract::outSignature(contract(), name).isEmpty(), qPrintable(name));
    }

    void introspectionCarriesTheContract()
    {
        const QMetaObject &meta = TuvoRendererAdaptor::staticMetaObject;
        const int interfaceInfo = meta.indexOfClassInfo("D-Bus Interface");
        QVERIFY(interfaceInfo >= 0);
        QCOMPARE(QLatin1String(meta.classInfo(interfaceInfo).value()), Interface);
        QCOMPARE(InterfaceContract::fromXml(InterfaceContract::embeddedIntrospection(meta), Interface),
                 contract());
    }
};

QTEST_GUILESS_MAIN(tst_RendererInterface)
#include "tst_rendererinterface.moc"
