// The shipped plugins under load, beside Grilo doing the same work in the same run:
//   - browsing a folder of 100 000 plain files: first 100 results, results per second,
//     the wrapper's memory (against a folder of 10 000, to show it does not grow with
//     the folder);
//   - browsing 2 000 tagged audio files: first browse (tags read), second (cached);
//   - the renderer: play_uri to state_changed(playing), and to the first position
//     that moves, for a local file.
// Runs on a private session bus (run.sh); the folders are made by run.sh.
//   tuvo-bench-filesystem <data folder> <scratch folder>
// The scale run (run.sh --scale) browses folders of N plain files and of N .mp3-named
// files, and prints each figure beside the raw in-process listing of the same folder
// (readdir alone, and readdir with a stat of every entry) in the same run, through
// this process as the client and through tuvo-client --json; N may be a comma-separated
// list of sizes, each browsed in a wrapper of its own:
//   tuvo-bench-filesystem --scale <data folder> <scratch folder> <N>[,<N>...]
#include "BenchProcessMemory.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDBusArgument>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString SourcePrefix = QStringLiteral("com.oxbel.tuvo.source.Filesystem.");
const QString Renderer = QStringLiteral("com.oxbel.tuvo.renderer.GStreamer.gstreamer_renderer");
const QString RendererPath = QStringLiteral("/com/oxbel/tuvo/renderer/gstreamer_renderer");

void print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Sleeps in the event loop between looks. processEvents() with a time limit would not:
// it ignores WaitForMoreEvents and spins, taking a core from the wrapper it measures.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The client's proxy source: counts records and notes when they arrived.
class Receiver : public QDBusVirtualObject
{
public:
    QElapsedTimer clock;
    uint browseId = 0;
    int records = 0;
    qint64 hundredthMs = -1;
    qint64 lastMs = -1;
    bool done = false;

    void reset(uint id)
    {
        browseId = id;
        records = 0;
        hundredthMs = lastMs = -1;
        done = false;
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("browse_result"))
            return false;
        // The wrapper paces the browse on these replies; a virtual object gives them itself.
        if (message.isReplyRequired())
            connection.send(message.createReply());
        if (message.arguments().value(0).toUInt() != browseId)
            return true;
        const QDBusArgument batch = message.arguments().value(1).value<QDBusArgument>();
        batch.beginArray();
        while (!batch.atEnd()) {
            int remaining = 0;
            uint index = 0, code = 0;
            QString id, reserved, error;
            QByteArray meta;
            batch.beginStructure();
            batch >> remaining >> index >> id >> meta >> reserved >> code >> error;
            batch.endStructure();
            ++records;
            if (records == 100)
                hundredthMs = clock.elapsed();
            if (remaining == 0 || code != 0) {
                done = true;
                lastMs = clock.elapsed();
            }
        }
        batch.endArray();
        return true;
    }
    QString introspect(const QString &) const override { return QString(); }
};

class StateListener : public QObject
{
    Q_OBJECT
public:
    std::function<void(int)> onState;
public Q_SLOTS:
    void stateChanged(int state) { onState(state); }
};

class Wrapper
{
public:
    QProcess process;
    QString home;

    bool start(const QString &plugin, const QString &pluginName)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // TUVO_BENCH_WRAPPER runs another build of the wrapper against these plugins.
        const QString binary = qEnvironmentVariable("TUVO_BENCH_WRAPPER", QStringLiteral(TUVO_WRAPPER_BINARY));
        process.start(binary, {plugin});
        const QString control = QStringLiteral("com.oxbel.tuvo.plugin.") + pluginName;
        QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
        if (!waitUntil([&] { return bus->isServiceRegistered(control).value(); }, 10000))
            return false;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            control, QStringLiteral("/com/oxbel/tuvo/plugin/") + pluginName,
            QStringLiteral("com.oxbel.tuvo.plugin"), QStringLiteral("activate")));
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    ~Wrapper()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

