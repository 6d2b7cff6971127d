#ifndef BUSSIGNALRECORDER_H
#define BUSSIGNALRECORDER_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>

/*!
 * Records one D-Bus signal as it arrives on a connection; empty service or path match
 * any sender or path.
 */
class BusSignalRecorder : public QObject
{
    Q_OBJECT
public:
    BusSignalRecorder(const QString &service, const QString &path, const QString &interface,
                      const QString &member,
                      const QDBusConnection &connection = QDBusConnection::sessionBus(),
                      QObject *parent = nullptr);
    ~BusSignalRecorder() override;

    /*! Records "NameOwnerChanged" of the bus daemon. */
    static BusSignalRecorder *nameOwnerChanges(QObject *parent = nullptr);

    bool isConnected() const { return m_connected; }
    QList<QDBusMessage> messages() const { return m_messages; }
    int count() const { return int(m_messages.size()); }
    /*! The first argument of every recorded signal, as strings. */
    QStringList firstArguments() const;
    QList<QVariantList> arguments() const;
    void clear() { m_messages.clear(); }
    /*! Waits until at least \a n signals are recorded. */
    bool waitForCount(int n, int timeoutMs = 10000);

public Q_SLOTS:
    void handleMessage(const QDBusMessage &message);

Q_SIGNALS:
    void received(const QDBusMessage &message);

private:
    QDBusConnection m_connection;
    QString m_service, m_path, m_interface, m_member;
    QList<QDBusMessage> m_messages;
    bool m_connected = false;
};

#endif
