#ifndef PROXYSOURCERECORDER_H
#define PROXYSOURCERECORDER_H

#include <QDBusVirtualObject>
#include <QMap>
#include <QStringList>
#include <QVariantMap>

/*!
 * The client's proxy-source object, as the wrapper calls it: records every
 * browse_result and query_result for one source, read straight from the messages
 * against the interface contract (dbus/com.oxbel.tuvo.proxy_source.xml).
 */
class ProxySourceRecorder : public QDBusVirtualObject
{
    Q_OBJECT
public:
    struct Record
    {
        int remaining = 0;
        uint index = 0;
        QString objectId;
        QByteArray metadata;
        uint errorCode = 0;
        QString errorMessage;
    };
    struct Row
    {
        uint index = 0;
        QStringList values;
    };

    /*! Registers at /com/oxbel/tuvo/proxy_source/<uuid> on \a connection. */
    bool attach(const QDBusConnection &connection, const QString &uuid);

    QList<Record> browse(uint id) const { return m_browses.value(id); }
    QList<Row> query(uint id) const { return m_queries.value(id); }
    int browseMessages(uint id) const { return m_browseMessages.value(id); }
    bool isBrowseDone(uint id) const;
    bool isQueryDone(uint id) const { return m_queryDone.contains(id); }
    bool waitForBrowse(uint id, int timeoutMs = 20000);
    bool waitForQuery(uint id, int timeoutMs = 20000);
    bool waitForRecords(uint id, int count, int timeoutMs = 20000);

    /*! The metadata blob of a browse record as a map (strings, numbers, booleans). */
    static QVariantMap decode(const QByteArray &blob, bool *ok = nullptr);

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;
    QString introspect(const QString &path) const override;

Q_SIGNALS:
    void received();

private:
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    QMap<uint, QList<Record>> m_browses;
    QMap<uint, int> m_browseMessages;
    QMap<uint, QList<Row>> m_queries;
    QMap<uint, bool> m_queryDone;
};

#endif
