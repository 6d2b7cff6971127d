// The result records and the media info as a client reads them off a D-Bus connection:
// the input's bytes make the records, or a media info whose values are any nesting of
// D-Bus types, which cross a peer-to-peer connection inside this process. What is read
// must be what was sent, and media info values must come without D-Bus wrappers.
#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoDBusValue.h>
#include <TuvoMediaInfoDBusStruct.h>
#include <TuvoMetadataDecoder.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServer>
#include <QDBusVirtualObject>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {
// Reads the input front to back; past its end every read gives zeros.
struct Input
{
    const uint8_t *data;
    size_t size;

    uint8_t byte() { return size ? (--size, *data++) : 0; }
    quint32 number()
    {
        quint32 n = 0;
        for (int shift = 0; shift < 32; shift += 8)
            n |= quint32(byte()) << shift;
        return n;
    }
    QByteArray bytes()
    {
        const size_t n = qMin<size_t>(byte() % 16, size);
        const QByteArray taken(reinterpret_cast<const char *>(data), qsizetype(n));
        data += n;
        size -= n;
        return taken;
    }
    // D-Bus strings hold no NUL: the adaptors drop records that would need one.
    QString text() { return QString::fromUtf8(bytes()).remove(QChar(0)); }
    // Any nesting of lists, string maps and variants, four deep at most.
    QVariant value(int depth)
    {
        QVariantList list;
        QVariantMap map;
        switch (byte() % (depth > 3 ? 7 : 10)) {
        case 0: return int(number());
        case 1: return number();
        case 2: return qulonglong(number()) << 32;
        case 3: return byte() % 2 == 0;
        case 4: return double(qint32(number())) / 7;
        case 5: return text();
        case 6: return bytes();
        case 7:
            for (int n = byte() % 4; n > 0; --n)
                list << value(depth + 1);
            return list;
        case 8:
            for (int n = byte() % 4; n > 0; --n)
                map.insert(text(), value(depth + 1));
            return map;
        default: return QVariant::fromValue(QDBusVariant(value(depth + 1)));
        }
    }
};

// Whether a D-Bus wrapper is left anywhere in \a value.
bool wrapped(const QVariant &value)
{
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<QDBusArgument>() || type == QMetaType::fromType<QDBusVariant>())
        return true;
    const QVariantList inner = type == QMetaType::fromType<QVariantList>() ? value.toList()
                               : type == QMetaType::fromType<QVariantMap>() ? value.toMap().values()
                                                                           : QVariantList();
    return std::any_of(inner.cbegin(), inner.cend(), wrapped);
}

// The receiving end: checks what arrives against what was sent.
class Receiver : public QDBusVirtualObject
{
public:
    QList<TuvoBrowseResultDBusStruct> records;
    QList<TuvoQueryResultDBusStruct> rows;
    TuvoMediaInfoDBusStruct info;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QVariant argument = message.arguments().value(0);
        if (message.member() == QLatin1String("browse_result")) {
            const auto got = qdbus_cast<QList<TuvoBrowseResultDBusStruct>>(argument);
            for (const TuvoBrowseResultDBusStruct &record : got) {
                QVariantMap metadata;
                TuvoMetadataDecoder::decode(record.metadata, &metadata);
            }
            if (message.signature() != QLatin1String("a(iusaysus)") || got != records)
                std::abort();
        } else if (message.member() == QLatin1String("query_result")) {
            const auto got = qdbus_cast<QList<TuvoQueryResultDBusStruct>>(argument);
            if (message.signature() != QLatin1String("a(uas)") || got != rows)
                std::abort();
        } else {
            TuvoMediaInfoDBusStruct got;
            if (!TuvoMediaInfoDBusStruct::fromReplyArgument(argument, &got) || got.uuid != info.uuid
                || got.metadata.keys() != info.metadata.keys())
                std::abort();
            for (auto it = got.metadata.cbegin(); it != got.metadata.cend(); ++it) {
                if (it->size() != info.metadata.value(it.key()).size()
                    || std::any_of(it->cbegin(), it->cend(), wrapped))
                    std::abort();
            }
        }
        connection.send(message.createReply());
        return true;
    }
};

Receiver *receiver;
QDBusConnection *sender;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    new QCoreApplication(*argc, *argv);
    TuvoBrowseResultDBusStruct::registerDBusTypes();
    TuvoQueryResultDBusStruct::registerDBusTypes();
    TuvoMediaInfoDBusStruct::registerMetaType();
    auto *server = new QDBusServer(QStringLiteral("unix:tmpdir=/tmp"));
    server->setAnonymousAuthenticationAllowed(true);
    receiver = new Receiver;
    QObject::connect(server, &QDBusServer::newConnection, [](const QDBusConnection &connection) {
        QDBusConnection(connection).registerVirtualObject(QStringLiteral("/r"), receiver);
    });
    sender = new QDBusConnection(QDBusConnection::connectToPeer(server->address(), QStringLiteral("fuzz")));
    while (!sender->isConnected())
        QCoreApplication::processEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    QVariant argument;
    const int kind = in.byte() % 3;
    if (kind == 0) {
        receiver->records.clear();
        for (int n = in.byte() % 8; n > 0; --n)
            receiver->records.append({qint32(in.number()), in.number(), in.text(), in.bytes(), in.text(),
                                      in.number(), in.text()});
        argument = QVariant::fromValue(receiver->records);
    } else if (kind == 1) {
        receiver->rows.clear();
        for (int n = in.byte() % 8; n > 0; --n) {
            TuvoQueryResultDBusStruct row{in.number(), {}};
            for (int m = in.byte() % 4; m > 0; --m)
                row.resultRow.append(in.text());
            receiver->rows.append(row);
        }
        argument = QVariant::fromValue(receiver->rows);
    } else {
        receiver->info = {in.text(), {}};
        for (int n = in.byte() % 6; n > 0; --n) {
            QVariantList &values = receiver->info.metadata[in.text()];
            for (int m = in.byte() % 4; m > 0; --m)
                values.append(in.value(0));
        }
        argument = QVariant::fromValue(receiver->info);
    }
    const char *member = kind == 0 ? "browse_result" : kind == 1 ? "query_result" : "info";
    QDBusMessage call = QDBusMessage::createMethodCall(QString(), QStringLiteral("/r"), QStringLiteral("f.f"),
                                                       QLatin1String(member));
    call << argument;
    const QDBusMessage reply = sender->call(call, QDBus::BlockWithGui);
    if (reply.type() != QDBusMessage::ReplyMessage)
        std::abort(); // every value made above can be sent, and the receiver answers each
    return 0;
}
