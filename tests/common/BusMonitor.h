#ifndef BUSMONITOR_H
#define BUSMONITOR_H

#include <QList>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <functional>

/*!
 * dbus-monitor on the test's private bus: sees every message that matches its rules
 * as the bus daemon routes it, also replies that no client library would hand to its
 * caller (a second reply to one call, say).
 */
class BusMonitor : public QObject
{
    Q_OBJECT
public:
    struct Record {
        QString type; // "method call", "method return", "error", "signal"
        QString sender;
        QString destination;
        QString member;
        qint64 serial = -1;
        qint64 replySerial = -1;
    };

    explicit BusMonitor(QObject *parent = nullptr);
    ~BusMonitor() override;

    /*! Starts monitoring \a matchRules; true once the daemon has made it a monitor. */
    bool start(const QStringList &matchRules, int timeoutMs = 10000);
    QList<Record> records();
    /*! Waits until a record satisfies \a predicate; returns it, or null. */
    bool waitFor(const std::function<bool(const Record &)> &predicate, Record *found = nullptr,
                 int timeoutMs = 10000);

private:
    void parse();

    QProcess m_process;
    QByteArray m_pending;
    QList<Record> m_records;
    bool m_ready = false;
};

#endif
