#ifndef TUVOSOURCEOPERATION_H
#define TUVOSOURCEOPERATION_H

#include <TuvoError.h>

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

/*!
 * What the browse and query transactions share about the operation they carry: the
 * client that started it, the callbacks the source makes before its browse() or
 * query() has returned, and the end of an operation that the client has cancelled.
 *
 * Callbacks made while the source's browse() or query() runs are held and replayed
 * once started() gives the returned id; the transaction's batch then drops those of
 * another id, so a wrong id given inside browse() cannot capture another operation's
 * results. A source that forgets a cancelled operation never ends it: the transaction
 * ends itself silently CancelGraceMs after the cancel, or after the source's last
 * callback following it.
 *
 * An operation whose source is withdrawn before it ends is ended by the adaptor with
 * withdrawn(): its pending results go out, then the error WithdrawnError.
 */
class TuvoSourceOperation : public QObject
{
    Q_OBJECT
public:
    static constexpr int CancelGraceMs = 2000;
    static constexpr int WithdrawnError = TuvoError::ErrorResourceNotFound;

    explicit TuvoSourceOperation(QObject *parent);
    ~TuvoSourceOperation() override;

    /*! The unique bus name of the client that started the operation. */
    QString client() const { return m_client; }
    void setClient(const QString &client) { m_client = client; }
    /*! The id the source returned; 0 until then. */
    uint id() const { return m_id; }

    /*! The client cancelled the operation. */
    void cancelled();
    /*! The source is going away: ends a running operation that its client still waits
     *  for; nothing once it has ended or was cancelled. */
    void withdrawn();

protected:
    /*! The source returned \a id: the held callbacks run now, in order. */
    void started(uint id);
    /*! Runs \a callback, or holds it until started(). */
    void deliver(std::function<void()> callback);
    /*! Ends the operation \a id with the error \a text, after what it holds. */
    virtual void end(uint id, const QString &text) = 0;

private:
    QString m_client;
    uint m_id = 0;
    QList<std::function<void()>> m_held;
    QTimer m_grace;
};

#endif
