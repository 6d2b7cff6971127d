// Browse throughput, end to end: the wrapper with the test plugin streams N results of
// eight metadata keys to this process's proxy-source object, and a minimal Qt sender
// sends the same a(iusaysus) batches of 10 to the same object over the same bus, for
// the bus's raw capacity in this very run. Run it through run.sh, which starts a
// private session bus.
//
//   tuvo-bench-browse [--sizes 10000,100000] [--rounds 5] [--slice 100]
//   tuvo-bench-browse --raw-sender        (the minimal sender; started by the benchmark)
#include "TestStreamItem.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoMetadataEncoder.h>

#include "BenchProcessMemory.h"
#include "BenchStatistics.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>

namespace {
const QString RawSenderService = QStringLiteral("com.oxbel.tuvo.bench.rawsender");
const QString RawSenderPath = QStringLiteral("/rawsender");
const QString RawSenderInterface = QStringLiteral("com.oxbel.tuvo.bench.RawSender");
const QString SourceUuid = QStringLiteral("bench_source");
const QString ProxyPath = QStringLiteral("/com/oxbel/tuvo/proxy_source/") + SourceUuid;
const QString PluginService = QStringLiteral("com.oxbel.tuvo.plugin.libtuvo_test_plugin");
const QString PluginPath = QStringLiteral("/com/oxbel/tuvo/plugin/libtuvo_test_plugin");
const QString SourceService = QStringLiteral("com.oxbel.tuvo.source.Bench.") + SourceUuid;
const QString SourcePath = QStringLiteral("/com/oxbel/tuvo/source/") + SourceUuid;
const QString TestPluginService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString SourceControlPath = QStringLiteral("/com/oxbel/tuvo/test/source/") + SourceUuid;
constexpr int Items = 64;
constexpr int BatchSize = 10;

// The minimal sender: prebuilt records, batches of 10, sent as fast as it can,
// `slice` records per turn of the event loop, like the test plugin's stream.
class RawSender : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.bench.RawSender")
public:
    RawSender()
    {
        for (int i = 0; i < Items; ++i) {
            TuvoBrowseResultDBusStruct record;
            record.objectId = TestStreamItem::objectId(i);
            record.metadata = TuvoMetadataEncoder::encode(TestStreamItem::metaData(i));
            m_records.append(record);
        }
        m_listTypeId = TuvoBrowseResultDBusStruct::registerDBusTypes();
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, &RawSender::sendSlice);
    }

public Q_SLOTS:
    void start(const QString &destination, int count, int slice)
    {
        m_destination = destination;
        m_total = count;
        m_sent = 0;
        m_slice = slice > 0 ? slice : count;
        m_batch.clear();
        m_timer.start();
    }
    void quit() { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }

private Q_SLOTS:
    void sendSlice()
    {
        const int end = std::min(m_sent + m_slice, m_total);
        for (int i = m_sent; i < end; ++i) {
            TuvoBrowseResultDBusStruct record = m_records.at(i % Items);
            record.index = uint(i);
            record.remainingCount = m_total - i - 1;
            m_batch.append(record);
            if (m_batch.size() == BatchSize || record.remainingCount == 0) {
                QDBusMessage message = QDBusMessage::createMethodCall(
                    m_destination, ProxyPath, QStringLiteral("com.oxbel.tuvo.proxy_source"),
                    QStringLiteral("browse_result"));
                const QList<TuvoBrowseResultDBusStruct> batch = std::exchange(m_batch, {});
                message.setArguments({QVariant(uint(1)), QVariant(QMetaType(m_listTypeId), &batch)});
                QDBusConnection::sessionBus().send(message);
            }
        }
        m_sent = end;
        if (m_sent >= m_total)
            m_timer.stop();
    }

private:
    QList<TuvoBrowseResultDBusStruct> m_records;
    QList<TuvoBrowseResultDBusStruct> m_batch;
    QString m_destination;
    int m_listTypeId = 0;
    int m_total = 0;
    int m_sent = 0;
    int m_slice = 0;
    QTimer m_timer;
};

// The client's proxy-source object: counts what arrives, as a Qt client would receive it.
class ProxySource : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.proxy_source")
public:
    qint64 records = 0;
    qint64 messages = 0;
    bool finished = false;
    QString error;
    QEventLoop *loop = nullptr;

    void reset()
    {
        records = messages = 0;
        finished = false;
        error.clear();
    }

