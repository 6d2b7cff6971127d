#include "TuvoClientSource.h"

#include "TuvoClientProxySourceObject.h"
#include "TuvoClientSourceInterface.h"

#include <TuvoBusNames.h>

TuvoClientSource::TuvoClientSource(const TuvoClientObjectInfo &info, const QDBusConnection &connection,
                                   QObject *parent)
    : TuvoClientObject(info, connection, QLatin1String(TuvoBusNames::SourceInterface), parent)
{
    m_proxy = TuvoClientProxySourceObject::attach(connection, info.name, info.busName, &m_registrationError);
    m_calls = makeInterface<TuvoClientSourceInterface>();
    connect(this, &TuvoClientObject::vanished, this, &TuvoClientSource::handleVanished);
}

void TuvoClientSource::dispatchSignal(const QString &interface, const QString &member,
                                      const QVariantList &arguments)
{
    if (interface != m_calls->interface())
        TuvoClientObject::dispatchSignal(interface, member, arguments);
    else if (isSignal(member, &TuvoClientSourceInterface::container_changed))
        Q_EMIT containerChanged(arguments.value(0).toString());
    else if (isSignal(member, &TuvoClientSourceInterface::metadata_changed))
        Q_EMIT metadataChanged(arguments.value(0).toString());
}

TuvoClientSource::~TuvoClientSource()
{
    // The operations go first: they may still tell the source to stop.
    qDeleteAll(findChildren<TuvoClientOperation *>(QString(), Qt::FindDirectChildrenOnly));
    if (m_proxy)
        m_proxy->detach();
}

bool TuvoClientSource::isReady() const
{
    return !m_proxy.isNull();
}

void TuvoClientSource::launch(TuvoClientOperation *operation, const std::function<QDBusPendingCall()> &send)
{
    if (!m_proxy) {
        operation->start(QDBusPendingCall::fromCompletedCall(QDBusMessage()), m_registrationError);
        return;
    }
    TuvoClientResultRouter *router = m_proxy->router();
    const QPointer<TuvoClientProxySourceObject> proxy(m_proxy);
    router->expect(operation);
    connect(operation, &TuvoClientOperation::accepting, this, [operation, proxy] {
        if (proxy)
            proxy->router()->route(operation, {operation->sender(), operation->kind(), operation->id()},
                                   [operation](const QDBusMessage &message) { operation->receive(message); });
    });
    connect(operation, &TuvoClientOperation::finished, this, [operation, proxy] {
        if (proxy)
            proxy->router()->release(operation);
    });
    operation->start(send(), TuvoClientError());
}

TuvoClientBrowse *TuvoClientSource::browse(const QString &objectId, const QString &predicate,
                                           const QStringList &additionalPredicates,
                                           quint32 skipCount, quint32 itemCount)
{
    auto *browse = new TuvoClientBrowse(this);
    launch(browse, [&] { return m_calls->browse(objectId, predicate, additionalPredicates, skipCount, itemCount); });
    return browse;
}

TuvoClientQuery *TuvoClientSource::query(const QString &text)
{
    auto *query = new TuvoClientQuery(this);
    launch(query, [&] { return m_calls->query(text); });
    return query;
}

QList<TuvoClientOperation *> TuvoClientSource::runningOperations() const
{
    QList<TuvoClientOperation *> running;
    const QList<TuvoClientOperation *> operations =
        findChildren<TuvoClientOperation *>(QString(), Qt::FindDirectChildrenOnly);
    for (TuvoClientOperation *operation : operations) {
        if (!operation->isFinished())
            running.append(operation);
    }
    return running;
}

void TuvoClientSource::handleVanished()
{
    const QList<TuvoClientOperation *> running = runningOperations();
    for (TuvoClientOperation *operation : running)
        operation->handleSourceVanished();
}
