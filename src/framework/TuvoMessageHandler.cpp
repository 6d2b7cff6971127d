#include "TuvoMessageHandler.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>

namespace {
QTextStream *s_stream = nullptr;
bool s_debugEnabled = true;

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
} // namespace

QString TuvoMessageHandler::formatLine(QtMsgType type, const QString &message)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
           + QStringLiteral(" [") + QLatin1String(levelName(type)) + QStringLiteral("] ")
           + message;
}

void TuvoMessageHandler::initTuvoLogging(bool enableDebug, QTextStream *stream)
{
    s_stream = stream;
    s_debugEnabled = enableDebug;
    // Debug lines have nowhere to go without the stream. Saying so on the default
    // category lets code on hot paths (qCDebug on it) skip building them at all.
    QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, enableDebug && stream);
    qInstallMessageHandler(&TuvoMessageHandler::handleMessage);
}

void TuvoMessageHandler::resetTuvoLogging()
{
    qInstallMessageHandler(nullptr);
    s_stream = nullptr;
    QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, true);
}

void TuvoMessageHandler::handleMessage(QtMsgType type, const QMessageLogContext &,
                                       const QString &message)
{
    const bool debugLevel = type == QtDebugMsg || type == QtInfoMsg;
    if (debugLevel && (!s_debugEnabled || !s_stream))
        return;
    const QString line = formatLine(type, message);
    if (!debugLevel) {
        const QByteArray bytes = line.toLocal8Bit() + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }
    if (s_stream) {
        *s_stream << line << '\n';
        s_stream->flush();
    }
}
