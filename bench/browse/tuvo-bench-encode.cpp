// The cost of encoding the metadata blob of one browse record of eight keys, and of
// building the whole record as the browse transaction does.
#include "TestStreamItem.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoContent.h>
#include <TuvoMetadataEncoder.h>
#include <TuvoSourceAdaptor.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int Items = 64;

template <typename Work>
double bestNsPerCall(int iterations, Work work)
{
    // Best of several runs: what the code costs when nothing else gets in the way.
    double best = 1e18;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < iterations; ++i)
            work(i);
        best = std::min(best, double(timer.nsecsElapsed()) / iterations);
    }
    return best;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1000, atoi(argv[1])) : 200000;

    QList<QVariantMap> maps;
    QList<QString> ids;
    for (int i = 0; i < Items; ++i) {
        maps.append(TestStreamItem::metaData(i));
        ids.append(TestStreamItem::objectId(i));
    }

    qsizetype bytes = 0;
    const double encodeNs = bestNsPerCall(iterations, [&](int i) {
        bytes += TuvoMetadataEncoder::encode(maps.at(i % Items)).size();
    });
    const double recordNs = bestNsPerCall(iterations, [&](int i) {
        TuvoContent content(ids.at(i % Items));
        content.setMetaData(maps.at(i % Items));
        TuvoBrowseResultDBusStruct record;
        TuvoSourceAdaptor::createBrowseResult(record, uint(i), 1, &content, 0);
        bytes += record.metadata.size();
    });
    const qsizetype blobBytes = TuvoMetadataEncoder::encode(maps.first()).size();

    std::printf("metadata blob of 8 keys (%lld bytes): %.0f ns per encode (target: under 1000 ns)\n",
                static_cast<long long>(blobBytes), encodeNs);
    std::printf("browse record with that blob, as the transaction builds it: %.0f ns\n", recordNs);
    return bytes > 0 ? 0 : 1;
}
