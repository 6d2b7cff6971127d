#include "BusMonitor.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

#include <utility>

BusMonitor::BusMonitor(QObject *parent)
    : QObject(parent)
{
}

BusMonitor::~BusMonitor()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool BusMonitor::start(const QStringList &matchRules, int timeoutMs)
{
    m_process.start(QStringLiteral("dbus-monitor"), QStringList{QStringLiteral("--session")} + matchRules);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    // The daemon tells a new monitor that it lost its unique name: from then on it
    // sees all traffic that matches.
    QDeadlineTimer deadline(timeoutMs);
    while (!m_ready && m_process.state() == QProcess::Running && !deadline.hasExpired()) {
        QTest::qWait(5);
        parse();
    }
    return m_ready;
}

QList<BusMonitor::Record> BusMonitor::records()
{
    parse();
    return m_records;
}

bool BusMonitor::waitFor(const std::function<bool(const Record &)> &predicate, Record *found,
                         int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        parse();
        for (const Record &record : std::as_const(m_records)) {
            if (predicate(record)) {
                if (found)
                    *found = record;
                return true;
            }
        }
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
}

void BusMonitor::parse()
{
    static const QRegularExpression header(QStringLiteral(
        "^(method call|method return|error|signal) time=\\S+ sender=(\\S+) -> destination=(\\S+)(.*)$"));
    static const QRegularExpression field(QStringLiteral("(\\w+)=([^;\\s]+)"));
    m_pending += m_process.readAllStandardOutput();
    int end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QRegularExpressionMatch match = header.match(line);
        if (!match.hasMatch())
            continue; // arguments of the message before
        Record record;
        record.type = match.captured(1);
        record.sender = match.captured(2);
        record.destination = match.captured(3);
        auto fields = field.globalMatch(match.captured(4));
        while (fields.hasNext()) {
            const QRegularExpressionMatch f = fields.next();
            const QString key = f.captured(1);
            const QString value = f.captured(2);
            if (key == QLatin1String("serial"))
                record.serial = value.toLongLong();
            else if (key == QLatin1String("reply_serial"))
                record.replySerial = value.toLongLong();
            else if (key == QLatin1String("member"))
                record.member = value;
        }
        if (record.type == QLatin1String("signal") && record.member == QLatin1String("NameLost")
            && record.sender == QLatin1String("org.freedesktop.DBus"))
            m_ready = true;
        m_records.append(record);
    }
}
