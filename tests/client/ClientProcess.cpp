#include "ClientProcess.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>

#include <csignal>

ClientProcess::ClientProcess(QObject *parent)
    : QObject(parent)
{
    m_process.setProgram(program());
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            [this] { m_out += m_process.readAllStandardOutput(); });
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { m_err += m_process.readAllStandardError(); });
}

ClientProcess::~ClientProcess()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ClientProcess::program()
{
    return QStringLiteral(TUVO_CLIENT_BINARY);
}

ClientProcess::Result ClientProcess::run(const QStringList &arguments, int timeoutMs)
{
    ClientProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(arguments);
    Result result;
    result.finished = process.waitForExit(timeoutMs);
    result.elapsedMs = clock.elapsed();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.output();
    result.err = process.errors();
    return result;
}

void ClientProcess::start(const QStringList &arguments)
{
    m_process.setArguments(arguments);
    m_process.start();
    m_process.waitForStarted(5000);
}

bool ClientProcess::waitForExit(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (isRunning() && !deadline.hasExpired())
        QTest::qWait(5);
    output();
    errors();
    return !isRunning();
}

bool ClientProcess::waitForOutput(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!output().contains(text) && !deadline.hasExpired())
        QTest::qWait(5);
    return output().contains(text);
}

bool ClientProcess::waitForError(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!errors().contains(text) && !deadline.hasExpired())
        QTest::qWait(5);
    return errors().contains(text);
}

void ClientProcess::sendSignal(int signal)
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), signal);
}

QString ClientProcess::output()
{
    m_out += m_process.readAllStandardOutput();
    return QString::fromUtf8(m_out);
}

QStringList ClientProcess::outputLines()
{
    return output().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString ClientProcess::errors()
{
    m_err += m_process.readAllStandardError();
    return QString::fromUtf8(m_err);
}
