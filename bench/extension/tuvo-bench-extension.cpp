// Measures, on the session bus it is given (run it through run.sh, which starts a
// private one), against the sample plugin's renderer in a real tuvo-dbus-wrapper:
// the round trip of get_extension_property and set_extension_property, the time from
// a write to its property_changed signal, how fast a burst of overlapping reads is
// answered, and the wrapper's anonymous memory before and after many reads.
#include "BenchProcessMemory.h"
#include "BusSignalRecorder.h"
#include "BenchStatistics.h"
#include "WrapperProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
const QString Renderer = QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer");
const QString RendererPath = QStringLiteral("/com/oxbel/tuvo/renderer/sample_renderer");
const QString Interface = QStringLiteral("com.oxbel.tuvo.extension");
const auto percentile = BenchStatistics::percentile;

QDBusMessage extensionCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Renderer, RendererPath, Interface, method);
    message.setArguments(arguments);
    return message;
}

// Microseconds per blocking call of \a method, \a runs times.
QList<double> roundTrips(QDBusConnection &bus, int runs, const QString &method,
                         const std::function<QVariantList(int)> &arguments)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QDBusMessage reply = bus.call(extensionCall(method, arguments(i)));
        times.append(double(timer.nsecsElapsed()) / 1e3);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(method), qPrintable(reply.errorMessage()));
            return {};
        }
    }
    return times;
}

void report(const char *what, const QList<double> &times)
{
    if (times.isEmpty())
        return;
    std::printf("%s over %lld calls: median %.0f us, p90 %.0f us, p99 %.0f us\n", what,
                qlonglong(times.size()), percentile(times, 0.5), percentile(times, 0.9),
                percentile(times, 0.99));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 2;
    }
    BusSignalRecorder changes(QString(), RendererPath, Interface, QStringLiteral("property_changed"), bus);
    WrapperProcess wrapper;
    if (!wrapper.start({QStringLiteral(TUVO_SAMPLE_PLUGIN)})) {
        std::fprintf(stderr, "no hello from the wrapper\n");
        return 1;
    }
    if (!wrapper.activate(QStringLiteral("new_renderer"))) {
        std::fprintf(stderr, "the sample renderer did not appear\n");
        return 1;
    }
    QTest::qWait(300);
    const qint64 before = BenchProcessMemory::anonymousKiB(wrapper.pid());

    const QVariantList volume{QStringLiteral("volume")};
    report("get_extension_property round trip",
           roundTrips(bus, runs, QStringLiteral("get_extension_property"), [&](int) { return volume; }));
    report("set_extension_property round trip",
           roundTrips(bus, runs, QStringLiteral("set_extension_property"), [](int i) {
               return QVariantList{QStringLiteral("volume"), QVariant::fromValue(QDBusVariant(i % 101))};
           }));

    // From sending a write to receiving its signal.
    QList<double> toSignal;
    for (int i = 0; i < runs / 4; ++i) {
        const int seen = changes.count();
        QElapsedTimer timer;
        timer.start();
        bus.asyncCall(extensionCall(QStringLiteral("set_extension_property"),
                                    {QStringLiteral("mute"), QVariant::fromValue(QDBusVariant(i % 2 == 0))}));
        if (!changes.waitForCount(seen + 1, 5000)) {
            std::fprintf(stderr, "no property_changed\n");
            break;
        }
        toSignal.append(double(timer.nsecsElapsed()) / 1e3);
    }
    report("write to property_changed", toSignal);
    QTest::qWait(300);
    const qint64 afterRoundTrips = BenchProcessMemory::anonymousKiB(wrapper.pid());

    // A burst of reads sent at once, all waiting together.
    const int burst = std::min(runs, 1000);
    QList<QDBusPendingCall> pending;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < burst; ++i)
        pending.append(bus.asyncCall(extensionCall(QStringLiteral("get_extension_property"), volume)));
    for (QDBusPendingCall &call : pending)
        call.waitForFinished();
    const double burstMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%d reads sent at once: all answered after %.1f ms (%.0f reads/s)\n", burst, burstMs,
                burst / (burstMs / 1000.0));

    QTest::qWait(300);
    const qint64 afterBurst = BenchProcessMemory::anonymousKiB(wrapper.pid());
    // Steady after the round trips means nothing is kept per call; the burst raises the
    // high-water mark of buffers that the allocator keeps.
    std::printf("wrapper anonymous memory: %.2f MiB before, %.2f MiB after %d round trips, "
                "%.2f MiB after the burst\n",
                before / 1024.0, afterRoundTrips / 1024.0, runs * 2 + runs / 4, afterBurst / 1024.0);

    wrapper.stop();
    return 0;
}
