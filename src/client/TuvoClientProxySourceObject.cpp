#include "TuvoClientProxySourceObject.h"

#include "TuvoClientLogging.h"
#include "TuvoClientOperation.h"
#include "TuvoClientProxySourceIntrospection.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoBusNames.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QDBusError>
#include <QHash>

namespace {
// One proxy object per connection and path; everything runs on the one thread.
QHash<QString, TuvoClientProxySourceObject *> &registry()
{
    static QHash<QString, TuvoClientProxySourceObject *> objects;
    return objects;
}

} // namespace

QString TuvoClientProxySourceObject::key(const QDBusConnection &connection, const QString &path)
{
    return connection.name() + QLatin1Char('\n') + path;
}

TuvoClientProxySourceObject::TuvoClientProxySourceObject(const QDBusConnection &connection,
                                                         const QString &path)
    : m_connection(connection)
    , m_path(path)
    , m_release(connection)
{
    m_router.setRelease([this](const QDBusMessage &message) { m_release.release(message); });
}

TuvoClientProxySourceObject::~TuvoClientProxySourceObject() = default;

TuvoClientProxySourceObject *TuvoClientProxySourceObject::attach(const QDBusConnection &connection,
                                                                 const QString &sourceUuid,
                                                                 const QString &sourceName,
                                                                 TuvoClientError *error)
{
    const QString path = TuvoBusNames::proxySourceObjectPath(sourceUuid);
    TuvoClientProxySourceObject *object = registry().value(key(connection, path));
    if (!object) {
        object = new TuvoClientProxySourceObject(connection, path);
        QDBusConnection registering = connection;
        if (!registering.registerVirtualObject(path, object, QDBusConnection::SingleNode)) {
            *error = TuvoClientError(TuvoClientError::DBusFailure,
                                     QStringLiteral("cannot register the proxy-source object %1: %2")
                                         .arg(path, registering.lastError().message()),
                                     sourceName);
            delete object;
            return nullptr;
        }
        registry().insert(key(connection, path), object);
    }
    ++object->m_users;
    return object;
}

void TuvoClientProxySourceObject::detach()
{
    if (--m_users > 0)
        return;
    registry().remove(key(m_connection, m_path));
    m_connection.unregisterObject(m_path);
    deleteLater();
}

QString TuvoClientProxySourceObject::introspect(const QString &) const
{
    return QLatin1String(TUVO_CLIENT_PROXY_SOURCE_INTROSPECTION);
}

bool TuvoClientProxySourceObject::handleMessage(const QDBusMessage &message,
                                                const QDBusConnection &connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage
        || (!message.interface().isEmpty()
            && message.interface() != QLatin1String(TuvoBusNames::ProxySourceInterface)))
        return false;

    int kind = -1;
    QString expected;
    if (message.member() == QLatin1String("browse_result")) {
        kind = TuvoClientOperation::Browse;
        expected = QLatin1String(TuvoBrowseResultDBusStruct::CallSignature);
    } else if (message.member() == QLatin1String("query_result")) {
        kind = TuvoClientOperation::Query;
        expected = QLatin1String(TuvoQueryResultDBusStruct::CallSignature);
    } else {
        return false;
    }
    if (message.signature() != expected) {
        qCWarning(lcTuvoClient) << message.service() << "sent" << message.member() << "with the signature"
                                << message.signature();
        if (message.isReplyRequired())
            connection.send(message.createErrorReply(
                QDBusError::InvalidArgs, QStringLiteral("expected the signature ") + expected));
        return true;
    }
    if (message.isReplyRequired())
        connection.send(message.createReply());

    const quint32 id = message.arguments().at(0).toUInt();
    if (!m_router.receive({message.service(), kind, id}, message))
        qCDebug(lcTuvoClient) << "dropping" << message.member() << "for id" << id << "from"
                              << message.service() << "at" << m_path;
    // Results are the bulk of what a client receives; see TuvoClientMessageRelease.
    m_release.release(message);
    return true;
}
