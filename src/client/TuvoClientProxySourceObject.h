#ifndef TUVOCLIENTPROXYSOURCEOBJECT_H
#define TUVOCLIENTPROXYSOURCEOBJECT_H

#include "TuvoClientError.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QList>

class TuvoClientOperation;
class TuvoClientSource;

/*!
 * The client's proxy-source object of one source uuid on one connection: receives
 * browse_result and query_result and hands each to the operation it belongs to, by
 * sender and id. A source may send results before the answer to the browse or query
 * call that gives their id arrives; such messages wait here while an operation is
 * starting, and are claimed by it once it knows its id.
 *
 * Internal to the client library; TuvoClientSource attaches and detaches.
 */
class TuvoClientProxySourceObject : public QDBusVirtualObject
{
    Q_OBJECT
public:
    /*! Results held for operations that are still starting, at most. */
    static constexpr int MaxEarlyMessages = 1000;

    static TuvoClientProxySourceObject *attach(TuvoClientSource *source, TuvoClientError *error);
    void detach(TuvoClientSource *source);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

    void claimEarlyMessages(TuvoClientOperation *operation);
    /*! An operation got the answer to its starting call. */
    void operationStarted();

private:
    TuvoClientProxySourceObject(const QDBusConnection &connection, const QString &path);
    ~TuvoClientProxySourceObject() override;

    TuvoClientOperation *findOperation(const QString &sender, int kind, quint32 id) const;
    bool anyStarting() const;
    static QString key(const QDBusConnection &connection, const QString &path);

    QDBusConnection m_connection;
    QString m_path;
    QList<TuvoClientSource *> m_sources;
    QList<QDBusMessage> m_early;
};

#endif
