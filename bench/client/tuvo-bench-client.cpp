// Measures the client side, on the session bus it is given (run it through run.sh,
// which starts a private one):
// - decoding the metadata blob of one browse result of 8 typical keys;
// - tuvo-client commands, start to exit, against the sample plugin in a real wrapper:
//   list, status, and a browse of the sample source's 12 tracks;
// - with the test plugin: one browse of many results streamed by the source as fast
//   as it can, through the wrapper into tuvo-client --json, and tuvo-client's peak
//   memory. tuvo-client keeps nothing per result; what grows with a source that
//   outpaces it is the bus library's queue of messages not yet handled, since the
//   results carry no flow control.
#include "BenchStatistics.h"

#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

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

    const long before = childrenPeakKiB();
    QProcess client;
    qint64 lines = 0;
    QObject::connect(&client, &QProcess::readyReadStandardOutput,
                     [&] { lines += client.readAllStandardOutput().count('\n'); });
    QElapsedTimer timer;
    timer.start();
    client.start(QStringLiteral(TUVO_CLIENT_BINARY),
                 {QStringLiteral("browse"), QStringLiteral("s_bench"), QStringLiteral("--json"),
                  QStringLiteral("--timeout"), QStringLiteral("30")});
    const QDBusMessage browses = QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.testplugin"), QStringLiteral("/com/oxbel/tuvo/test/source/s_bench"),
        QStringLiteral("com.oxbel.tuvo.test.Source"), QStringLiteral("browses"));
    QList<uint> ids;
    for (int i = 0; i < 2000 && ids.isEmpty(); ++i) {
        ids = qdbus_cast<QList<uint>>(bus.call(browses).arguments().value(0));
        if (ids.isEmpty())
            pause(2);
    }
    if (ids.isEmpty()) {
        std::fprintf(stderr, "the browse did not reach the test source\n");
        client.kill();
        client.waitForFinished(5000);
        wrapper.terminate();
        wrapper.waitForFinished(10000);
        return 1;
    }
    QDBusMessage stream = QDBusMessage::createMethodCall(
        QStringLiteral("com.oxbel.tuvo.testplugin"), QStringLiteral("/com/oxbel/tuvo/test/source/s_bench"),
        QStringLiteral("com.oxbel.tuvo.test.Source"), QStringLiteral("stream_results"));
    stream << ids.first() << results << 100;
    bus.call(stream);
    QEventLoop loop;
    QObject::connect(&client, &QProcess::finished, &loop, &QEventLoop::quit);
    if (client.state() != QProcess::NotRunning)
        loop.exec();
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    lines += client.readAllStandardOutput().count('\n');
    const long after = childrenPeakKiB();
    std::printf("%-48s %lld results in %.2f s (%.0f results/s), exit %d\n", "browse streamed into tuvo-client --json",
                lines, seconds, lines / seconds, client.exitCode());
    std::printf("%-48s %ld KiB\n", "tuvo-client peak memory in that browse", after > before ? after : before);
    wrapper.terminate();
    wrapper.waitForFinished(10000);
    return lines == results && client.exitCode() == 0 ? 0 : 1;
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