QString sourceName()
{
    QString found;
    waitUntil([&] {
        const QStringList names = QDBusConnection::sessionBus().interface()->registeredServiceNames().value();
        for (const QString &name : names) {
            if (name.startsWith(SourcePrefix))
                found = name;
        }
        return !found.isEmpty();
    }, 10000);
    return found;
}


struct BrowseFigures
{
    int records = 0;
    qint64 hundredthMs = -1;
    qint64 totalMs = -1;
    qint64 peakGrowthKb = 0;
    qint64 peakKb = 0;
    qint64 wrapperCpuMs = 0;
};

BrowseFigures browse(const Wrapper &wrapper, Receiver &receiver, const QString &service, const QString &folder)
{
    const QString uuid = service.mid(SourcePrefix.size());
    const qint64 baseline = BenchProcessMemory::residentKiB(wrapper.process.processId());
    qint64 peak = baseline;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        peak = qMax(peak, BenchProcessMemory::residentKiB(wrapper.process.processId()));
    });
    sampler.start(20);
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/com/oxbel/tuvo/source/") + uuid,
                                                       QStringLiteral("com.oxbel.tuvo.source"),
                                                       QStringLiteral("browse"));
    call << folder << QString() << QStringList() << 0u << 0u;
    receiver.reset(0);
    const qint64 cpuBefore = qint64(BenchProcessMemory::cpuSeconds(wrapper.process.processId()) * 1000);
    receiver.clock.start();
    // The id comes back with the reply, results may overtake it: take the first id seen.
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    receiver.browseId = reply.arguments().value(0).toUInt();
    waitUntil([&] { return receiver.done; }, 600000);
    sampler.stop();
    peak = qMax(peak, BenchProcessMemory::residentKiB(wrapper.process.processId()));
    return {receiver.records, receiver.hundredthMs, receiver.lastMs, peak - baseline, peak,
            qint64(BenchProcessMemory::cpuSeconds(wrapper.process.processId()) * 1000) - cpuBefore};
}

struct GriloFigures
{
    int lines = 0;
    qint64 firstMs = -1;
    qint64 totalMs = -1;
};

// With \a keys Grilo prints one line per result with those keys; without, only the
// count at the end, which times its listing alone.
GriloFigures grilo(const QString &folder, const QString &scratch, bool keys = true)
{
    GriloFigures figures;
    const QString config = scratch + QStringLiteral("/grilo.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return figures;
    file.write("[grl-filesystem]\nbase-uri=" + QUrl::fromLocalFile(folder).toEncoded() + "\n");
    file.close();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GRL_PLUGIN_LIST"), QStringLiteral("grl-filesystem"));
    process.setProcessEnvironment(environment);
    QElapsedTimer clock;
    QByteArray pending;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        if (figures.firstMs < 0)
            figures.firstMs = clock.elapsed();
        pending += process.readAllStandardOutput();
        figures.lines += int(pending.count('\n'));
        pending = pending.mid(pending.lastIndexOf('\n') + 1);
    });
    clock.start();
    process.start(QStringLiteral("grl-launch-0.3"),
                  QStringList{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-C"), config}
                      + (keys ? QStringList{QStringLiteral("-k"), QStringLiteral("title,url,mime-type,size,modification-date")}
                              : QStringList())
                      + QStringList{QStringLiteral("browse"), QStringLiteral("grl-filesystem")});
    if (!process.waitForStarted(5000))
        return figures;
    waitUntil([&] { return process.state() == QProcess::NotRunning; }, 600000);
    figures.totalMs = clock.elapsed();
    figures.lines -= 1; // its closing "N results" line
    return figures;
}

QString rate(int records, qint64 ms)
{
    return ms > 0 ? QString::number(qint64(records) * 1000 / ms) : QStringLiteral("-");
}

