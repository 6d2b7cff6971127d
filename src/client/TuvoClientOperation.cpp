#include "TuvoClientOperation.h"

#include "TuvoClientLogging.h"
#include "TuvoClientSource.h"
#include "TuvoClientSourceInterface.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QPointer>

TuvoClientOperation::TuvoClientOperation(Kind kind, TuvoClientSource *source)
    : QObject(source)
    , m_kind(kind)
    , m_source(source)
    , m_inactivityTimeout(source->resultTimeout())
{
    m_inactivity.setSingleShot(true);
    connect(&m_inactivity, &QTimer::timeout, this, &TuvoClientOperation::handleInactivity);
}

TuvoClientOperation::~TuvoClientOperation()
{
    // Nobody waits for the results any more: tell the source, without waiting for it.
    if ((m_state == Running || m_state == Confirming) && m_id != 0)
        callCancel();
}

QDBusPendingCall TuvoClientOperation::callCancel() const
{
    // To the process that answered the starting call, whoever owns the name now.
    TuvoClientSourceInterface calls(m_sender, m_source->info().objectPath(), m_source->connection());
    calls.setTimeout(m_source->timeout());
    return m_kind == Browse ? calls.cancel_browse(m_id) : calls.cancel_query(m_id);
}

QString TuvoClientOperation::kindName() const
{
    return m_kind == Browse ? QStringLiteral("browse") : QStringLiteral("query");
}

QString TuvoClientOperation::sourceName() const
{
    return m_source->info().busName;
}

void TuvoClientOperation::setInactivityTimeout(int milliseconds)
{
    m_inactivityTimeout = milliseconds;
    if (m_inactivity.isActive())
        m_inactivity.start(m_inactivityTimeout);
}

void TuvoClientOperation::start(const QDBusPendingCall &call, const TuvoClientError &error)
{
    if (error.isError()) {
        // Reported from the event loop, so that the caller can connect to finished() first.
        QMetaObject::invokeMethod(this, [this, error] { finish(error); }, Qt::QueuedConnection);
        return;
    }
    const int timeout = m_source->timeout();
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, timeout](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() == QDBusMessage::ErrorMessage
            && reply.errorName() == QDBusError::errorString(QDBusError::InvalidSignature)) {
            // The generated proxy checked the answer against the contract.
            finish(TuvoClientError(TuvoClientError::Malformed,
                                   QStringLiteral("%1 answered %2 with the wrong signature: %3")
                                       .arg(sourceName(), kindName(), reply.errorMessage()),
                                   sourceName()));
        } else if (reply.type() != QDBusMessage::ReplyMessage) {
            finish(TuvoClientError::fromDBus(QDBusError(reply), sourceName(), timeout));
        } else if (reply.arguments().at(0).toUInt() == 0) {
            finish(TuvoClientError(TuvoClientError::Refused,
                                   QStringLiteral("%1 refused the %2").arg(sourceName(), kindName()),
                                   sourceName()));
        } else {
            m_id = reply.arguments().at(0).toUInt();
            m_sender = reply.service();
            m_state = Running;
            m_inactivity.start(m_inactivityTimeout);
            // Receivers of started() may cancel or delete this operation.
            const QPointer<TuvoClientOperation> self(this);
            Q_EMIT started(m_id);
            if (self && m_cancelRequested)
                sendCancel();
            if (self)
                Q_EMIT accepting(QPrivateSignal());
        }
    });
}

void TuvoClientOperation::receive(const QDBusMessage &message)
{
    if (m_state != Running && m_state != Confirming)
        return;
    m_inactivity.start(m_inactivityTimeout);
    deliver(message);
}

void TuvoClientOperation::confirmEnd()
{
    if (m_state != Running)
        return;
    // A query's last rows and its error come as two messages; the error, if any, was
    // sent before the source process can answer a ping.
    m_state = Confirming;
    QDBusMessage ping = QDBusMessage::createMethodCall(
        m_sender, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    auto *watcher = new QDBusPendingCallWatcher(
        m_source->connection().asyncCall(ping, m_source->timeout()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (m_state == Confirming)
            finish(TuvoClientError());
    });
}

void TuvoClientOperation::finish(const TuvoClientError &error)
{
    if (m_state == Finished)
        return;
    m_state = Finished;
    m_error = error;
    m_inactivity.stop();
    Q_EMIT finished(error);
}

void TuvoClientOperation::cancel()
{
    switch (m_state) {
    case Starting:
        m_cancelRequested = true;
        break;
    case Running:
    case Confirming:
        sendCancel();
        break;
    case Cancelling:
    case Finished:
        break;
    }
}

void TuvoClientOperation::sendCancel()
{
    m_state = Cancelling;
    m_inactivity.stop();
    const int timeout = m_source->timeout();
    auto *watcher = new QDBusPendingCallWatcher(callCancel(), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, timeout](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        QString text = QStringLiteral("%1 %2 %3 cancelled").arg(sourceName(), kindName()).arg(m_id);
        if (reply.type() != QDBusMessage::ReplyMessage)
            text += QStringLiteral(" (unconfirmed: ")
                    + TuvoClientError::fromDBus(QDBusError(reply), sourceName(), timeout).message()
                    + QLatin1Char(')');
        finish(TuvoClientError(TuvoClientError::Cancelled, text, sourceName()));
    });
}

void TuvoClientOperation::handleInactivity()
{
    if (m_state != Running)
        return;
    const QString text = QStringLiteral("%1 sent no results for %2")
                             .arg(sourceName(), TuvoClientError::formatSeconds(m_inactivityTimeout));
    // The source may still be working on it: ask it to stop, without waiting.
    callCancel();
    finish(TuvoClientError(TuvoClientError::Timeout, text, sourceName()));
}

void TuvoClientOperation::handleSourceVanished()
{
    finish(TuvoClientError(TuvoClientError::NotFound,
                           QStringLiteral("%1 left the bus").arg(sourceName()), sourceName()));
}
