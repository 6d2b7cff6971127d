#include "WrapperProcess.h"

#include "BusSignalRecorder.h"
#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QTest>

#include <csignal>

WrapperProcess::WrapperProcess(QObject *parent)
    : QObject(parent)
    , m_environment(QProcessEnvironment::systemEnvironment())
{
    m_process.setProgram(TestPaths::wrapper());
    m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    connect(&m_process, &QProcess::readyReadStandardError, this,
            [this] { m_errors += m_process.readAllStandardError(); });
}

WrapperProcess::~WrapperProcess()
{
    kill();
}

void WrapperProcess::setEnv(const QString &name, const QString &value)
{
    m_environment.insert(name, value);
}

bool WrapperProcess::start(const QStringList &arguments, bool waitForHello, int timeoutMs)
{
    BusSignalRecorder hello(QString(), QStringLiteral("/com/oxbel/tuvo/plugin"),
                            QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("new_plugin"));
    m_process.setProcessEnvironment(m_environment);
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    if (!waitForHello)
        return true;
    QDeadlineTimer deadline(timeoutMs);
    while (hello.count() == 0 && isRunning() && !deadline.hasExpired())
        QTest::qWait(2);
    if (hello.count() == 0)
        return false;
    m_helloName = hello.firstArguments().value(0);
    return true;
}

bool WrapperProcess::waitForExit(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (isRunning() && !deadline.hasExpired())
        QTest::qWait(5);
    if (!isRunning())
        m_errors += m_process.readAllStandardError();
    return !isRunning();
}

void WrapperProcess::sendSignal(int signal)
{
    if (isRunning())
        ::kill(pid_t(m_process.processId()), signal);
}

void WrapperProcess::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString WrapperProcess::errorOutput()
{
    m_errors += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_errors);
}

bool WrapperProcess::waitForErrorOutput(const QString &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!errorOutput().contains(text) && !deadline.hasExpired())
        QTest::qWait(5);
    return errorOutput().contains(text);
}
