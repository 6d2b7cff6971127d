// Measures the client side, on the session bus it is given (run it through run.sh,
// which starts a private one):
// - decoding the metadata blob of one browse result of 8 typical keys;
// - tuvo-client commands, start to exit, against the sample plugin in a real wrapper:
//   list, status, and a browse of the sample source's 12 tracks;
// - with the test plugin: one browse of many results streamed by the source as fast
//   as it can, first to a proxy-source object here that only answers (the wrapper's
//   own rate, the baseline), then through tuvo-client --json into /dev/null: the
//   rate as a ratio of the baseline, the CPU per result of the wrapper and of
//   tuvo-client, and the peak resident memory of the wrapper, the bus daemon and
//   tuvo-client. The results are held to the client's pace, so none of the three
//   should grow with the number of results (the target: under 32 MiB each, and the
//   client at 0.9x the baseline or better, also for 10 million results).
#include "BenchProcessMemory.h"
#include "BenchStatistics.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoCliJsonWriter.h>
#include <TuvoCliOutput.h>
#include <TuvoClientBrowseResult.h>
#include <TuvoClientValue.h>

#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
const auto pause = QTest::qWait;
const auto median = BenchStatistics::median;

long childrenPeakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

bool waitForName(QDBusConnection &bus, const QString &name)
{
    for (int i = 0; i < 2000; ++i) {
        if (bus.interface()->isServiceRegistered(name))
            return true;
        pause(5);
    }
    return false;
}

// Runs tuvo-client to its end; milliseconds, or -1 on failure. Counts output lines.
double runClient(const QStringList &arguments, qint64 *lines = nullptr)
{
    QProcess client;
    qint64 count = 0;
    QObject::connect(&client, &QProcess::readyReadStandardOutput, [&] {
        const QByteArray chunk = client.readAllStandardOutput();
        count += chunk.count('\n');
    });
    client.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral(TUVO_CLIENT_BINARY), arguments);
    QEventLoop loop;
    QObject::connect(&client, &QProcess::finished, &loop, &QEventLoop::quit);
    if (client.state() != QProcess::NotRunning)
        loop.exec();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    count += client.readAllStandardOutput().count('\n');
    if (lines)
        *lines = count;
    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0) {
        std::fprintf(stderr, "tuvo-client %s: exit %d: %s\n", qPrintable(arguments.join(QLatin1Char(' '))),
                     client.exitCode(), client.readAllStandardError().constData());
        return -1;
    }
    return ms;
}

void benchDecoding()
{
    const QVariantMap metadata{{QStringLiteral("album"), QStringLiteral("Harbour Lights")},
                               {QStringLiteral("artist"), QStringLiteral("The Tidewaters")},
                               {QStringLiteral("duration"), 212u},
                               {QStringLiteral("is_container"), false},
                               {QStringLiteral("rating"), 0.75},
                               {QStringLiteral("size"), qlonglong(4000000)},
                               {QStringLiteral("title"), QStringLiteral("Low Tide")},
                               {QStringLiteral("track_number"), 1}};
    const QByteArray blob = TuvoMetadataEncoder::encode(metadata);
    const int rounds = 200000;
    QElapsedTimer timer;
    timer.start();
    qsizetype keys = 0;
    for (int i = 0; i < rounds; ++i) {
        QVariantMap decoded;
        TuvoMetadataDecoder::decode(blob, &decoded);
        keys += decoded.size();
    }
    const double ns = double(timer.nsecsElapsed()) / rounds;
    std::printf("%-48s %.0f ns per result (%lld bytes, %lld keys)\n", "metadata blob decoding", ns,
                qlonglong(blob.size()), qlonglong(keys / rounds));

    // The JSON line of such a result: as tuvo-client writes it, into a reused buffer,
    // against decoding and a QJsonObject per result as it did before.
    TuvoBrowseResultDBusStruct record;
    record.objectId = QStringLiteral("item_42");
    record.metadata = blob;
    record.index = 42;
    record.remainingCount = 1000;
    QByteArray lines;
    timer.restart();
    for (int i = 0; i < rounds; ++i) {
        if (i % 10 == 0)
            lines.resize(0);
        TuvoCliJsonWriter::appendBrowseResult(lines, record);
    }
    const double direct = double(timer.nsecsElapsed()) / rounds;
    timer.restart();
    for (int i = 0; i < rounds / 10; ++i) {
        const TuvoClientBrowseResult result = TuvoClientBrowseResult::fromRecord(record);
        QJsonObject metadata, types;
        for (auto it = result.metadata.constBegin(); it != result.metadata.constEnd(); ++it) {
            metadata.insert(it.key(), TuvoCliOutput::jsonValue(it.value()));
            types.insert(it.key(), TuvoClientValue::typeName(it.value()));
        }
        const QJsonObject line{{QStringLiteral("index"), qint64(result.index)},
                               {QStringLiteral("remaining"), result.remainingCount},
                               {QStringLiteral("id"), result.objectId},
                               {QStringLiteral("metadata"), metadata},
                               {QStringLiteral("types"), types}};
        lines = QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    }
    const double viaObject = double(timer.nsecsElapsed()) / (rounds / 10);
    std::printf("%-48s %.0f ns per result, %.0f ns through a QJsonObject (%.1fx)\n", "JSON line of that result",
                direct, viaObject, viaObject / direct);
}

