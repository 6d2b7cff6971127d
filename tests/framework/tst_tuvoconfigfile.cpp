#include <TuvoConfigFile.h>

#include <QTemporaryDir>
#include <QTest>

// Plugins' own configuration files: "key=value" lines.
class tst_TuvoConfigFile : public QObject
{
    Q_OBJECT

    static QStringList flatten(const QList<TuvoConfigFile::Setting> &settings)
    {
        QStringList result;
        for (const TuvoConfigFile::Setting &setting : settings)
            result.append(QStringLiteral("%1:%2=%3").arg(setting.line).arg(setting.key, setting.value));
        return result;
    }

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("settings");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("plain") << QByteArray("a=1\nb=two") << QStringList{"1:a=1", "2:b=two"};
        QTest::newRow("comments and blanks") << QByteArray("# x=1\n\n  \n  # y\nz=3\n")
                                             << QStringList{"5:z=3"};
        QTest::newRow("trimmed") << QByteArray("  key  =  a value with blanks  \n")
                                 << QStringList{"1:key=a value with blanks"};
        QTest::newRow("no equals") << QByteArray("flag\n") << QStringList{"1:flag="};
        QTest::newRow("equals in value") << QByteArray("sink=fakesink sync=true")
                                         << QStringList{"1:sink=fakesink sync=true"};
        QTest::newRow("repeated keys keep order") << QByteArray("root=/a\nroot=/b")
                                                  << QStringList{"1:root=/a", "2:root=/b"};
        QTest::newRow("utf-8") << QByteArray("title=Bj\xc3\xb6rk") << QStringList{QStringLiteral("1:title=Björk")};
        QTest::newRow("crlf") << QByteArray("a=1\r\nb=2\r\n") << QStringList{"1:a=1", "2:b=2"};
    }
    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, settings);
        QCOMPARE(flatten(TuvoConfigFile::parse(text)), settings);
    }

    void readAndPaths()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plugin.conf"));
        QVERIFY(TuvoConfigFile::read(path).isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x=1\n");
        file.close();
        QCOMPARE(flatten(TuvoConfigFile::read(path)), QStringList{"1:x=1"});
        QVERIFY(TuvoConfigFile::userPath(QStringLiteral("p.conf")).endsWith(QLatin1String("/tuvo/p.conf")));
        QCOMPARE(TuvoConfigFile::lineMessage(TuvoConfigFile::parse("\nk=v").first(), QStringLiteral("odd")),
                 QStringLiteral("line 2: odd"));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoConfigFile)
#include "tst_tuvoconfigfile.moc"
