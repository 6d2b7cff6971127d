#include "WrapperProcess.h"

#include "BusSignalRecorder.h"
#include "TestPaths.h"

#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <csignal>

WrapperProcess::WrapperProcess(QObject *parent)
    : QObject(parent)
    , m_environment(QProcessEnvironment::systemEnvironment())
    , m_hellos(new BusSignalRecorder(QString(), QStringLiteral("/com/oxbel/tuvo/plugin"),
                                     QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("new_plugin"),
                                     QDBusConnection::sessionBus(), this))
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
    const int before = m_hellos->count();
    m_process.setProcessEnvironment(m_environment);
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    if (!waitForHello)
        return true;
    // Woken by the hello itself, so that start-up can be timed.
    QEventLoop loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    connect(m_hellos, &BusSignalRecorder::received, &loop, &QEventLoop::quit);
    connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
    if (m_hellos->count() == before && isRunning())
        loop.exec();
    if (m_hellos->count() == before)
        return false;
    m_helloName = m_hellos->firstArguments().value(before);
    return true;
}

bool WrapperProcess::activate(const QString &hello, int timeoutMs)
{
    BusSignalRecorder published(QString(), QStringLiteral("/com/oxbel/tuvo/registry"),
                                QStringLiteral("com.oxbel.tuvo.registry"), hello);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.plugin.") + m_helloName, QStringLiteral("/com/oxbel/tuvo/plugin/") + m_helloName,
        QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
    return reply.type() == QDBusMessage::ReplyMessage && published.waitForCount(1, timeoutMs);
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

void WrapperProcess::stop()
{
    sendSignal(SIGTERM);
    if (isRunning() && !m_process.waitForFinished(5000))
        kill();
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
