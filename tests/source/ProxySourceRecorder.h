#ifndef PROXYSOURCERECORDER_H
#define PROXYSOURCERECORDER_H

#include <TuvoBrowseResultDBusStruct.h>
#include <TuvoQueryResultDBusStruct.h>

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QList>

/*!
 * A client's proxy-source object, as a test sees it: registered at
 * "/com/oxbel/tuvo/proxy_source/<source uuid>" on a client connection, it records
 * every "browse_result" (u a(iusaysus)) and "query_result" (u i a(uas) i s) call; other
 * calls count as stray. The records are read field by field in wire order here,
 * independently of the wrapper's own demarshalling operators.
 */
class ProxySourceRecorder : public QDBusVirtualObject
{
    Q_OBJECT
public:
    struct BrowseCall {
        uint browseId = 0;
        QList<TuvoBrowseResultDBusStruct> records;
        QString sender;
        bool replyRequired = true;
    };
    struct QueryCall {
        uint queryId = 0;
        int remainingCount = 0;
        QList<TuvoQueryResultDBusStruct> rows;
        int errorCode = 0;
        QString errorMessage;
        bool replyRequired = true;
    };

    ProxySourceRecorder(const QDBusConnection &connection, const QString &sourceUuid,
                        QObject *parent = nullptr);
    ~ProxySourceRecorder() override;

    bool isRegistered() const { return m_registered; }
    /*! Calls of one browse or query. */
    QList<BrowseCall> browseCalls(uint browseId) const;
    QList<QueryCall> queryCalls(uint queryId) const;
    /*! Every browse record (query row) of one operation, in arrival order. */
    QList<TuvoBrowseResultDBusStruct> browseRecords(uint browseId) const;
    QList<TuvoQueryResultDBusStruct> queryRows(uint queryId) const;
    /*! Whether the last result (or an error) of a browse or query has arrived. */
    bool isBrowseDone(uint browseId) const;
    bool isQueryDone(uint queryId) const;
    int strayCalls() const { return m_stray; }

    bool waitForBrowseEnd(uint browseId, int timeoutMs = 20000);
    bool waitForQueryEnd(uint queryId, int timeoutMs = 20000);

    static QList<TuvoBrowseResultDBusStruct> readBrowseRecords(const QDBusArgument &argument);
    static QList<TuvoQueryResultDBusStruct> readQueryRows(const QDBusArgument &argument);

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    void record(const QDBusMessage &message);

    QDBusConnection m_connection;
    QString m_path;
    bool m_registered = false;
    QList<BrowseCall> m_browseCalls;
    QList<QueryCall> m_queryCalls;
    int m_stray = 0;
};

#endif
