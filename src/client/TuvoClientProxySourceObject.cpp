#include "TuvoClientProxySourceObject.h"

#include "TuvoClientBrowse.h"
#include "TuvoClientLogging.h"
#include "TuvoClientProxySourceIntrospection.h"
#include "TuvoClientQuery.h"
#include "TuvoClientSource.h"

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoBusNames.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QDBusError>
#include <QHash>
#include <QPointer>

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
{
}

TuvoClientProxySourceObject::~TuvoClientProxySourceObject() = default;

TuvoClientProxySourceObject *TuvoClientProxySourceObject::attach(TuvoClientSource *source,
                                                                 TuvoClientError *error)
{
    QDBusConnection connection = source->connection();
    const QString path = TuvoBusNames::proxySourceObjectPath(source->info().name);
    TuvoClientProxySourceObject *object = registry().value(key(connection, path));
    if (!object) {
        object = new TuvoClientProxySourceObject(connection, path);
        if (!connection.registerVirtualObject(path, object, QDBusConnection::SingleNode)) {
            *error = TuvoClientError(TuvoClientError::DBusFailure,
                                     QStringLiteral("cannot register the proxy-source object %1: %2")
                                         .arg(path, connection.lastError().message()),
                                     source->info().busName);
            delete object;
            return nullptr;
        }
        registry().insert(key(connection, path), object);
    }
    object->m_sources.append(source);
    return object;
}

void TuvoClientProxySourceObject::detach(TuvoClientSource *source)
{
    m_sources.removeAll(source);
    if (!m_sources.isEmpty())
        return;
    registry().remove(key(m_connection, m_path));
    m_connection.unregisterObject(m_path);
    deleteLater();
}

QString TuvoClientProxySourceObject::introspect(const QString &) const
{
    return QLatin1String(TUVO_CLIENT_PROXY_SOURCE_INTROSPECTION);
}

TuvoClientOperation *TuvoClientProxySourceObject::findOperation(const QString &sender, int kind,
                                                                quint32 id) const
{
    for (TuvoClientSource *source : m_sources) {
        const QList<TuvoClientOperation *> operations = source->runningOperations();
        for (TuvoClientOperation *operation : operations) {
            if (operation->kind() == kind && operation->id() == id && operation->sender() == sender)
                return operation;
        }
    }
    return nullptr;
}

bool TuvoClientProxySourceObject::anyStarting() const
{
    for (TuvoClientSource *source : m_sources) {
        const QList<TuvoClientOperation *> operations = source->runningOperations();
        for (TuvoClientOperation *operation : operations) {
            if (operation->state() == TuvoClientOperation::Starting)
                return true;
        }
    }
    return false;
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
    if (TuvoClientOperation *operation = findOperation(message.service(), kind, id)) {
        operation->receive(message);
    } else if (anyStarting() && m_early.size() < MaxEarlyMessages) {
        m_early.append(message);
    } else {
        qCDebug(lcTuvoClient) << "dropping" << message.member() << "for id" << id << "from"
                              << message.service() << "at" << m_path;
    }
    return true;
}

void TuvoClientProxySourceObject::claimEarlyMessages(TuvoClientOperation *claiming)
{
    const QPointer<TuvoClientOperation> operation(claiming);
    const QString member = operation->kind() == TuvoClientOperation::Browse
                               ? QStringLiteral("browse_result")
                               : QStringLiteral("query_result");
    for (int i = 0; i < m_early.size();) {
        const QDBusMessage message = m_early.at(i);
        if (message.member() == member && message.service() == operation->sender()
            && message.arguments().at(0).toUInt() == operation->id()) {
            m_early.removeAt(i);
            // Receivers may finish or even delete the operation; stop then.
            operation->receive(message);
            if (!operation || operation->isFinished())
                return;
        } else {
            ++i;
        }
    }
}

void TuvoClientProxySourceObject::operationStarted()
{
    if (!anyStarting())
        m_early.clear();
}
