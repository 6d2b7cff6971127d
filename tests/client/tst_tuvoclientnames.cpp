#include "TuvoClientNames.h"

#include <QTest>

// Reading the wrapper's bus names back, and building them as the wrapper does.
class tst_TuvoClientNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesServiceNames_data()
    {
        QTest::addColumn<QString>("busName");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");

        QTest::newRow("plugin") << "com.oxbel.tuvo.plugin.libtuvo_sample_plugin" << true
                                << int(TuvoClientObjectInfo::Plugin) << "libtuvo_sample_plugin";
        QTest::newRow("source") << "com.oxbel.tuvo.source.Sample-Plugin.sample_source" << true
                                << int(TuvoClientObjectInfo::Source) << "sample_source";
        QTest::newRow("renderer") << "com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer" << true
                                  << int(TuvoClientObjectInfo::Renderer) << "sample_renderer";
        QTest::newRow("plugin part with dots") << "com.oxbel.tuvo.source.Vendor.Plugin.s1" << true
                                               << int(TuvoClientObjectInfo::Source) << "s1";
        QTest::newRow("test plugin control") << "com.oxbel.tuvo.testplugin" << false << 0 << "";
        QTest::newRow("source without plugin part") << "com.oxbel.tuvo.source.s1" << false << 0 << "";
        QTest::newRow("empty uuid") << "com.oxbel.tuvo.source.Plugin." << false << 0 << "";
        QTest::newRow("plugin name with a dot") << "com.oxbel.tuvo.plugin.a.b" << false << 0 << "";
        QTest::newRow("other service") << "org.freedesktop.DBus" << false << 0 << "";
        QTest::newRow("unique name") << ":1.42" << false << 0 << "";
    }

    void parsesServiceNames()
    {
        QFETCH(QString, busName);
        QFETCH(bool, valid);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const TuvoClientObjectInfo info = TuvoClientNames::parseServiceName(busName);
        QCOMPARE(info.isValid(), valid);
        if (!valid)
            return;
        QCOMPARE(int(info.kind), kind);
        QCOMPARE(info.name, name);
        QCOMPARE(info.busName, busName);
    }

    void buildsWhatItReads()
    {
        QCOMPARE(TuvoClientNames::sourceServiceName(QStringLiteral("Sample Plugin"), QStringLiteral("sample_source")),
                 QStringLiteral("com.oxbel.tuvo.source.Sample-Plugin.sample_source"));
        QCOMPARE(TuvoClientNames::rendererServiceName(QStringLiteral("A B C"), QStringLiteral("r")),
                 QStringLiteral("com.oxbel.tuvo.renderer.A-B-C.r"));
        QCOMPARE(TuvoClientNames::pluginNameFromFile(QStringLiteral("/usr/lib/tuvo/libtuvo-sample-plugin.so")),
                 QStringLiteral("libtuvo_sample_plugin"));
        QCOMPARE(TuvoClientNames::shortPluginName(QStringLiteral("libtuvo_sample_plugin")), QStringLiteral("sample"));
        QCOMPARE(TuvoClientNames::shortPluginName(QStringLiteral("libfoo")), QStringLiteral("foo"));
        QCOMPARE(TuvoClientNames::proxySourceObjectPath(QStringLiteral("sample_source")),
                 QStringLiteral("/com/oxbel/tuvo/proxy_source/sample_source"));

        TuvoClientObjectInfo info = TuvoClientNames::parseServiceName(QStringLiteral("com.oxbel.tuvo.renderer.P.r_1"));
        QCOMPARE(info.objectPath(), QStringLiteral("/com/oxbel/tuvo/renderer/r_1"));
        info = TuvoClientNames::parseServiceName(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin"));
        QCOMPARE(info.objectPath(), QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_test_plugin"));
    }

    void parsesObjectPaths()
    {
        TuvoClientObjectInfo info = TuvoClientNames::parseObjectPath(QStringLiteral("/com/oxbel/tuvo/source/s_1"));
        QCOMPARE(info.kind, TuvoClientObjectInfo::Source);
        QCOMPARE(info.name, QStringLiteral("s_1"));
        info = TuvoClientNames::parseObjectPath(QStringLiteral("/com/oxbel/tuvo/renderer/r"));
        QCOMPARE(info.kind, TuvoClientObjectInfo::Renderer);
        QVERIFY(TuvoClientNames::parseObjectPath(QStringLiteral("/com/oxbel/tuvo/renderer/r/x")).name.isEmpty());
        QVERIFY(TuvoClientNames::parseObjectPath(QStringLiteral("/com/oxbel/tuvo/registry")).name.isEmpty());
    }
};

QTEST_APPLESS_MAIN(tst_TuvoClientNames)
#include "tst_tuvoclientnames.moc"
