#ifndef OPERATIONCOLLECTOR_H
#define OPERATIONCOLLECTOR_H

#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

/*!
 * The receiver of browses and queries started directly on a framework source: keeps
 * every answer, and tells when the operation has ended (last result or error).
 */
class OperationCollector : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        uint id = 0;
        QString objectId;
        QVariantMap metaData;
        uint index = 0;
        int remaining = 0;
    };
    struct Row
    {
        uint id = 0;
        QStringList values;
        uint index = 0;
        int remaining = 0;
    };

    QList<Result> results;
    QList<Row> rows;
    uint errorCode = 0;
    QString errorMessage;
    int ended = 0;
    /*! Called for every result, e.g. to cancel from inside the callback. */
    std::function<void(const Result &)> onResult;

    bool waitForEnd(int timeoutMs = 10000);
    QStringList objectIds() const;
    QStringList titles() const;

    static const char *const BrowseResult;
    static const char *const BrowseError;
    static const char *const QueryResult;
    static const char *const QueryError;

public Q_SLOTS:
    void handleBrowseResult(uint browseId, QString objectId, QVariantMap metaData, uint index,
                            int remaining);
    void handleBrowseError(uint browseId, uint code, QString message);
    void handleQueryResult(uint queryId, QStringList row, uint index, int remaining);
    void handleQueryError(uint queryId, int code, QString message);

Q_SIGNALS:
    void finished();
};

#endif
