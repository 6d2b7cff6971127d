#ifndef FAKEPEER_H
#define FAKEPEER_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMap>

#include <functional>

/*!
 * A service on a bus connection of its own, with one object whose behaviour the test
 * writes: it records every call and answers with what answer() returns for the member
 * (no answer at all while frozen, or when the handler says so). It can also send
 * calls and signals of its own, as a misbehaving service would.
 */
class FakePeer : public QDBusVirtualObject
{
    Q_OBJECT
public:
    /*! Answers \a call; returns false to leave it unanswered. */
    using Handler = std::function<bool(const QDBusMessage &call, FakePeer *peer)>;

    FakePeer(const QString &busName, const QString &path, QObject *parent = nullptr);
    ~FakePeer() override;

    bool isReady() const { return m_ready; }
    QDBusConnection connection() const { return m_connection; }
    QString uniqueName() const { return m_connection.baseService(); }
    QString busName() const { return m_busName; }
    QString path() const { return m_path; }

    /*! Fixed reply arguments for \a member. */
    void setReply(const QString &member, const QVariantList &arguments);
    void setHandler(const QString &member, const Handler &handler);
    /*! While frozen, calls are recorded and never answered. */
    void setFrozen(bool frozen) { m_frozen = frozen; }

    QList<QDBusMessage> calls() const { return m_calls; }
    QList<QDBusMessage> callsOf(const QString &member) const;
    bool waitForCall(const QString &member, int count = 1, int timeoutMs = 5000);

    bool send(const QDBusMessage &message) { return m_connection.send(message); }
    /*! A method call to \a destination, sent without waiting for an answer. */
    bool sendCall(const QString &destination, const QString &path, const QString &interface,
                  const QString &member, const QVariantList &arguments);
    bool emitSignal(const QString &interface, const QString &member, const QVariantList &arguments);
    /*! Leaves the bus, as a process that exits does. */
    void leave();

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    QString m_connectionName;
    QDBusConnection m_connection;
    QString m_busName;
    QString m_path;
    bool m_ready = false;
    bool m_frozen = false;
    QMap<QString, QVariantList> m_replies;
    QMap<QString, Handler> m_handlers;
    QList<QDBusMessage> m_calls;
};

#endif
