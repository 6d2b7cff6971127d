#include <TuvoMessageHandler.h>

#include <QBuffer>
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

    void lineFormat()
    {
        const QRegularExpressionMatch match =
            Stamp.match(TuvoMessageHandler::formatLine(QtCriticalMsg, QStringLiteral("boom")));
        QVERIFY(match.hasMatch());
        QCOMPARE(match.captured(1), QStringLiteral("critical"));
        QCOMPARE(match.captured(2), QStringLiteral("boom"));
    }

    void streamGetsEveryLineStderrOnlyWarnings()
    {
        QString logged;
        QTextStream stream(&logged);
        StderrCapture capture;
        TuvoMessageHandler::initTuvoLogging(true, &stream);
        qDebug() << "a debug line" << QStringLiteral("value");
        qWarning() << "a warning";
        qCritical() << "a critical";
        TuvoMessageHandler::resetTuvoLogging();
        const QString errors = capture.text();

        const QStringList lines = logged.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(Stamp.match(lines.at(0)).captured(1), QStringLiteral("debug"));
        QCOMPARE(Stamp.match(lines.at(0)).captured(2), QStringLiteral("a debug line \"value\""));
        QCOMPARE(Stamp.match(lines.at(1)).captured(1), QStringLiteral("warning"));
        QCOMPARE(Stamp.match(lines.at(2)).captured(1), QStringLiteral("critical"));

        QVERIFY(!errors.contains(QLatin1String("a debug line")));
        QVERIFY(errors.contains(QLatin1String("[warning] a warning")));
        QVERIFY(errors.contains(QLatin1String("[critical] a critical")));
    }

    void withoutStreamDebugIsDropped()
    {
        StderrCapture capture;
        TuvoMessageHandler::initTuvoLogging(true, nullptr);
        qDebug() << "quiet";
        qWarning() << "loud";
        TuvoMessageHandler::resetTuvoLogging();
        const QString errors = capture.text();
        QVERIFY(!errors.contains(QLatin1String("quiet")));
        QVERIFY(errors.contains(QLatin1String("loud")));
    }

    void debugCanBeSwitchedOff()
    {
        QString logged;
        QTextStream stream(&logged);
        StderrCapture capture;
        TuvoMessageHandler::initTuvoLogging(false, &stream);
        qDebug() << "quiet";
        qWarning() << "loud";
        TuvoMessageHandler::resetTuvoLogging();
        capture.text();
        QVERIFY(!logged.contains(QLatin1String("quiet")));
        QVERIFY(logged.contains(QLatin1String("loud")));
    }

    void defaultCategoryDebugFollowsTheStream_data()
    {
        QTest::addColumn<bool>("enableDebug");
        QTest::addColumn<bool>("withStream");
        QTest::addColumn<bool>("expected");
        QTest::newRow("debug with stream") << true << true << true;
        QTest::newRow("debug without stream") << true << false << false;
        QTest::newRow("no debug with stream") << false << true << false;
    }

    void defaultCategoryDebugFollowsTheStream()
    {
        QFETCH(bool, enableDebug);
        QFETCH(bool, withStream);
        QFETCH(bool, expected);
        QString logged;
        QTextStream stream(&logged);
        TuvoMessageHandler::initTuvoLogging(enableDebug, withStream ? &stream : nullptr);
        QCOMPARE(QLoggingCategory::defaultCategory()->isDebugEnabled(), expected);
        TuvoMessageHandler::resetTuvoLogging();
        QVERIFY(QLoggingCategory::defaultCategory()->isDebugEnabled());
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

    void eachLineReachesTheFileAtOnce()
    {
        QTemporaryFile file;
        QVERIFY(file.open());
        QTextStream stream(&file);
        TuvoMessageHandler::initTuvoLogging(true, &stream);
        qDebug() << "first";
        // Read through another handle before anything else happens.
        QFile reader(file.fileName());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(reader.readAll().contains("first"));
    }
};

QTEST_GUILESS_MAIN(tst_TuvoMessageHandler)
#include "tst_tuvomessagehandler.moc"
