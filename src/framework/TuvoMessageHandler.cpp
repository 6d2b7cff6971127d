#include "TuvoMessageHandler.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <sys/stat.h>

namespace {
QTextStream *s_stream = nullptr;
bool s_debugEnabled = true;
bool s_journal = false;
bool s_pattern = false;
QString s_processTag;

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "unknown";
}

bool isDefaultCategory(const char *category)
{
    return !category || qstrcmp(category, "default") == 0;
}
} // namespace

QString TuvoMessageHandler::formatLine(QtMsgType type, const QString &message)
{
    return formatLine(type, nullptr, message);
}

QString TuvoMessageHandler::formatLine(QtMsgType type, const char *category, const QString &message)
{
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                   + QStringLiteral(" [") + QLatin1String(levelName(type)) + QStringLiteral("] ");
    if (!isDefaultCategory(category))
        line += QLatin1String(category) + QStringLiteral(": ");
    return line + message;
}

int TuvoMessageHandler::syslogPriority(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return 7;
    case QtInfoMsg:
        return 6;
    case QtWarningMsg:
        return 4;
    case QtCriticalMsg:
        return 3;
    case QtFatalMsg:
        return 2;
    }
    return 6;
}

bool TuvoMessageHandler::isJournalStream(const QByteArray &journalStream, int fd)
{
    // The service manager names the stream it connected; a child whose standard
    // error was redirected elsewhere inherits the variable but not the stream.
    const QList<QByteArray> parts = journalStream.split(':');
    if (parts.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = parts.at(0).toULongLong(&deviceOk);
    const qulonglong inode = parts.at(1).toULongLong(&inodeOk);
    struct stat info;
    if (!deviceOk || !inodeOk || ::fstat(fd, &info) != 0)
        return false;
    return qulonglong(info.st_dev) == device && qulonglong(info.st_ino) == inode;
}

void TuvoMessageHandler::setProcessName(const QString &name)
{
    s_processTag = name + QLatin1Char('[') + QString::number(QCoreApplication::applicationPid())
                   + QStringLiteral("]: ");
}

void TuvoMessageHandler::initTuvoLogging(bool enableDebug, QTextStream *stream)
{
    s_stream = stream;
    s_debugEnabled = enableDebug;
    s_journal = isJournalStream(qgetenv("JOURNAL_STREAM"), fileno(stderr));
    s_pattern = qEnvironmentVariableIsSet("QT_MESSAGE_PATTERN");
    // Debug lines have nowhere to go without the stream. Saying so on the default
    // category lets code on hot paths (qCDebug on it) skip building them at all.
    QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, enableDebug && stream);
    qInstallMessageHandler(&TuvoMessageHandler::handleMessage);
}

void TuvoMessageHandler::resetTuvoLogging()
{
    qInstallMessageHandler(nullptr);
    s_stream = nullptr;
    s_processTag.clear();
    QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, true);
}

void TuvoMessageHandler::handleMessage(QtMsgType type, const QMessageLogContext &context,
                                       const QString &message)
{
    const bool debugLevel = type == QtDebugMsg || type == QtInfoMsg;
    // Categories of our own are quiet below warning unless the logging rules say otherwise.
    const bool askedFor = !isDefaultCategory(context.category);
    if (debugLevel && !askedFor && (!s_debugEnabled || !s_stream))
        return;
    const QString line = formatLine(type, context.category, message);
    if (!debugLevel || askedFor) {
        QString errorLine = s_pattern ? qFormatLogMessage(type, context, message)
                                      : s_processTag + line;
        if (s_journal)
            errorLine.prepend(QLatin1Char('<') + QString::number(syslogPriority(type)) + QLatin1Char('>'));
        const QByteArray bytes = errorLine.toLocal8Bit() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }
    if (s_stream && (!debugLevel || s_debugEnabled)) {
        *s_stream << line << '\n';
        s_stream->flush();
    }
}