int benchCommands(QDBusConnection &bus, int runs)
{
    QProcess wrapper;
    wrapper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    wrapper.start(QStringLiteral(TUVO_WRAPPER_BINARY), {QStringLiteral(TUVO_SAMPLE_PLUGIN)});
    if (!wrapper.waitForStarted(10000) || !waitForName(bus, QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin")))
        return 1;
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_sample_plugin"),
                                            QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_sample_plugin"),
                                            QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
    if (!waitForName(bus, QStringLiteral("com.oxbel.tuvo.renderer.Sample-Plugin.sample_renderer"))) {
        wrapper.terminate();
        wrapper.waitForFinished(10000);
        return 1;
    }
    const QList<QStringList> commands = {
        {QStringLiteral("list")},
        {QStringLiteral("status"), QStringLiteral("sample_renderer")},
        {QStringLiteral("browse"), QStringLiteral("sample_source"), QStringLiteral("tracks"), QStringLiteral("--json")},
    };
    int status = 0;
    for (const QStringList &command : commands) {
        QList<double> times;
        for (int i = 0; i < runs; ++i) {
            const double ms = runClient(command);
            if (ms < 0) {
                status = 1;
                break;
            }
            times.append(ms);
        }
        std::printf("%-48s median %.1f ms, worst %.1f ms over %lld runs\n",
                    qPrintable(QStringLiteral("tuvo-client ") + command.join(QLatin1Char(' '))), median(times),
                    times.isEmpty() ? 0.0 : *std::max_element(times.begin(), times.end()), qlonglong(times.size()));
    }
    std::printf("%-48s %ld KiB\n", "tuvo-client peak resident memory", childrenPeakKiB());
    wrapper.terminate();
    wrapper.waitForFinished(10000);
    return status;
}

#ifdef TUVO_TEST_PLUGIN

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The peak resident memory of some processes, sampled while a run lasts.
struct MemoryPeaks {
    QList<qint64> pids;
    QList<qint64> peaks;
    QTimer timer;
    explicit MemoryPeaks(const QList<qint64> &processes)
        : pids(processes)
        , peaks(processes.size(), 0)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { sample(); });
        timer.start(20);
    }
    void sample()
    {
        for (qsizetype i = 0; i < pids.size(); ++i)
            peaks[i] = std::max(peaks[i], BenchProcessMemory::residentKiB(pids[i]));
    }
};

// A proxy-source object that does no work beyond answering: the wrapper's own pace.
class CountingProxy : public QDBusVirtualObject
{
public:
    qint64 calls = 0;
    qint64 expected = 0;
    QDBusMessage last;
    QEventLoop done;
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.isReplyRequired())
            connection.send(message.createReply());
        if (++calls == expected) {
            last = message;
            done.quit();
        }
        return true;
    }
};

