#include <TuvoBusNames.h>
#include <TuvoInterfaceFiles.h>

#include <QTest>

// The naming scheme both sides of the bus share: built from a plugin argument and an
// object's identity, and read back from what a client sees.
class tst_WireNames : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pluginNames_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("logFile");
        QTest::addColumn<QString>("shortName");
        QTest::newRow("path") << "/usr/lib/tuvo/libtuvo-sample-plugin.so" << "libtuvo_sample_plugin"
                              << "/h/libtuvo-sample-plugin.log" << "sample";
        QTest::newRow("no suffix") << "libplain" << "libplain" << "/h/libplain.log" << "plain";
        QTest::newRow("versioned") << "libtuvo-x.so.1" << "libtuvo_x.1" << "/h/libtuvo-x.1.log" << "x.1";
        QTest::newRow("every .so") << "libtuvo.sound.so" << "libtuvound" << "/h/libtuvound.log" << "tuvound";
        QTest::newRow("upper case kept") << "libTuvo.SO" << "libTuvo.SO" << "/h/libTuvo.SO.log" << "Tuvo.SO";
        QTest::newRow("trailing slash") << "/usr/lib/" << "" << "/h/.log" << "";
        QTest::newRow("double slash") << "a//b" << "b" << "/h/b.log" << "b";
        QTest::newRow("nothing left of the short name") << "libtuvo--plugin.so" << "libtuvo__plugin" << "/h/libtuvo--plugin.log"
                                                        << "libtuvo__plugin";
    }
    void pluginNames()
    {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        QFETCH(QString, logFile);
        QFETCH(QString, shortName);
        QCOMPARE(TuvoBusNames::pluginName(argument), name);
        QCOMPARE(TuvoBusNames::logFilePath(argument, QStringLiteral("/h")), logFile);
        QCOMPARE(TuvoBusNames::shortPluginName(name), shortName);
    }

    void builtNamesReadBack_data()
    {
        QTest::addColumn<QString>("busName");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        const QString sample = QStringLiteral("Sample Plugin");
        QTest::newRow("plugin") << TuvoBusNames::pluginServiceName(QStringLiteral("libtuvo_sample_plugin"))
                                << TuvoBusNames::pluginObjectPath(QStringLiteral("libtuvo_sample_plugin"))
                                << int(TuvoBusObjectName::Plugin) << "libtuvo_sample_plugin";
        QTest::newRow("source") << TuvoBusNames::sourceServiceName(sample, QStringLiteral("s_1"))
                                << TuvoBusNames::sourceObjectPath(QStringLiteral("s_1"))
                                << int(TuvoBusObjectName::Source) << "s_1";
        QTest::newRow("renderer, blanks") << TuvoBusNames::rendererServiceName(QStringLiteral("A  B"), QStringLiteral("r"))
                                          << TuvoBusNames::rendererObjectPath(QStringLiteral("r"))
                                          << int(TuvoBusObjectName::Renderer) << "r";
        QTest::newRow("plugin part with dots") << "com.oxbel.tuvo.source.Vendor.Plugin.s1"
                                               << "/com/oxbel/tuvo/source/s1" << int(TuvoBusObjectName::Source)
                                               << "s1";
    }
    void builtNamesReadBack()
    {
        QFETCH(QString, busName);
        QFETCH(QString, path);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const TuvoBusObjectName parsed = TuvoBusNames::parseServiceName(busName);
        QCOMPARE(int(parsed.kind), kind);
        QCOMPARE(parsed.name, name);
        QCOMPARE(parsed.busName, busName);
        if (kind == TuvoBusObjectName::Plugin)
            return;
        const TuvoBusObjectName fromPath = TuvoBusNames::parseObjectPath(path);
        QCOMPARE(int(fromPath.kind), kind);
        QCOMPARE(fromPath.name, name);
    }

    void exactNames()
    {
        QCOMPARE(TuvoBusNames::sourceServiceName(QStringLiteral("My  Plugin"), QStringLiteral("u")),
                 QStringLiteral("com.oxbel.tuvo.source.My--Plugin.u"));
        QCOMPARE(TuvoBusNames::rendererObjectPath(QStringLiteral("u")), QStringLiteral("/com/oxbel/tuvo/renderer/u"));
        QCOMPARE(TuvoBusNames::pluginObjectPath(QStringLiteral("p")), QStringLiteral("/com/oxbel/tuvo/plugin/p"));
        QCOMPARE(TuvoBusNames::proxySourceObjectPath(QStringLiteral("s")),
                 QStringLiteral("/com/oxbel/tuvo/proxy_source/s"));
    }

    void foreignNamesAreInvalid_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("test plugin control") << "com.oxbel.tuvo.testplugin";
        QTest::newRow("prefix run on") << "com.oxbel.tuvo.sourcex.P.s";
        QTest::newRow("source without plugin part") << "com.oxbel.tuvo.source.s1";
        QTest::newRow("empty uuid") << "com.oxbel.tuvo.source.Plugin.";
        QTest::newRow("plugin name with a dot") << "com.oxbel.tuvo.plugin.a.b";
        QTest::newRow("plugin without name") << "com.oxbel.tuvo.plugin";
        QTest::newRow("unique name") << ":1.42";
        QTest::newRow("path below an object") << "/com/oxbel/tuvo/renderer/r/x";
        QTest::newRow("registry path") << "/com/oxbel/tuvo/registry";
        QTest::newRow("bare source path") << "/com/oxbel/tuvo/source/";
    }
    void foreignNamesAreInvalid()
    {
        QFETCH(QString, text);
        QVERIFY(!TuvoBusNames::parseServiceName(text).isValid());
        QVERIFY(!TuvoBusNames::parseObjectPath(text).isValid());
    }

    void signalArgumentNamesComeFromTheInterfaceFiles_data()
    {
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("media_changed") << TuvoBusNames::RendererInterface << "media_changed"
                                       << QStringList{"index", "objectId"};
        QTest::newRow("hello") << TuvoBusNames::RegistryInterface << "new_source"
                               << QStringList{"pluginName", "uuid", "name"};
        QTest::newRow("method, not a signal") << TuvoBusNames::SourceInterface << "browse" << QStringList();
        QTest::newRow("unknown interface") << "org.example" << "x" << QStringList();
    }
    void signalArgumentNamesComeFromTheInterfaceFiles()
    {
        QFETCH(QString, interface);
        QFETCH(QString, member);
        QFETCH(QStringList, names);
        QCOMPARE(TuvoInterfaceFiles::signalArgumentNames(interface, member), names);
        QCOMPARE(TuvoInterfaceFiles::interfaceXml(interface).isEmpty(), interface == QLatin1String("org.example"));
    }
};

QTEST_APPLESS_MAIN(tst_WireNames)
#include "tst_wirenames.moc"