public Q_SLOTS:
    void browse_result(uint, const QList<TuvoBrowseResultDBusStruct> &batch)
    {
        ++messages;
        records += batch.size();
        if (batch.isEmpty())
            return;
        const TuvoBrowseResultDBusStruct &last = batch.last();
        if (last.errorCode)
            error = last.errorMessage;
        if (last.remainingCount == 0 || last.errorCode) {
            finished = true;
            if (loop)
                loop->quit();
        }
    }
};

struct Sample {
    double seconds = 0;
    qint64 records = 0;
    qint64 messages = 0;
    double cpuNsPerResult = 0;
    qint64 baseKiB = 0;
    qint64 peakKiB = 0;
    qint64 afterKiB = 0;
};

// CPU time of all threads of a process so far, in nanoseconds.
qint64 cpuNs(qint64 pid)
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList tids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &tid : tids) {
        QFile file(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (file.open(QIODevice::ReadOnly))
            total += file.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

bool hasOwner(const QString &name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name).value();
}

QDBusMessage call(const QString &service, const QString &path, const QString &interface,
                  const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 30000);
}

// Runs one transfer: \a start begins it; returns when the last record has arrived.
bool runTransfer(ProxySource &proxy, qint64 pid, const std::function<bool()> &start, Sample &sample)
{
    proxy.reset();
    QEventLoop loop;
    proxy.loop = &loop;
    sample.baseKiB = sample.peakKiB = pid ? BenchProcessMemory::privateKiB(pid) : 0;
    QTimer memory;
    if (pid) {
        QObject::connect(&memory, &QTimer::timeout, &memory,
                         [&] { sample.peakKiB = std::max(sample.peakKiB, BenchProcessMemory::privateKiB(pid)); });
        memory.start(10);
    }
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    const qint64 cpuBefore = pid ? cpuNs(pid) : 0;
    QElapsedTimer clock;
    clock.start();
    if (!start())
        return false;
    if (!proxy.finished)
        loop.exec();
    sample.seconds = double(clock.nsecsElapsed()) / 1e9;
    proxy.loop = nullptr;
    memory.stop();
    if (pid) {
        sample.cpuNsPerResult = double(cpuNs(pid) - cpuBefore) / double(std::max<qint64>(1, proxy.records));
        sample.afterKiB = BenchProcessMemory::privateKiB(pid);
        sample.peakKiB = std::max(sample.peakKiB, sample.afterKiB);
    }
    sample.records = proxy.records;
    sample.messages = proxy.messages;
    return proxy.finished && proxy.error.isEmpty();
}

const auto median = BenchStatistics::median;