void writeConfig(const QString &home, const QString &name, const QByteArray &text)
{
    QDir().mkpath(home + QStringLiteral("/config/tuvo"));
    QFile file(home + QStringLiteral("/config/tuvo/") + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

// A wrapper of the filesystem plugin whose one media folder is \a data, and this process
// as the receiver of its source's results.
bool startSource(Wrapper &wrapper, Receiver &receiver, const QString &home, const QString &data, QString *service)
{
    wrapper.home = home;
    writeConfig(wrapper.home, QStringLiteral("filesystem-plugin.conf"), "root=" + QFile::encodeName(data) + "\n");
    if (!wrapper.start(QStringLiteral(TUVO_FILESYSTEM_PLUGIN), QStringLiteral("libtuvo_filesystem_plugin"))) {
        print(QStringLiteral("the wrapper did not start"));
        return false;
    }
    *service = sourceName();
    if (!QDBusConnection::sessionBus().registerVirtualObject(
            QStringLiteral("/com/oxbel/tuvo/proxy_source/") + service->mid(SourcePrefix.size()), &receiver)) {
        print(QStringLiteral("cannot register the proxy source"));
        return false;
    }
    return true;
}

void benchBrowse(const QString &data, const QString &scratch)
{
    Receiver receiver;
    Wrapper wrapper;
    QString service;
    if (!startSource(wrapper, receiver, scratch + QStringLiteral("/home-source"), data, &service))
        return;
    const qint64 pid = wrapper.process.processId();
    print(QStringLiteral("wrapper at rest: %1 kB resident").arg(BenchProcessMemory::residentKiB(pid)));

    print(QStringLiteral("\n== plain files (names listed, each entry looked up as it is delivered)"));
    for (const char *folder : {"plain-10000", "plain-100000"}) {
        const BrowseFigures f = browse(wrapper, receiver, service, QLatin1String(folder));
        const GriloFigures g = grilo(data + QLatin1Char('/') + QLatin1String(folder), scratch);
        print(QStringLiteral("%1: %2 results; first 100 after %3 ms; all after %4 ms = %5 results/s; "
                             "wrapper memory grew by %6 kB at most")
                  .arg(QLatin1String(folder)).arg(f.records).arg(f.hundredthMs).arg(f.totalMs)
                  .arg(rate(f.records, f.totalMs)).arg(f.peakGrowthKb));
        print(QStringLiteral("%1 with Grilo (grl-launch-0.3 -d 0 -k title,url,mime-type,size,modification-date): %2 results; first output "
                             "after %3 ms; all after %4 ms = %5 results/s")
                  .arg(QLatin1String(folder)).arg(g.lines).arg(g.firstMs).arg(g.totalMs)
                  .arg(rate(g.lines, g.totalMs)));
    }
    const GriloFigures bare = grilo(data + QStringLiteral("/plain-100000"), scratch, false);
    print(QStringLiteral("plain-100000 with Grilo, no keys (prints only the count): all after %1 ms = %2 results/s")
              .arg(bare.totalMs).arg(rate(100000, bare.totalMs)));
    const BrowseFigures again = browse(wrapper, receiver, service, QStringLiteral("plain-100000"));
    print(QStringLiteral("plain-100000 again (listing kept): first 100 after %1 ms; %2 results/s")
              .arg(again.hundredthMs).arg(rate(again.records, again.totalMs)));
    print(QStringLiteral("wrapper high-water mark: %1 kB").arg(BenchProcessMemory::peakResidentKiB(pid)));

    print(QStringLiteral("\n== tagged audio files (MP3, FLAC, Ogg, WAV; files in the page cache)"));
    const BrowseFigures first = browse(wrapper, receiver, service, QStringLiteral("audio"));
    const BrowseFigures second = browse(wrapper, receiver, service, QStringLiteral("audio"));
    const GriloFigures g = grilo(data + QStringLiteral("/audio"), scratch);
    print(QStringLiteral("first browse (tags read): %1 results in %2 ms = %3 results/s; first 100 after %4 ms")
              .arg(first.records).arg(first.totalMs).arg(rate(first.records, first.totalMs)).arg(first.hundredthMs));
    print(QStringLiteral("second browse (tags kept): %1 results in %2 ms = %3 results/s")
              .arg(second.records).arg(second.totalMs).arg(rate(second.records, second.totalMs)));
    print(QStringLiteral("Grilo, same folder (names only, grl-filesystem reads no tags): %1 results in %2 ms = "
                         "%3 results/s")
              .arg(g.lines).arg(g.totalMs).arg(rate(g.lines, g.totalMs)));
}

void benchRenderer(const QString &data, const QString &scratch, const QByteArray &sink, int rounds)
{
    Wrapper wrapper;
    wrapper.home = scratch + QStringLiteral("/home-renderer");
    writeConfig(wrapper.home, QStringLiteral("gstreamer-plugin.conf"),
                sink.isEmpty() ? QByteArray() : "audio_sink=" + sink + "\nvideo_sink=fakesink\n");
    if (!wrapper.start(QStringLiteral(TUVO_GSTREAMER_PLUGIN), QStringLiteral("libtuvo_gstreamer_plugin"))) {
        print(QStringLiteral("the wrapper did not start"));
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    waitUntil([&] { return bus.interface()->isServiceRegistered(Renderer).value(); }, 10000);
    QElapsedTimer clock;
    qint64 playingAt = -1;
    StateListener listener;
    listener.onState = [&](int state) {
        if (state == 1 && playingAt < 0)
            playingAt = clock.elapsed();
    };
    bus.connect(Renderer, RendererPath, QStringLiteral("com.oxbel.tuvo.renderer"), QStringLiteral("state_changed"),
                &listener, SLOT(stateChanged(int)));
    const auto call = [&](const QString &method, const QVariantList &arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(Renderer, RendererPath,
                                                              QStringLiteral("com.oxbel.tuvo.renderer"), method);
        message.setArguments(arguments);
        return bus.call(message);
    };
    const QString uri = QUrl::fromLocalFile(data + QStringLiteral("/render.wav")).toString();
    QList<qint64> toPlaying, toMoving;
    for (int i = 0; i < rounds; ++i) {
        call(QStringLiteral("stop"), {});
        playingAt = -1;
        clock.start();
        call(QStringLiteral("play_uri"), {uri, 0u});
        qint64 movedAt = -1;
        waitUntil([&] {
            const QDBusMessage reply = call(QStringLiteral("get_current_media_info"), {QStringLiteral("position_ms")});
            const QDBusArgument info = reply.arguments().value(0).value<QDBusArgument>();
            QString id;
            QMap<QString, QList<QVariant>> meta;
            info.beginStructure();
            info >> id;
            info.beginMap();
            while (!info.atEnd()) {
                QString key;
                QList<QVariant> values;
                info.beginMapEntry();
                info >> key;
                info.beginArray();
                while (!info.atEnd()) {
                    QDBusVariant value;
                    info >> value;
                    values.append(value.variant());
                }
                info.endArray();
                info.endMapEntry();
                meta.insert(key, values);
            }
            info.endMap();
            info.endStructure();
            if (meta.value(QStringLiteral("position_ms")).value(0).toLongLong() > 0 && movedAt < 0)
                movedAt = clock.elapsed();
            return movedAt >= 0 && playingAt >= 0;
        }, 10000);
        toPlaying.append(playingAt);
        toMoving.append(movedAt);
    }
    std::sort(toPlaying.begin(), toPlaying.end());
    std::sort(toMoving.begin(), toMoving.end());
    print(QStringLiteral("audio sink \"%1\", %2 plays of a local WAV: play_uri to state_changed(playing) median %3 ms "
                         "(min %4, max %5); to the first position that moves median %6 ms (min %7, max %8)")
              .arg(sink.isEmpty() ? QStringLiteral("automatic") : QString::fromUtf8(sink)).arg(rounds)
              .arg(toPlaying.at(rounds / 2)).arg(toPlaying.first()).arg(toPlaying.last())
              .arg(toMoving.at(rounds / 2)).arg(toMoving.first()).arg(toMoving.last()));
}
// The floor of any listing, in this process: the names alone (readdir), and the names
// with a stat of every entry, as a browse needs for sizes and times.
struct RawListing
{
    int entries = 0;
    qint64 ms = 0;
};

RawListing rawListing(const QString &folder, bool withStat)
{
    RawListing raw;
    QElapsedTimer clock;
    clock.start();
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return raw;
    const int fd = ::dirfd(dir);
    while (struct dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        struct stat st;
        if (!withStat || ::fstatat(fd, entry->d_name, &st, 0) == 0)
            ++raw.entries;
    }
    ::closedir(dir);
    raw.ms = qMax<qint64>(1, clock.elapsed());
    return raw;
}

QString ratio(double value, double baseline)
{
    return baseline > 0 ? QString::number(value / baseline, 'f', 2) : QStringLiteral("-");
}

struct ClientFigures
{
    qint64 lines = 0;
    qint64 firstMs = -1;
    qint64 totalMs = -1;
    int exitCode = -1;
};

// tuvo-client browse <source> <folder> --json, its output counted and dropped.
ClientFigures clientBrowse(const QString &source, const QString &folder)
{
    ClientFigures figures;
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    QObject::connect(&client, &QProcess::readyReadStandardOutput, [&] {
        const qint64 before = figures.lines;
        figures.lines += client.readAllStandardOutput().count('\n');
        if (before < 100 && figures.lines >= 100)
            figures.firstMs = clock.elapsed();
    });
    clock.start();
    client.start(QStringLiteral(TUVO_CLIENT_BINARY),
                 {QStringLiteral("browse"), source, folder, QStringLiteral("--json"), QStringLiteral("--timeout"),
                  QStringLiteral("60")});
    if (!client.waitForStarted(5000))
        return figures;
    waitUntil([&] { return client.state() == QProcess::NotRunning; }, 600000);
    figures.lines += client.readAllStandardOutput().count('\n');
    figures.totalMs = clock.elapsed();
    figures.exitCode = client.exitCode();
    return figures;
}

// Each size in a wrapper of its own, so that its memory figures are its own.
void benchScale(const QString &data, const QString &scratch, int count)
{
    Receiver receiver;
    Wrapper wrapper;
    QString service;
    if (!startSource(wrapper, receiver, scratch + QStringLiteral("/home-scale-%1").arg(count), data, &service))
        return;
    const qint64 pid = wrapper.process.processId();
    print(QStringLiteral("\n==== N = %1; wrapper at rest: %2 KiB resident")
              .arg(count).arg(BenchProcessMemory::residentKiB(pid)));
    double plainRate = 0;
    for (const QString &kind : {QStringLiteral("plain"), QStringLiteral("mp3")}) {
        const QString folder = QStringLiteral("%1-%2").arg(kind).arg(count);
        const QString path = data + QLatin1Char('/') + folder;
        if (!QFileInfo(path).isDir())
            continue;
        const RawListing names = rawListing(path, false);
        const RawListing raw = rawListing(path, true);
        const double namesRate = names.entries * 1000.0 / names.ms;
        const double rawRate = raw.entries * 1000.0 / raw.ms;
        print(QStringLiteral("\n== %1: raw in-process listing: readdir %2 entries in %3 ms = %4 entries/s; "
                             "readdir + stat in %5 ms = %6 entries/s")
                  .arg(folder).arg(names.entries).arg(names.ms).arg(qint64(namesRate)).arg(raw.ms)
                  .arg(qint64(rawRate)));
        for (const char *pass : {"first browse", "second browse"}) {
            const BrowseFigures f = browse(wrapper, receiver, service, folder);
            const double rate = f.totalMs > 0 ? f.records * 1000.0 / f.totalMs : 0;
            if (kind == QLatin1String("plain") && plainRate == 0)
                plainRate = rate;
            print(QStringLiteral("%1: %2 results; first 100 after %3 ms (%4x the readdir's time); all after %5 ms "
                                 "= %6 results/s (%7x the readdir rate, %8x readdir + stat, %9x the plain first "
                                 "browse); wrapper RSS peak %10 KiB (grew by %11 KiB); wrapper CPU %12 us per "
                                 "result")
                      .arg(QLatin1String(pass)).arg(f.records).arg(f.hundredthMs)
                      .arg(ratio(double(f.hundredthMs), double(names.ms))).arg(f.totalMs).arg(qint64(rate))
                      .arg(ratio(rate, namesRate)).arg(ratio(rate, rawRate)).arg(ratio(rate, plainRate))
                      .arg(f.peakKb).arg(f.peakGrowthKb)
                      .arg(f.records > 0 ? QString::number(f.wrapperCpuMs * 1000.0 / f.records, 'f', 1)
                                         : QStringLiteral("-")));
        }
        const ClientFigures c = clientBrowse(service.mid(SourcePrefix.size()), folder);
        const double clientRate = c.totalMs > 0 ? c.lines * 1000.0 / c.totalMs : 0;
        print(QStringLiteral("tuvo-client browse --json: %1 lines, exit %2; first 100 after %3 ms; all after %4 ms = "
                             "%5 results/s (%6x the readdir rate, %7x readdir + stat); wrapper RSS now %8 KiB")
                  .arg(c.lines).arg(c.exitCode).arg(c.firstMs).arg(c.totalMs).arg(qint64(clientRate))
                  .arg(ratio(clientRate, namesRate)).arg(ratio(clientRate, rawRate))
                  .arg(BenchProcessMemory::residentKiB(pid)));
    }
    print(QStringLiteral("wrapper high-water mark: %1 KiB").arg(BenchProcessMemory::peakResidentKiB(pid)));
}
} // namespace

// Tags a WAV file (RIFF INFO and ID3v2), which none of the command-line encoders does.
int tagWav(const char *path, const char *title, const char *artist, const char *album)
{
    TagLib::RIFF::WAV::File file(path);
    if (!file.isValid())
        return 1;
    for (TagLib::Tag *tag : {static_cast<TagLib::Tag *>(file.ID3v2Tag()), static_cast<TagLib::Tag *>(file.InfoTag())}) {
        tag->setTitle(title);
        tag->setArtist(artist);
        tag->setAlbum(album);
    }
    return file.save(TagLib::RIFF::WAV::File::AllTags) ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc == 6 && qstrcmp(argv[1], "--tag-wav") == 0)
        return tagWav(argv[2], argv[3], argv[4], argv[5]);
    QCoreApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], "--scale") == 0) {
        print(QStringLiteral("Figures from a 2-core machine shared with other work: expect noise."));
        for (const QByteArray &count : QByteArray(argv[4]).split(','))
            benchScale(QDir(QString::fromLocal8Bit(argv[2])).absolutePath(),
                       QDir(QString::fromLocal8Bit(argv[3])).absolutePath(), count.toInt());
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <data folder> <scratch folder>\n", argv[0]);
        return 2;
    }
    const QString data = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString scratch = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    print(QStringLiteral("Figures from a 2-core machine shared with other work: expect noise."));
    benchBrowse(data, scratch);
    print(QStringLiteral("\n== renderer"));
    benchRenderer(data, scratch, "fakesink sync=true", 15);
    benchRenderer(data, scratch, QByteArray(), 15);
    return 0;
}

#include "tuvo-bench-filesystem.moc"
