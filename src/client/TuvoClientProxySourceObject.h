#ifndef TUVOCLIENTPROXYSOURCEOBJECT_H
#define TUVOCLIENTPROXYSOURCEOBJECT_H

#include "TuvoClientError.h"
#include "TuvoClientMessageRelease.h"
#include "TuvoClientResultRouter.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>

/*!
 * The client's proxy-source object of one source uuid on one connection: receives
 * browse_result and query_result, answers them, and hands each one with the right
 * signature to its router, keyed by sender, kind and id. Shared by every
 * TuvoClientSource of that uuid on the connection, and unregistered with the last.
 *
 * Internal to the client library.
 */
class TuvoClientProxySourceObject : public QDBusVirtualObject
{
    Q_OBJECT
public:
    /*! The object of \a sourceUuid on \a connection, registered when it is the first. */
    static TuvoClientProxySourceObject *attach(const QDBusConnection &connection, const QString &sourceUuid,
                                               const QString &sourceName, TuvoClientError *error);
    void detach();

    TuvoClientResultRouter *router() { return &m_router; }

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    TuvoClientProxySourceObject(const QDBusConnection &connection, const QString &path);
    ~TuvoClientProxySourceObject() override;

    static QString key(const QDBusConnection &connection, const QString &path);

    QDBusConnection m_connection;
    QString m_path;
    int m_users = 0;
    TuvoClientMessageRelease m_release;
    TuvoClientResultRouter m_router;
};

#endif