int runRawSender(QCoreApplication &app)
{
    RawSender sender;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(RawSenderPath, &sender, QDBusConnection::ExportAllSlots)
        || !bus.registerService(RawSenderService))
        return 2;
    return app.exec();
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000))
        process.kill();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--raw-sender")))
        return runRawSender(app);

    QList<int> sizes{10000, 100000};
    int rounds = 5;
    int slice = 100;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString &size : args.at(i + 1).split(QLatin1Char(',')))
                sizes.append(size.toInt());
        } else if (args.at(i) == QLatin1String("--rounds")) {
            rounds = std::max(1, args.at(i + 1).toInt());
        } else if (args.at(i) == QLatin1String("--slice")) {
            slice = args.at(i + 1).toInt();
        }
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus: run through bench/browse/run.sh\n");
        return 2;
    }
    TuvoBrowseResultDBusStruct::registerDBusTypes();
    ProxySource proxy;
    bus.registerObject(ProxyPath, &proxy, QDBusConnection::ExportAllSlots);

    QProcess rawSender;
    rawSender.setProcessChannelMode(QProcess::ForwardedChannels);
    rawSender.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--raw-sender")});
    if (!waitUntil([] { return hasOwner(RawSenderService); }, 10000)) {
        std::fprintf(stderr, "the raw sender did not start\n");
        return 1;
    }

    QTemporaryDir home;
    QProcess wrapper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("TUVO_TEST_PLUGIN_OBJECTS"),
                       QStringLiteral("source:") + SourceUuid + QStringLiteral(":Bench:Bench Source"));
    wrapper.setProcessEnvironment(environment);
    wrapper.setProcessChannelMode(QProcess::ForwardedChannels);
    wrapper.start(QStringLiteral(TUVO_WRAPPER_BINARY), {QStringLiteral(TUVO_TEST_PLUGIN)});
    if (!waitUntil([] { return hasOwner(PluginService); }, 10000)) {
        std::fprintf(stderr, "the wrapper did not start\n");
        return 1;
    }
    call(PluginService, PluginPath, QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate"));
    if (!waitUntil([] { return hasOwner(SourceService); }, 10000)) {
        std::fprintf(stderr, "the wrapper did not publish the test source\n");
        return 1;
    }
    const qint64 wrapperPid = wrapper.processId();

    const QByteArray pace = slice > 0 ? QByteArray::number(slice) + " results per event-loop turn"
                                      : QByteArray("all results in one go");
    std::printf("browse of N results with 8 metadata keys each, %d rounds per size (medians), "
                "source delivering %s\n\n",
                rounds, pace.constData());
    bool ok = true;
    for (int size : sizes) {
        QList<double> rawRates, wrapperRates, messageRates, ratios, cpu, rawCpu;
        qint64 base = 0, peak = 0, after = 0, rawGrowth = 0;
        for (int round = 0; round < rounds && ok; ++round) {
            // Alternate which goes first, so that neither always meets a warmer bus.
            Sample raw;
            Sample wrapped;
            const auto runRaw = [&] {
                return runTransfer(proxy, rawSender.processId(), [&] {
                    return call(RawSenderService, RawSenderPath, RawSenderInterface, QStringLiteral("start"),
                                {bus.baseService(), size, slice}).type() == QDBusMessage::ReplyMessage;
                }, raw);
            };
            const auto runWrapper = [&] {
                const QDBusMessage browse = call(SourceService, SourcePath, QStringLiteral("com.oxbel.tuvo.source"),
                                                 QStringLiteral("browse"),
                                                 {QString(), QString(), QStringList(), 0u, 0u});
                const uint browseId = browse.arguments().value(0).toUInt();
                return browseId != 0 && runTransfer(proxy, wrapperPid, [&] {
                    return call(TestPluginService, SourceControlPath, QStringLiteral("com.oxbel.tuvo.test.Source"),
                                QStringLiteral("stream_results"), {browseId, size, slice})
                        .arguments().value(0).toBool();
                }, wrapped);
            };
            ok = round % 2 == 0 ? runRaw() && runWrapper() : runWrapper() && runRaw();
            if (!ok || raw.records != size || wrapped.records != size) {
                std::fprintf(stderr, "transfer of %d records failed (raw %lld, wrapper %lld)\n", size,
                             static_cast<long long>(raw.records), static_cast<long long>(wrapped.records));
                ok = false;
                break;
            }
            const double rawRate = size / raw.seconds;
            const double wrapperRate = size / wrapped.seconds;
            rawRates.append(rawRate);
            wrapperRates.append(wrapperRate);
            messageRates.append(wrapped.messages / wrapped.seconds);
            ratios.append(wrapperRate / rawRate);
            cpu.append(wrapped.cpuNsPerResult / 1000.0);
            rawCpu.append(raw.cpuNsPerResult / 1000.0);
            rawGrowth = std::max(rawGrowth, raw.peakKiB - raw.baseKiB);
            base = round == 0 ? wrapped.baseKiB : std::min(base, wrapped.baseKiB);
            peak = std::max(peak, wrapped.peakKiB);
            after = std::max(after, wrapped.afterKiB);
        }
        if (!ok)
            break;
        std::printf("N = %d\n", size);
        std::printf("  raw bus capacity (minimal Qt sender):  %9.0f results/s, sender CPU %.2f us per result, "
                    "its memory grew by up to %.1f MiB\n",
                    median(rawRates), median(rawCpu), rawGrowth / 1024.0);
        std::printf("  through the wrapper:                   %9.0f results/s, %7.0f messages/s\n",
                    median(wrapperRates), median(messageRates));
        std::printf("  wrapper / raw, same round:             %9.0f %% (target at least 70 %%, aim 90 %%)\n",
                    100.0 * median(ratios));
        std::printf("  wrapper CPU time per result:           %9.2f us (all threads)\n", median(cpu));
        std::printf("  wrapper private memory:                %9.1f MiB before, %.1f MiB peak, %.1f MiB after\n\n",
                    base / 1024.0, peak / 1024.0, after / 1024.0);
    }

    call(RawSenderService, RawSenderPath, RawSenderInterface, QStringLiteral("quit"));
    rawSender.waitForFinished(5000);
    stop(rawSender);
    stop(wrapper);
    return ok ? 0 : 1;
}

#include "tuvo-bench-browse.moc"
