#ifndef TUVOCLIENTMESSAGERELEASE_H
#define TUVOCLIENTMESSAGERELEASE_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QPointer>

/*!
 * Lets go of received messages on the thread that reads the connection.
 *
 * The bus library counts the bytes of the received messages that are still alive and
 * stops reading the socket while they exceed its limit (63 MiB); it starts reading
 * again from whichever thread frees the message that brings the count back under it.
 * Qt D-Bus reads on a thread of its own, and its socket notifier can be switched only
 * from there: when that last message is freed on the application's thread, Qt prints
 * "QSocketNotifier: Socket notifiers cannot be enabled or disabled from another
 * thread" and reading stays off for good, which stalls every later call on the
 * connection. That happens whenever a sender outruns the application by that much.
 *
 * release() therefore keeps a reference to each message it is given until the event
 * loop comes round (by then Qt's own copies are gone), and drops that last reference
 * on the connection's thread.
 *
 * Internal to the client library.
 */
class TuvoClientMessageRelease : public QObject
{
    Q_OBJECT
public:
    explicit TuvoClientMessageRelease(const QDBusConnection &connection, QObject *parent = nullptr);
    ~TuvoClientMessageRelease() override;

    /*! \a message is no longer needed here. */
    void release(const QDBusMessage &message);

private:
    void handOver();

    /*! An object that lives on the connection's reading thread. */
    QPointer<QObject> m_reader;
    QList<QDBusMessage> m_messages;
    bool m_handOverPosted = false;
};

#endif
