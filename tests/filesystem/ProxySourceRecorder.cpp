#include "ProxySourceRecorder.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtEndian>

bool ProxySourceRecorder::attach(const QDBusConnection &connection, const QString &uuid)
{
    QDBusConnection bus = connection;
    return bus.registerVirtualObject(QStringLiteral("/com/oxbel/tuvo/proxy_source/") + uuid, this);
}

bool ProxySourceRecorder::isBrowseDone(uint id) const
{
    const QList<Record> records = m_browses.value(id);
    return !records.isEmpty() && (records.last().remaining == 0 || records.last().errorCode != 0);
}

bool ProxySourceRecorder::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        connect(this, &ProxySourceRecorder::received, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(qMax<qint64>(1, deadline.remainingTime())), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool ProxySourceRecorder::waitForBrowse(uint id, int timeoutMs)
{
    return waitFor([this, id] { return isBrowseDone(id); }, timeoutMs);
}

bool ProxySourceRecorder::waitForQuery(uint id, int timeoutMs)
{
    return waitFor([this, id] { return isQueryDone(id); }, timeoutMs);
}

bool ProxySourceRecorder::waitForRecords(uint id, int count, int timeoutMs)
{
    return waitFor([this, id, count] { return m_browses.value(id).size() >= count; }, timeoutMs);
}

bool ProxySourceRecorder::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.interface() != QLatin1String("com.oxbel.tuvo.proxy_source"))
        return false;
    const QVariantList arguments = message.arguments();
    if (message.member() == QLatin1String("browse_result") && message.signature() == QLatin1String("ua(iusaysus)")) {
        const uint id = arguments.at(0).toUInt();
        const QDBusArgument batch = arguments.at(1).value<QDBusArgument>();
        batch.beginArray();
        while (!batch.atEnd()) {
            Record record;
            batch.beginStructure();
            batch >> record.remaining >> record.index >> record.objectId >> record.metadata;
            QString reserved;
            batch >> reserved >> record.errorCode >> record.errorMessage;
            batch.endStructure();
            m_browses[id].append(record);
        }
        batch.endArray();
        ++m_browseMessages[id];
    } else if (message.member() == QLatin1String("query_result")
               && message.signature() == QLatin1String("uia(uas)is")) {
        const uint id = arguments.at(0).toUInt();
        const int remaining = arguments.at(1).toInt();
        const QDBusArgument batch = arguments.at(2).value<QDBusArgument>();
        batch.beginArray();
        while (!batch.atEnd()) {
            Row row;
            batch.beginStructure();
            batch >> row.index >> row.values;
            batch.endStructure();
            m_queries[id].append(row);
        }
        batch.endArray();
        if (remaining == 0 || arguments.at(3).toInt() != 0)
            m_queryDone.insert(id, true);
    } else {
        return false;
    }
    Q_EMIT received();
    return true;
}

QString ProxySourceRecorder::introspect(const QString &) const
{
    return QString();
}

QVariantMap ProxySourceRecorder::decode(const QByteArray &blob, bool *ok)
{
    QVariantMap result;
    int at = 0;
    const auto fail = [&] {
        if (ok)
            *ok = false;
        return result;
    };
    while (at < blob.size()) {
        const int end = int(blob.indexOf('\0', at));
        if (end < 0 || end + 9 > blob.size())
            return fail();
        const QString key = QString::fromLatin1(blob.mid(at, end - at));
        const char *data = blob.constData() + end + 1;
        if (qFromLittleEndian<quint32>(data) != 1)
            return fail();
        const quint32 tag = qFromLittleEndian<quint32>(data + 4);
        at = end + 9;
        const char *value = blob.constData() + at;
        const int left = int(blob.size()) - at;
        switch (tag) {
        case 20: if (left < 4) return fail(); result.insert(key, qFromLittleEndian<qint32>(value) != 0); at += 4; break;
        case 24: if (left < 4) return fail(); result.insert(key, qFromLittleEndian<qint32>(value)); at += 4; break;
        case 28: if (left < 4) return fail(); result.insert(key, qFromLittleEndian<quint32>(value)); at += 4; break;
        case 40: if (left < 8) return fail(); result.insert(key, qFromLittleEndian<qint64>(value)); at += 8; break;
        case 44: if (left < 8) return fail(); result.insert(key, qFromLittleEndian<quint64>(value)); at += 8; break;
        case 60: {
            if (left < 8)
                return fail();
            double number;
            const quint64 bits = qFromLittleEndian<quint64>(value);
            memcpy(&number, &bits, 8);
            result.insert(key, number);
            at += 8;
            break;
        }
        case 12: if (left < 1) return fail(); result.insert(key, QChar::fromLatin1(*value)); at += 1; break;
        case 64: {
            const int stop = int(blob.indexOf('\0', at));
            if (stop < 0)
                return fail();
            result.insert(key, QString::fromLatin1(blob.mid(at, stop - at)));
            at = stop + 1;
            break;
        }
        default:
            return fail();
        }
    }
    if (ok)
        *ok = true;
    return result;
}
