// Measures, on the session bus it is given (run it through run.sh, which starts a
// private one), with the sample plugin's renderer in a real tuvo-dbus-wrapper:
// - the round trip of one get_status, get_position and get_current_media_info call
//   at a time (client -> wrapper -> renderer answer through the event loop -> reply);
// - a burst of get_status calls sent at once, all waiting for one renderer answer;
// - the wrapper's private anonymous memory before and after all of it.
#include "BenchProcessMemory.h"
#include "BenchStatistics.h"
#include "WrapperProcess.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {
const QString Service = QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer");
const QString Path = QStringLiteral("/com/oxbel/tuvo/renderer/sample_renderer");
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");
const auto percentile = BenchStatistics::percentile;

QDBusMessage rendererCall(const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, method);
    message.setArguments(arguments);
    return message;
}

// Milliseconds per call, one call at a time.
QList<double> roundTrips(QDBusConnection &bus, const QDBusMessage &message, int calls, bool *ok)
{
    QList<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < calls; ++i) {
        timer.start();
        const QDBusMessage reply = bus.call(message);
        times.append(double(timer.nsecsElapsed()) / 1e6);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(message.member()), qPrintable(reply.errorMessage()));
            *ok = false;
            break;
        }
    }
    return times;
}

void report(const char *what, const QList<double> &times)
{
    std::printf("%-32s median %.3f ms, p90 %.3f ms, max %.3f ms over %lld calls\n", what,
                percentile(times, 0.5), percentile(times, 0.9), percentile(times, 1.0),
                qlonglong(times.size()));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 2;
    }
    WrapperProcess wrapper;
    if (!wrapper.start({QStringLiteral(TUVO_SAMPLE_PLUGIN)}))
        return 1;
    if (!wrapper.activate(QStringLiteral("new_renderer"))) {
        std::fprintf(stderr, "the sample renderer did not appear\n");
        return 1;
    }
    bus.call(rendererCall(QStringLiteral("play_uri"), {QStringLiteral("sample:///track_1")}));
    QTest::qWait(300);
    const qint64 beforeKiB = BenchProcessMemory::anonymousKiB(wrapper.pid());

    bool ok = true;
    const QList<double> status = roundTrips(bus, rendererCall(QStringLiteral("get_status")), calls, &ok);
    const QList<double> position = roundTrips(bus, rendererCall(QStringLiteral("get_position")), calls, &ok);
    const QList<double> whole =
        roundTrips(bus, rendererCall(QStringLiteral("get_current_media_info"), {QString()}), calls, &ok);
    const QList<double> keyed = roundTrips(
        bus, rendererCall(QStringLiteral("get_current_media_info"), {QStringLiteral("title")}), calls, &ok);

    // A burst: every call is sent before the first reply comes back.
    const int burst = 1000;
    QList<double> bursts;
    for (int round = 0; round < 5 && ok; ++round) {
        QList<QDBusPendingCall> pending;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < burst; ++i)
            pending.append(bus.asyncCall(rendererCall(QStringLiteral("get_status"))));
        for (QDBusPendingCall &call : pending) {
            call.waitForFinished();
            ok = ok && !call.isError();
        }
        bursts.append(double(timer.nsecsElapsed()) / 1e6);
    }
    QTest::qWait(300);
    const qint64 afterKiB = BenchProcessMemory::anonymousKiB(wrapper.pid());
    wrapper.stop();
    if (!ok)
        return 1;

    report("get_status", status);
    report("get_position", position);
    report("get_current_media_info (all)", whole);
    report("get_current_media_info (key)", keyed);
    std::printf("%d get_status calls at once: median %.1f ms until all replied (%.1f us per call)\n", burst,
                percentile(bursts, 0.5), percentile(bursts, 0.5) * 1000.0 / burst);
    std::printf("wrapper private anonymous memory: %.2f MiB before, %.2f MiB after %d queries\n",
                beforeKiB / 1024.0, afterKiB / 1024.0, 4 * calls + 5 * burst);
    return 0;
}
