#include "OperationCollector.h"

#include <QSignalSpy>

const char *const OperationCollector::BrowseResult =
    "1handleBrowseResult(uint,QString,QVariantMap,uint,int)";
const char *const OperationCollector::BrowseError = "1handleBrowseError(uint,uint,QString)";
const char *const OperationCollector::QueryResult =
    "1handleQueryResult(uint,QStringList,uint,int)";
const char *const OperationCollector::QueryError = "1handleQueryError(uint,int,QString)";

bool OperationCollector::waitForEnd(int timeoutMs)
{
    if (ended > 0)
        return true;
    QSignalSpy spy(this, &OperationCollector::finished);
    return spy.wait(timeoutMs);
}

QStringList OperationCollector::objectIds() const
{
    QStringList ids;
    for (const Result &result : results)
        ids.append(result.objectId);
    return ids;
}

QStringList OperationCollector::titles() const
{
    QStringList titles;
    for (const Result &result : results)
        titles.append(result.metaData.value(QStringLiteral("title")).toString());
    return titles;
}

void OperationCollector::handleBrowseResult(uint browseId, QString objectId, QVariantMap metaData,
                                            uint index, int remaining)
{
    const Result result{browseId, objectId, metaData, index, remaining};
    results.append(result);
    if (onResult)
        onResult(result);
    if (remaining == 0) {
        ++ended;
        Q_EMIT finished();
    }
}

void OperationCollector::handleBrowseError(uint, uint code, QString message)
{
    errorCode = code;
    errorMessage = message;
    ++ended;
    Q_EMIT finished();
}

void OperationCollector::handleQueryResult(uint queryId, QStringList row, uint index, int remaining)
{
    rows.append({queryId, row, index, remaining});
    if (remaining == 0) {
        ++ended;
        Q_EMIT finished();
    }
}

void OperationCollector::handleQueryError(uint, int code, QString message)
{
    errorCode = uint(code);
    errorMessage = message;
    ++ended;
    Q_EMIT finished();
}