struct Run {
    qint64 results = 0;
    double seconds = 0;
    double wrapperCpu = 0;
    double clientCpu = 0;
    double receiverCpu = 0; // this process, receiving for the wrapper alone
    QList<qint64> peaks; // wrapper, daemon, client
    bool ok = false;
};

// A call to \a member of the test source's control object.
QDBusMessage sourceControl(const QString &member)
{
    return QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.testplugin"), QStringLiteral("/com/oxbel/tuvo/test/source/s_bench"),
        QStringLiteral("com.oxbel.tuvo.test.Source"), member);
}

// The ids of the browses the test source has running.
QList<uint> runningBrowses(QDBusConnection &bus)
{
    return qdbus_cast<QList<uint>>(bus.call(sourceControl(QStringLiteral("browses"))).arguments().value(0));
}

// The id of the browse that tuvo-client started: the one not among \a known.
uint startedBrowse(QDBusConnection &bus, const QList<uint> &known)
{
    for (int i = 0; i < 5000; ++i) {
        for (uint id : runningBrowses(bus))
            if (!known.contains(id))
                return id;
        pause(2);
    }
    return 0;
}

bool stream(QDBusConnection &bus, uint id, int results)
{
    QDBusMessage message = sourceControl(QStringLiteral("stream_results"));
    message << id << results << 100;
    return bus.call(message).arguments().value(0).toBool();
}

void print(const char *what, const Run &run, const Run *baseline)
{
    std::printf("%-44s %lld results in %.2f s: %.0f results/s", what, run.results, run.seconds,
                run.results / run.seconds);
    if (baseline)
        std::printf(", %.2fx the wrapper alone", (run.results / run.seconds) / (baseline->results / baseline->seconds));
    std::printf("%s\n", run.ok ? "" : " (FAILED)");
    std::printf("%-44s wrapper %.2f us", "  CPU per result", run.wrapperCpu * 1e6 / run.results);
    if (baseline)
        std::printf(", tuvo-client %.2f us", run.clientCpu * 1e6 / run.results);
    else
        std::printf(", a QtDBus receiver that only answers %.2f us", run.receiverCpu * 1e6 / run.results);
    std::printf("\n%-44s wrapper %.1f MiB, dbus-daemon %.1f MiB", "  peak RSS", run.peaks.value(0) / 1024.0,
                run.peaks.value(1) / 1024.0);
    if (baseline)
        std::printf(", tuvo-client %.1f MiB", run.peaks.value(2) / 1024.0);
    std::printf("\n");
}

