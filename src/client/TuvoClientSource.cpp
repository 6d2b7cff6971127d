#include "TuvoClientSource.h"

#include "TuvoClientProxySourceObject.h"

#include <TuvoBusNames.h>

TuvoClientSource::TuvoClientSource(const TuvoClientObjectInfo &info, const QDBusConnection &connection,
                                   QObject *parent)
    : TuvoClientObject(info, connection, QLatin1String(TuvoBusNames::SourceInterface), parent)
{
    m_proxy = TuvoClientProxySourceObject::attach(this, &m_registrationError);
    connect(this, &TuvoClientObject::vanished, this, &TuvoClientSource::handleVanished);
}

TuvoClientSource::~TuvoClientSource()
{
    // The operations go first: they may still tell the source to stop.
    qDeleteAll(findChildren<TuvoClientOperation *>(QString(), Qt::FindDirectChildrenOnly));
    if (m_proxy)
        m_proxy->detach(this);
}

bool TuvoClientSource::isReady() const
{
    return !m_proxy.isNull();
}

TuvoClientProxySourceObject *TuvoClientSource::proxyObject() const
{
    return m_proxy.data();
}

TuvoClientBrowse *TuvoClientSource::browse(const QString &objectId, const QString &predicate,
                                           const QStringList &additionalPredicates,
                                           quint32 skipCount, quint32 itemCount)
{
    auto *browse = new TuvoClientBrowse(this);
    browse->start(QStringLiteral("browse"),
                  {objectId, predicate, additionalPredicates, skipCount, itemCount});
    return browse;
}

TuvoClientQuery *TuvoClientSource::query(const QString &text)
{
    auto *query = new TuvoClientQuery(this);
    query->start(QStringLiteral("query"), {text});
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

bool TuvoClientSource::dispatchSignal(const QString &member, const QString &signature,
                                      const QVariantList &arguments)
{
    if (signature != QLatin1String("s"))
        return false;
    if (member == QLatin1String("container_changed"))
        Q_EMIT containerChanged(arguments.at(0).toString());
    else if (member == QLatin1String("metadata_changed"))
        Q_EMIT metadataChanged(arguments.at(0).toString());
    else
        return false;
    return true;
}

void TuvoClientSource::handleVanished()
{
    const QList<TuvoClientOperation *> running = runningOperations();
    for (TuvoClientOperation *operation : running)
        operation->handleSourceVanished();
}
