// Measures, on the session bus it is given (run it through run.sh, which starts a
// private one): the time from starting tuvo-dbus-wrapper to its "new_plugin" hello,
// and the wrapper's private anonymous memory before and after a client activates the
// sample plugin.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {
class Waiter : public QObject
{
    Q_OBJECT
public:
    int count = 0;
    QEventLoop *loop = nullptr;
    int wanted = 1;
public Q_SLOTS:
    void handle(const QDBusMessage &)
    {
        if (++count >= wanted && loop)
            loop->quit();
    }
};

bool waitFor(Waiter &waiter, int wanted, int timeoutMs)
{
    QEventLoop loop;
    waiter.wanted = wanted;
    waiter.loop = &loop;
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (waiter.count < wanted)
        loop.exec();
    waiter.loop = nullptr;
    return waiter.count >= wanted;
}

// kB of anonymous memory of a process (heap, stacks, anonymous mappings).
long anonymousKiB(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("Anonymous:"))
            return line.mid(10).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const int index = std::clamp(int(p * (values.size() - 1) + 0.5), 0, int(values.size()) - 1);
    return values.at(index);
}

void stop(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGTERM);
    process.waitForFinished(5000);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 2;
    }
    Waiter hellos;
    bus.connect(QString(), QStringLiteral("/com/oxbel/tuvo/plugin"), QStringLiteral("com.oxbel.tuvo.plugin"),
                QStringLiteral("new_plugin"), &hellos, SLOT(handle(QDBusMessage)));
    Waiter renderers;
    bus.connect(QString(), QStringLiteral("/com/oxbel/tuvo/registry"), QStringLiteral("com.oxbel.tuvo.registry"),
                QStringLiteral("new_renderer"), &renderers, SLOT(handle(QDBusMessage)));

    const QString wrapper = QStringLiteral(TUVO_WRAPPER_BINARY);
    const QString plugin = QStringLiteral(TUVO_SAMPLE_PLUGIN);

    QList<double> startup;
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const int before = hellos.count;
        QElapsedTimer timer;
        timer.start();
        process.start(wrapper, {plugin});
        if (!waitFor(hellos, before + 1, 10000)) {
            std::fprintf(stderr, "no hello from the wrapper\n");
            return 1;
        }
        startup.append(double(timer.nsecsElapsed()) / 1e6);
        stop(process);
    }

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const int before = hellos.count;
    process.start(wrapper, {plugin});
    waitFor(hellos, before + 1, 10000);
    // Let start-up work that follows the hello settle.
    {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const long idleKiB = anonymousKiB(process.processId());
    QDBusMessage activate = QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"),
        QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"),
        QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate"));
    bus.call(activate);
    waitFor(renderers, 1, 10000);
    {
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const long activeKiB = anonymousKiB(process.processId());
    stop(process);

    std::printf("start-up to \"new_plugin\" over %d runs: median %.1f ms, p10 %.1f ms, p90 %.1f ms, "
                "min %.1f ms, max %.1f ms (target: median under 50 ms)\n",
                runs, percentile(startup, 0.5), percentile(startup, 0.1), percentile(startup, 0.9),
                percentile(startup, 0.0), percentile(startup, 1.0));
    std::printf("private anonymous memory: %.2f MiB before activation (target under 2 MiB), "
                "%.2f MiB with the sample plugin active (target under 4 MiB)\n",
                idleKiB / 1024.0, activeKiB / 1024.0);
    return 0;
}

#include "tuvo-bench-startup.moc"
