#include <TuvoMessageHandler.h>

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTest>
#include <QTextStream>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Catches what the process writes to standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll());
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

const QRegularExpression Stamp(QStringLiteral(
    "^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[(\\w+)\\] (.*)$"));
} // namespace

// Where log lines go: standard error for warnings and worse, the stream for everything.
class tst_TuvoMessageHandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TuvoMessageHandler::resetTuvoLogging(); }

    // Which lines reach the stream (all, stamped, as "<type> <message>") and standard
    // error (warnings and worse), and whether the default category debugs at all.
    void routing_data()
    {
        QTest::addColumn<bool>("enableDebug");
        QTest::addColumn<bool>("withStream");
        QTest::addColumn<QStringList>("streamed");
        QTest::addColumn<QString>("errors");
        const QString loud = QStringLiteral("warning critical");
        QTest::newRow("debug with stream")
            << true << true << QStringList{"debug a debug line \"value\"", "warning loud", "critical boom"} << loud;
        QTest::newRow("debug without stream") << true << false << QStringList() << loud;
        QTest::newRow("no debug with stream") << false << true << QStringList{"warning loud", "critical boom"} << loud;
    }
    void routing()
    {
        QFETCH(bool, enableDebug);
        QFETCH(bool, withStream);
        QFETCH(QStringList, streamed);
        QFETCH(QString, errors);
        QTemporaryFile file;
        QVERIFY(file.open());
        QTextStream stream(&file);
        StderrCapture capture;
        TuvoMessageHandler::initTuvoLogging(enableDebug, withStream ? &stream : nullptr);
        QCOMPARE(QLoggingCategory::defaultCategory()->isDebugEnabled(), enableDebug && withStream);
        qDebug() << "a debug line" << QStringLiteral("value");
        // Each line reaches the file at once: read through another handle before anything else happens.
        QFile reader(file.fileName());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QCOMPARE(reader.readAll().contains("a debug line"), enableDebug && withStream);
        qWarning() << "loud";
        qCritical() << "boom";
        TuvoMessageHandler::resetTuvoLogging();
        QVERIFY(QLoggingCategory::defaultCategory()->isDebugEnabled());
        QStringList lines, seen;
        QVERIFY(reader.seek(0));
        for (const QString &line : QString::fromUtf8(reader.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            lines.append(Stamp.match(line).captured(1) + u' ' + Stamp.match(line).captured(2));
        QCOMPARE(lines, streamed);
        for (const QString &line : capture.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            seen.append(Stamp.match(line).captured(1));
        QCOMPARE(seen.join(u' '), errors);
    }

    // What one warning (or a debug line of a category asked for) looks like on standard error.
    void standardErrorLine_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("expected");
        const QString stamp = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
        QTest::newRow("plain") << "" << "^" + stamp + "\\[warning\\] a warning$";
        QTest::newRow("process named") << "name" << "^libtuvo_x\\[\\d+\\]: " + stamp + "\\[warning\\] a warning$";
        QTest::newRow("journal") << "journal" << "^<4>" + stamp + "\\[warning\\] a warning$";
        QTest::newRow("journal elsewhere") << "other journal" << "^" + stamp + "\\[warning\\] a warning$";
        QTest::newRow("pattern") << "pattern" << "^warning\\|default\\|a warning$";
        QTest::newRow("category asked for") << "category" << "^" + stamp + "\\[debug\\] tuvo\\.test: a detail$";
    }
    void standardErrorLine()
    {
        QFETCH(QString, setting);
        QFETCH(QString, expected);
        StderrCapture capture;
        struct stat info;
        QVERIFY(::fstat(STDERR_FILENO, &info) == 0);
        if (setting.endsWith(QLatin1String("journal")))
            qputenv("JOURNAL_STREAM", QByteArray::number(qulonglong(info.st_dev)) + ':'
                                          + QByteArray::number(qulonglong(info.st_ino) + (setting == "other journal")));
        if (setting == QLatin1String("pattern")) {
            qputenv("QT_MESSAGE_PATTERN", "%{type}|%{category}|%{message}");
            qSetMessagePattern(QStringLiteral("%{type}|%{category}|%{message}"));
        }
        TuvoMessageHandler::initTuvoLogging(true, nullptr);
        if (setting == QLatin1String("name"))
            TuvoMessageHandler::setProcessName(QStringLiteral("libtuvo_x"));
        if (setting == QLatin1String("category")) {
            QLoggingCategory category("tuvo.test", QtWarningMsg);
            category.setEnabled(QtDebugMsg, true);
            qCDebug(category) << "a detail";
        } else {
            qWarning() << "a warning";
        }
        TuvoMessageHandler::resetTuvoLogging();
        qunsetenv("JOURNAL_STREAM");
        qunsetenv("QT_MESSAGE_PATTERN");
        qSetMessagePattern(QStringLiteral("%{if-category}%{category}: %{endif}%{message}"));
        const QString line = capture.text().trimmed();
        QVERIFY2(QRegularExpression(expected).match(line).hasMatch(), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMessageHandler)
#include "tst_tuvomessagehandler.moc"
