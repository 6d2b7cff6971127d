#include "BenchWrapper.h"

#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>

#include <csignal>

BenchWrapper::BenchWrapper(QDBusConnection bus, const QString &wrapperBinary,
                           const QString &pluginPath)
    : bus(bus)
    , binary(wrapperBinary)
    , plugin(pluginPath)
    , hellos(bus, QStringLiteral("/com/oxbel/tuvo/plugin"), QStringLiteral("com.oxbel.tuvo.plugin"),
             QStringLiteral("new_plugin"))
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

BenchWrapper::~BenchWrapper()
{
    stop();
}

bool BenchWrapper::start(int timeoutMs)
{
    const int before = hellos.count();
    process.start(binary, {plugin});
    return hellos.waitFor(before + 1, timeoutMs);
}

bool BenchWrapper::activate(const QString &pluginName, const QString &hello, int timeoutMs)
{
    BenchSignalCounter published(bus, QStringLiteral("/com/oxbel/tuvo/registry"),
                                 QStringLiteral("com.oxbel.tuvo.registry"), hello);
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.plugin.") + pluginName,
        QStringLiteral("/com/oxbel/tuvo/plugin/") + pluginName, QStringLiteral("com.oxbel.tuvo.plugin"),
        QStringLiteral("activate")));
    return reply.type() == QDBusMessage::ReplyMessage && published.waitFor(1, timeoutMs);
}

void BenchWrapper::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

void BenchWrapper::settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
