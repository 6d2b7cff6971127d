// Measures, on the session bus it is given (run it through run.sh, which starts a
// private one), with the sample plugin's renderer in a real tuvo-dbus-wrapper:
// - the round trip of one get_status, get_position and get_current_media_info call
//   at a time (client -> wrapper -> renderer answer through the event loop -> reply);
// - a burst of get_status calls sent at once, all waiting for one renderer answer;
// - the wrapper's private anonymous memory before and after all of it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>

namespace {
const QString Service = QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer");
const QString Path = QStringLiteral("/com/oxbel/tuvo/renderer/sample_renderer");
const QString Interface = QStringLiteral("com.oxbel.tuvo.renderer");

class Waiter : public QObject
{
    Q_OBJECT
public:
    int count = 0;
    QEventLoop *loop = nullptr;
public Q_SLOTS:
    void handle(const QDBusMessage &)
    {
        ++count;
        if (loop)
            loop->quit();
    }
};

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

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
    Waiter renderers;
    bus.connect(QString(), QStringLiteral("/com/oxbel/tuvo/registry"), QStringLiteral("com.oxbel.tuvo.registry"),
                QStringLiteral("new_renderer"), &renderers, SLOT(handle(QDBusMessage)));

    QProcess wrapper;
    wrapper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wrapper.start(QStringLiteral(TUVO_WRAPPER_BINARY), {QStringLiteral(TUVO_SAMPLE_PLUGIN)});
    if (!wrapper.waitForStarted(10000))
        return 1;
    // Wait for the control name, then activate and wait for the renderer's hello.
    for (int i = 0; i < 1000 && !bus.interface()->isServiceRegistered(
                                    QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin")); ++i)
        pause(5);
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"),
                                            QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"),
                                            QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
    if (renderers.count == 0) {
        QEventLoop loop;
        renderers.loop = &loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        renderers.loop = nullptr;
    }
    if (renderers.count == 0) {
        std::fprintf(stderr, "the sample renderer did not appear\n");
        return 1;
    }
    bus.call(rendererCall(QStringLiteral("play_uri"), {QStringLiteral("sample:///track_1")}));
    pause(300);
    const long beforeKiB = anonymousKiB(wrapper.processId());

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
    pause(300);
    const long afterKiB = anonymousKiB(wrapper.processId());
    ::kill(pid_t(wrapper.processId()), SIGTERM);
    wrapper.waitForFinished(5000);
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

#include "tuvo-bench-renderer.moc"
