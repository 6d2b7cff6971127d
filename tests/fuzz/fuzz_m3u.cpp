// The M3U parser of the playlist store on arbitrary text: every entry it yields is a
// valid uri, within the bound on entries, and a duration it gives fits an int.
#include <TuvoPlaylistStore.h>

#include <QUrl>

#include <climits>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QString name;
    const QList<TuvoContent> entries =
        TuvoPlaylistStore::parseM3u(text, QStringLiteral("/media/lists"), &name);
    if (entries.size() > TuvoPlaylistStore::MaxEntries)
        std::abort();
    for (const TuvoContent &entry : entries) {
        if (entry.uuid().isEmpty() || !QUrl(entry.uuid(), QUrl::StrictMode).isValid())
            std::abort();
        const QVariant duration = entry.metaData().value(QStringLiteral("duration"));
        if (duration.isValid() && duration.toULongLong() > qulonglong(INT_MAX))
            std::abort();
    }
    return 0;
}
