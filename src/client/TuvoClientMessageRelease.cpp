#include "TuvoClientMessageRelease.h"

#include <QDBusConnectionInterface>
#include <QThread>

TuvoClientMessageRelease::TuvoClientMessageRelease(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    // The bus daemon's interface object is a child of the connection's private object,
    // which lives on the thread that reads the socket. A peer connection has none.
    , m_reader(connection.interface())
{
}

TuvoClientMessageRelease::~TuvoClientMessageRelease()
{
    handOver();
}

void TuvoClientMessageRelease::release(const QDBusMessage &message)
{
    if (!m_reader || m_reader->thread() == QThread::currentThread())
        return;
    m_messages.append(message);
    if (m_handOverPosted)
        return;
    m_handOverPosted = true;
    QMetaObject::invokeMethod(this, &TuvoClientMessageRelease::handOver, Qt::QueuedConnection);
}

void TuvoClientMessageRelease::handOver()
{
    m_handOverPosted = false;
    if (m_messages.isEmpty() || !m_reader)
        return;
    // Deleted by the call itself: the posted call object may be destroyed on either thread.
    auto *messages = new QList<QDBusMessage>(std::exchange(m_messages, {}));
    QMetaObject::invokeMethod(m_reader, [messages] { delete messages; }, Qt::QueuedConnection);
}
