// The metadata blob decoder on arbitrary bytes: it never reads beyond the blob, and what
// it accepts encodes to a blob that decodes to the same entries.
#include <TuvoMetadataDecoder.h>
#include <TuvoMetadataEncoder.h>

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray blob(reinterpret_cast<const char *>(data), qsizetype(size));
    QVariantMap decoded;
    QString error;
    if (!TuvoMetadataDecoder::decode(blob, &decoded, &error)) {
        if (!decoded.isEmpty() || error.isEmpty())
            std::abort(); // a refusal leaves nothing half-read, and says why
        return 0;
    }
    const QByteArray encoded = TuvoMetadataEncoder::encode(decoded);
    QVariantMap again;
    if (!TuvoMetadataDecoder::decode(encoded, &again, &error))
        std::abort();
    // Compared key by key through their types and bytes: NaN is not equal to itself.
    if (again.keys() != decoded.keys() || TuvoMetadataEncoder::encode(again) != encoded)
        std::abort();
    for (auto it = again.cbegin(); it != again.cend(); ++it) {
        if (it->metaType() != decoded.value(it.key()).metaType())
            std::abort();
    }
    return 0;
}
