#include "TuvoClientTargetMatch.h"

#include <TuvoBusNames.h>

#include <QTest>

namespace {
TuvoClientObjectInfo object(const QString &busName, const QString &owner = QStringLiteral(":1.1"))
{
    TuvoClientObjectInfo info = TuvoClientObjectInfo::fromBusName(busName);
    info.owner = owner;
    return info;
}

const QList<TuvoClientObjectInfo> Published = {
    object(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin")),
    object(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.source.Sample-Plugin.sample_source")),
    object(QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer")),
    object(QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.test_source"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.test_source_2"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.source.Other.shared"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.shared"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.renderer.Test-Plugin.both"), QStringLiteral(":1.2")),
    object(QStringLiteral("com.oxbel.tuvo.source.Test-Plugin.both"), QStringLiteral(":1.2")),
};
} // namespace

// Naming the one object a user means, and never another one.
class tst_TuvoClientTargetMatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void finds_data()
    {
        QTest::addColumn<QList<int>>("kinds");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("busNames");

        const QList<int> sources{TuvoClientObjectInfo::Source}, renderers{TuvoClientObjectInfo::Renderer};
        const QList<int> either{TuvoClientObjectInfo::Source, TuvoClientObjectInfo::Renderer}, plugins{TuvoClientObjectInfo::Plugin};
        const int found = TuvoClientTargetMatch::Found, ambiguous = TuvoClientTargetMatch::Ambiguous, none = TuvoClientTargetMatch::NotFound;
        const QString source = "com.oxbel.tuvo.source.", plugin = "com.oxbel.tuvo.plugin.";
        QTest::newRow("uuid") << sources << "sample_source" << found << QStringList{source + "Sample-Plugin.sample_source"};
        QTest::newRow("bus name") << sources << source + "Test-Plugin.shared" << found << QStringList{source + "Test-Plugin.shared"};
        QTest::newRow("unique uuid prefix") << sources << "sam" << found << QStringList{source + "Sample-Plugin.sample_source"};
        QTest::newRow("unique bus name prefix") << sources << source + "Sample" << found << QStringList{source + "Sample-Plugin.sample_source"};
        QTest::newRow("kind decides") << renderers << "sample" << found << QStringList{"com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer"};
        QTest::newRow("exact wins over prefix") << sources << "test_source" << found << QStringList{source + "Test-Plugin.test_source"};
        QTest::newRow("ambiguous prefix") << sources << "test_s" << ambiguous
                                          << QStringList{source + "Test-Plugin.test_source", source + "Test-Plugin.test_source_2"};
        QTest::newRow("same uuid in two plugins") << sources << "shared" << ambiguous
                                                  << QStringList{source + "Other.shared", source + "Test-Plugin.shared"};
        QTest::newRow("same uuid, source and renderer") << either << "both" << ambiguous
                                                        << QStringList{"com.oxbel.tuvo.renderer.Test-Plugin.both", source + "Test-Plugin.both"};
        QTest::newRow("one kind of two") << renderers << "both" << found << QStringList{"com.oxbel.tuvo.renderer.Test-Plugin.both"};
        QTest::newRow("missing") << sources << "nothing" << none << QStringList();
        QTest::newRow("middle of a name is no prefix") << sources << "source" << none << QStringList();
        QTest::newRow("empty") << sources << "" << none << QStringList();
        QTest::newRow("plugin name") << plugins << "libtuvo_test_plugin" << found << QStringList{plugin + "libtuvo_test_plugin"};
        QTest::newRow("plugin short name") << plugins << "sample" << found << QStringList{plugin + "libtuvo_sample_plugin"};
        QTest::newRow("plugin short prefix") << plugins << "te" << found << QStringList{plugin + "libtuvo_test_plugin"};
        QTest::newRow("plugin library path") << plugins << "/usr/lib/tuvo/plugins/libtuvo-sample-plugin.so" << found
                                             << QStringList{plugin + "libtuvo_sample_plugin"};
        QTest::newRow("plugin prefix of both") << plugins << "libtuvo_" << ambiguous
                                               << QStringList{plugin + "libtuvo_sample_plugin", plugin + "libtuvo_test_plugin"};
    }

    void finds()
    {
        QFETCH(QList<int>, kinds);
        QFETCH(QString, text);
        QFETCH(int, result);
        QFETCH(QStringList, busNames);
        QList<TuvoClientObjectInfo::Kind> wanted;
        for (int kind : kinds)
            wanted.append(TuvoClientObjectInfo::Kind(kind));
        const TuvoClientTargetMatch match = TuvoClientTargetMatch::find(Published, wanted, text);
        QCOMPARE(int(match.result()), result);
        QStringList found;
        if (match.isFound())
            found.append(match.object().busName);
        for (const TuvoClientObjectInfo &candidate : match.candidates())
            found.append(candidate.busName);
        QCOMPARE(found, busNames);
    }

    void errorsSayWhatAndList()
    {
        const TuvoClientTargetMatch ambiguous =
            TuvoClientTargetMatch::find(Published, {TuvoClientObjectInfo::Source}, QStringLiteral("test_s"));
        QCOMPARE(ambiguous.error().type(), TuvoClientError::Ambiguous);
        QCOMPARE(ambiguous.error().message(),
                 QStringLiteral("\"test_s\" matches more than one source: com.oxbel.tuvo.source.Test-Plugin.test_source, "
                                "com.oxbel.tuvo.source.Test-Plugin.test_source_2"));
        const TuvoClientTargetMatch missing = TuvoClientTargetMatch::find(
            Published, {TuvoClientObjectInfo::Source, TuvoClientObjectInfo::Renderer}, QStringLiteral("x"));
        QCOMPARE(missing.error().type(), TuvoClientError::NotFound);
        QCOMPARE(missing.error().message(), QStringLiteral("no source or renderer \"x\" is on the bus"));
        QVERIFY(!TuvoClientTargetMatch::find(Published, {TuvoClientObjectInfo::Source}, QStringLiteral("sam"))
                     .error()
                     .isError());
    }
};

QTEST_APPLESS_MAIN(tst_TuvoClientTargetMatch)
#include "tst_tuvoclienttargetmatch.moc"
