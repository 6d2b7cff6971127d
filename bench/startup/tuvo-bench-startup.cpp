// Measures, on the session bus it is given (run it through run.sh, which starts a
// private one): the time from starting tuvo-dbus-wrapper to its "new_plugin" hello,
// and the wrapper's private anonymous memory before and after a client activates the
// sample plugin.
#include "BenchProcessMemory.h"
#include "BenchStatistics.h"
#include "WrapperProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 2;
    }
    const QString plugin = QStringLiteral(TUVO_SAMPLE_PLUGIN);

    QList<double> startup;
    for (int i = 0; i < runs; ++i) {
        WrapperProcess wrapper;
        QElapsedTimer timer;
        timer.start();
        if (!wrapper.start({plugin})) {
            std::fprintf(stderr, "no hello from the wrapper\n");
            return 1;
        }
        startup.append(double(timer.nsecsElapsed()) / 1e6);
        wrapper.stop();
    }

    WrapperProcess wrapper;
    if (!wrapper.start({plugin}))
        return 1;
    // Let start-up work that follows the hello settle.
    QTest::qWait(300);
    const qint64 idleKiB = BenchProcessMemory::anonymousKiB(wrapper.pid());
    if (!wrapper.activate(QStringLiteral("new_renderer"))) {
        std::fprintf(stderr, "the sample renderer did not appear\n");
        return 1;
    }
    QTest::qWait(300);
    const qint64 activeKiB = BenchProcessMemory::anonymousKiB(wrapper.pid());
    wrapper.stop();

    const auto percentile = BenchStatistics::percentile;
    std::printf("start-up to \"new_plugin\" over %d runs: median %.1f ms, p10 %.1f ms, p90 %.1f ms, "
                "min %.1f ms, max %.1f ms (target: median under 50 ms)\n",
                runs, percentile(startup, 0.5), percentile(startup, 0.1), percentile(startup, 0.9),
                percentile(startup, 0.0), percentile(startup, 1.0));
    std::printf("private anonymous memory: %.2f MiB before activation (target under 2 MiB), "
                "%.2f MiB with the sample plugin active (target under 4 MiB)\n",
                idleKiB / 1024.0, activeKiB / 1024.0);
    return 0;
}
