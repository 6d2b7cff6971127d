#ifndef TUVOCLIENTOPERATION_H
#define TUVOCLIENTOPERATION_H

#include "TuvoClientError.h"
#include "TuvoClientGlobal.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QTimer>

class TuvoClientSource;

/*!
 * One browse or query running on a source: started when made, ended by exactly one
 * finished() signal, with no error when every result has arrived, or with the error
 * that ended it: the source's own (Remote, with its code), a Timeout when no results
 * came for the inactivity time-out (restarted with every batch), NotFound when the
 * source's process left the bus, Cancelled after cancel().
 *
 * The operation is a child of its source. Destroying it while it runs asks the source
 * to stop as well.
 */
class TUVO_CLIENT_EXPORT TuvoClientOperation : public QObject
{
    Q_OBJECT
public:
    enum Kind { Browse, Query };
    enum State { Starting, Running, Confirming, Cancelling, Finished };

    ~TuvoClientOperation() override;

    Kind kind() const { return m_kind; }
    State state() const { return m_state; }
    /*! The id the source gave the operation; 0 until it answered. */
    quint32 id() const { return m_id; }
    bool isFinished() const { return m_state == Finished; }
    TuvoClientError error() const { return m_error; }
    /*! Results (or rows) delivered so far. */
    int resultCount() const { return m_resultCount; }
    TuvoClientSource *source() const { return m_source; }
    /*! The unique name of the process that runs the operation; known once it started. */
    QString sender() const { return m_sender; }

    void setInactivityTimeout(int milliseconds);
    int inactivityTimeout() const { return m_inactivityTimeout; }

    /*!
     * Asks the source to stop. finished() follows with a Cancelled error once the
     * source has confirmed the cancel (or did not answer within the time-out); no
     * results are delivered after this call.
     */
    void cancel();

Q_SIGNALS:
    void started(quint32 id);
    void finished(const TuvoClientError &error);
    /*! The operation takes results from sender() for id() from now on (once, after started()). */
    void accepting(QPrivateSignal);

protected:
    TuvoClientOperation(Kind kind, TuvoClientSource *source);

    /*! One result message of this operation, its signature already checked. */
    virtual void deliver(const QDBusMessage &message) = 0;
    void finish(const TuvoClientError &error);
    void addResults(int count) { m_resultCount += count; }
    /*! The batch was the last: the operation ends once nothing more can follow. */
    void confirmEnd();
    QString sourceName() const;

private Q_SLOTS:
    void handleInactivity();

private:
    // The source starts its operations, feeds them their results and says when it vanished.
    friend class TuvoClientSource;

    /*! Follows the starting call; \a error ends the operation at once when set. */
    void start(const QDBusPendingCall &call, const TuvoClientError &error);
    void receive(const QDBusMessage &message);
    void sendCancel();
    void handleSourceVanished();
    /*! Asks the process that runs the operation to stop it. */
    QDBusPendingCall callCancel() const;
    QString kindName() const;

    Kind m_kind;
    TuvoClientSource *m_source;
    State m_state = Starting;
    quint32 m_id = 0;
    QString m_sender;
    TuvoClientError m_error;
    int m_resultCount = 0;
    int m_inactivityTimeout;
    bool m_cancelRequested = false;
    QTimer m_inactivity;
};

#endif