// The same long browse twice: to an object here that only answers (the wrapper's own
// rate), then through tuvo-client --json into /dev/null; the client's rate as a ratio
// of the first, CPU per result and peak memory of the processes involved.
int benchLongBrowse(QDBusConnection &bus, int results)
{
    QProcess wrapper;
    wrapper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"), QStringLiteral("source:s_bench:Bench:Bench Source"));
    wrapper.setProcessEnvironment(environment);
    wrapper.start(QStringLiteral(TUVO_WRAPPER_BINARY), {QStringLiteral(TUVO_TEST_PLUGIN)});
    if (!wrapper.waitForStarted(10000) || !waitForName(bus, QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin")))
        return 1;
    bus.call(QDBusMessage::createMethodCall(QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin"),
                                            QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_test_plugin"),
                                            QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
    if (!waitForName(bus, QStringLiteral("com.oxbel.tuvo.source.Bench.s_bench"))) {
        wrapper.terminate();
        wrapper.waitForFinished(10000);
        return 1;
    }
    const qint64 daemon = bus.interface()->servicePid(QStringLiteral("org.freedesktop.DBus")).value();
    const QList<qint64> pids{wrapper.processId(), daemon};

    // The wrapper alone, on a connection of its own so that this process's bus
    // connection stays free for the control calls.
    Run alone;
    {
        QDBusConnection sink = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("sink"));
        CountingProxy proxy;
        proxy.expected = (results + 9) / 10;
        sink.registerVirtualObject(QStringLiteral("/com/oxbel/tuvo/proxy_source/s_bench"), &proxy);
        QDBusMessage browse = QDBusMessage::createMethodCall(
            QStringLiteral("com.oxbel.tuvo.source.Bench.s_bench"), QStringLiteral("/com/oxbel/tuvo/source/s_bench"),
            QStringLiteral("com.oxbel.tuvo.source"), QStringLiteral("browse"));
        browse << QString() << QString() << QStringList() << 0u << 0u;
        const uint id = sink.call(browse).arguments().value(0).toUInt();
        MemoryPeaks peaks(pids);
        const double cpu = BenchProcessMemory::cpuSeconds(wrapper.processId());
        const double receiverCpu = BenchProcessMemory::cpuSeconds(QCoreApplication::applicationPid());
        QElapsedTimer timer;
        timer.start();
        if (id && stream(bus, id, results) && proxy.calls < proxy.expected)
            proxy.done.exec();
        alone.seconds = double(timer.nsecsElapsed()) / 1e9;
        alone.wrapperCpu = BenchProcessMemory::cpuSeconds(wrapper.processId()) - cpu;
        // What any QtDBus client pays to receive the calls, before it decodes a record.
        alone.receiverCpu = BenchProcessMemory::cpuSeconds(QCoreApplication::applicationPid()) - receiverCpu;
        peaks.sample();
        alone.peaks = peaks.peaks;
        alone.results = results;
        const auto records = qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(proxy.last.arguments().value(1));
        alone.ok = !records.isEmpty() && records.last().remainingCount == 0;
        sink.unregisterObject(QStringLiteral("/com/oxbel/tuvo/proxy_source/s_bench"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("sink"));
    print("browse to a proxy that only answers", alone, nullptr);

    Run through;
    {
        const QList<uint> known = runningBrowses(bus);
        QProcess client;
        client.setStandardOutputFile(QProcess::nullDevice());
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const double clientCpu = childrenCpuSeconds();
        client.start(QStringLiteral(TUVO_CLIENT_BINARY),
                     {QStringLiteral("browse"), QStringLiteral("s_bench"), QStringLiteral("--json"),
                      QStringLiteral("--timeout"), QStringLiteral("30")});
        client.waitForStarted();
        MemoryPeaks peaks(pids + QList<qint64>{client.processId()});
        const uint id = startedBrowse(bus, known);
        const double cpu = BenchProcessMemory::cpuSeconds(wrapper.processId());
        QElapsedTimer timer;
        timer.start();
        if (id && stream(bus, id, results)) {
            QEventLoop loop;
            QObject::connect(&client, &QProcess::finished, &loop, &QEventLoop::quit);
            if (client.state() != QProcess::NotRunning)
                loop.exec();
        } else {
            client.kill();
            client.waitForFinished();
        }
        through.seconds = double(timer.nsecsElapsed()) / 1e9;
        through.wrapperCpu = BenchProcessMemory::cpuSeconds(wrapper.processId()) - cpu;
        through.clientCpu = childrenCpuSeconds() - clientCpu;
        through.peaks = peaks.peaks;
        through.results = results;
        through.ok = client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0;
    }
    print("browse through tuvo-client --json > /dev/null", through, &alone);
    wrapper.terminate();
    wrapper.waitForFinished(10000);
    return alone.ok && through.ok ? 0 : 1;
}
#endif
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(3, atoi(argv[1])) : 20;
    const int results = argc > 2 ? std::max(100, atoi(argv[2])) : 100000;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 2;
    }
    benchDecoding();
    int status = benchCommands(bus, runs);
#ifdef TUVO_TEST_PLUGIN
    status |= benchLongBrowse(bus, results);
#else
    Q_UNUSED(results);
#endif
    return status;
}
