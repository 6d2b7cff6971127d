#ifndef TUVOCLIENTSOURCE_H
#define TUVOCLIENTSOURCE_H

#include "TuvoClientBrowse.h"
#include "TuvoClientObject.h"
#include "TuvoClientQuery.h"

#include <QPointer>

class TuvoClientProxySourceObject;
class TuvoClientSourceInterface;

/*!
 * A published source, seen from a client. It registers the client's proxy-source
 * object at "/com/oxbel/tuvo/proxy_source/" + the source's uuid on its connection,
 * shared by every TuvoClientSource of that uuid on the connection and removed with the
 * last of them. Results are accepted only from the process that runs the browse or
 * query, for the id it gave; anything else sent to that object is dropped.
 */
class TUVO_CLIENT_EXPORT TuvoClientSource : public TuvoClientObject
{
    Q_OBJECT
public:
    static constexpr int DefaultResultTimeoutMs = 30000;

    explicit TuvoClientSource(const TuvoClientObjectInfo &info,
                              const QDBusConnection &connection = QDBusConnection::sessionBus(),
                              QObject *parent = nullptr);
    ~TuvoClientSource() override;

    /*! False when the proxy-source object could not be registered; operations then fail. */
    bool isReady() const;
    TuvoClientError registrationError() const { return m_registrationError; }

    /*! The inactivity time-out of operations started from now on. */
    void setResultTimeout(int milliseconds) { m_resultTimeout = milliseconds; }
    int resultTimeout() const { return m_resultTimeout; }

    /*!
     * Browses the container \a objectId ("" for the root). \a itemCount 0 means all.
     * The browse is a child of this object.
     */
    TuvoClientBrowse *browse(const QString &objectId, const QString &predicate = QString(),
                             const QStringList &additionalPredicates = QStringList(),
                             quint32 skipCount = 0, quint32 itemCount = 0);
    TuvoClientQuery *query(const QString &text);

    /*! The operations that have not finished yet. */
    QList<TuvoClientOperation *> runningOperations() const;

Q_SIGNALS:
    void containerChanged(const QString &objectId);
    void metadataChanged(const QString &objectId);

protected:
    void dispatchSignal(const QString &interface, const QString &member, const QVariantList &arguments) override;

private Q_SLOTS:
    void handleVanished();

private:
    /*! Sends the starting call of \a operation and routes its results to it. */
    void launch(TuvoClientOperation *operation, const std::function<QDBusPendingCall()> &send);

    TuvoClientSourceInterface *m_calls = nullptr;
    QPointer<TuvoClientProxySourceObject> m_proxy;
    TuvoClientError m_registrationError;
    int m_resultTimeout = DefaultResultTimeoutMs;
};

#endif
