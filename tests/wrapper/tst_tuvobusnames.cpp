#include "TuvoBusNames.h"

#include <QTest>

// The naming scheme: what the plugin argument and an object's identity become on the bus.
class tst_TuvoBusNames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pluginName_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");
        QTest::newRow("path") << "/usr/lib/tuvo/libtuvo-sample-plugin.so" << "libtuvo_sample_plugin";
        QTest::newRow("file name") << "libtuvo-test-plugin.so" << "libtuvo_test_plugin";
        QTest::newRow("no suffix") << "libplain" << "libplain";
        QTest::newRow("versioned") << "libtuvo-x.so.1" << "libtuvo_x.1";
        QTest::newRow("every .so") << "libtuvo.sound.so" << "libtuvound";
        QTest::newRow("upper case kept") << "libTuvo.SO" << "libTuvo.SO";
        QTest::newRow("trailing slash") << "/usr/lib/" << "";
        QTest::newRow("relative") << "./build/libfoo-bar.so" << "libfoo_bar";
        QTest::newRow("double slash") << "a//b" << "b";
    }
    void pluginName()
    {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        QCOMPARE(TuvoBusNames::pluginName(argument), name);
    }

    void logFilePath_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("path");
        QTest::newRow("path") << "/usr/lib/x/libtuvo-sample.so" << "/home/u/libtuvo-sample.log";
        QTest::newRow("every .so") << "libtuvo.sound.so" << "/home/u/libtuvound.log";
        QTest::newRow("trailing slash") << "/usr/lib/" << "/home/u/.log";
        QTest::newRow("dashes kept") << "lib-a-b" << "/home/u/lib-a-b.log";
    }
    void logFilePath()
    {
        QFETCH(QString, argument);
        QFETCH(QString, path);
        QCOMPARE(TuvoBusNames::logFilePath(argument, QStringLiteral("/home/u")), path);
    }

    void objectNames_data()
    {
        QTest::addColumn<QString>("pluginName");
        QTest::addColumn<QString>("uuid");
        QTest::addColumn<QString>("sourceService");
        QTest::addColumn<QString>("rendererService");
        QTest::newRow("plain") << "Sample" << "abc_1" << "com.oxbel.tuvo.source.Sample.abc_1"
                               << "com.oxbel.tuvo.renderer.Sample.abc_1";
        QTest::newRow("blanks") << "My  Plugin" << "u" << "com.oxbel.tuvo.source.My--Plugin.u"
                                << "com.oxbel.tuvo.renderer.My--Plugin.u";
    }
    void objectNames()
    {
        QFETCH(QString, pluginName);
        QFETCH(QString, uuid);
        QFETCH(QString, sourceService);
        QFETCH(QString, rendererService);
        QCOMPARE(TuvoBusNames::sourceServiceName(pluginName, uuid), sourceService);
        QCOMPARE(TuvoBusNames::rendererServiceName(pluginName, uuid), rendererService);
        QCOMPARE(TuvoBusNames::sourceObjectPath(uuid), QStringLiteral("/com/oxbel/tuvo/source/") + uuid);
        QCOMPARE(TuvoBusNames::rendererObjectPath(uuid), QStringLiteral("/com/oxbel/tuvo/renderer/") + uuid);
    }

    void controlNames()
    {
        QCOMPARE(TuvoBusNames::pluginServiceName(QStringLiteral("libtuvo_sample_plugin")),
                 QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"));
        QCOMPARE(TuvoBusNames::pluginObjectPath(QStringLiteral("libtuvo_sample_plugin")),
                 QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoBusNames)
#include "tst_tuvobusnames.moc"
