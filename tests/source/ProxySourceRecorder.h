#ifndef PROXYSOURCERECORDER_H
#define PROXYSOURCERECORDER_H

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QList>

#include <functional>

/*!
 * A client's proxy-source object, as a test sees it: registered at
 * "/com/oxbel/tuvo/proxy_source/<source uuid>" on a client connection, it records
 * every "browse_result" and "query_result" call with its arrival time. The records
 * are read field by field in wire order here, independently of the wrapper's own
 * demarshalling operators.
 */
class ProxySourceRecorder : public QDBusVirtualObject
{
    Q_OBJECT
public:
    struct BrowseCall {
        uint browseId = 0;
        QList<TuvoBrowseResultDBusStruct> records;
        qint64 atMs = 0;
        QString signature;
        QString sender;
        bool replyRequired = true;
    };
    struct QueryCall {
        uint queryId = 0;
        int remainingCount = 0;
        QList<TuvoQueryResultDBusStruct> rows;
        int errorCode = 0;
        QString errorMessage;
        qint64 atMs = 0;
        QString signature;
        bool replyRequired = true;
    };

    ProxySourceRecorder(const QDBusConnection &connection, const QString &sourceUuid,
                        QObject *parent = nullptr);
    ~ProxySourceRecorder() override;

    bool isRegistered() const { return m_registered; }
    QString path() const { return m_path; }

    QList<BrowseCall> browseCalls() const { return m_browseCalls; }
    QList<QueryCall> queryCalls() const { return m_queryCalls; }
    /*! Calls of one browse or query only. */
    QList<BrowseCall> browseCalls(uint browseId) const;
    QList<QueryCall> queryCalls(uint queryId) const;
    /*! Every browse record of \a browseId, in arrival order. */
    QList<TuvoBrowseResultDBusStruct> browseRecords(uint browseId) const;
    /*! Every query row of \a queryId, in arrival order. */
    QList<TuvoQueryResultDBusStruct> queryRows(uint queryId) const;
    /*! Whether the last result (or an error) of a browse or query has arrived. */
    bool isBrowseDone(uint browseId) const;
    bool isQueryDone(uint queryId) const;
    /*! Calls to other members or with other signatures. */
    int strayCalls() const { return m_stray; }
    void clear();

    bool waitForBrowseCalls(int n, int timeoutMs = 10000);
    bool waitForQueryCalls(int n, int timeoutMs = 10000);
    /*! Until \a browseId has at least \a count records, or has ended. */
    bool waitForBrowseRecords(uint browseId, int count, int timeoutMs = 20000);
    bool waitForBrowseEnd(uint browseId, int timeoutMs = 20000);
    bool waitForQueryEnd(uint queryId, int timeoutMs = 20000);

    /*! Milliseconds on the recorder's clock, which arrival times use. */
    qint64 now() const { return m_clock.elapsed(); }

    static QList<TuvoBrowseResultDBusStruct> readBrowseRecords(const QDBusArgument &argument);
    static QList<TuvoQueryResultDBusStruct> readQueryRows(const QDBusArgument &argument);

    QString introspect(const QString &path) const override;
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void record(const QDBusMessage &message, qint64 atMs);
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs);

    QDBusConnection m_connection;
    QString m_path;
    bool m_registered = false;
    QElapsedTimer m_clock;
    QList<BrowseCall> m_browseCalls;
    QList<QueryCall> m_queryCalls;
    int m_stray = 0;
};

#endif
