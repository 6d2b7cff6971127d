#ifndef TUVOCLIENTQUERY_H
#define TUVOCLIENTQUERY_H

#include "TuvoClientOperation.h"

#include <TuvoQueryResultDBusStruct.h>

/*!
 * One query: rows arrive batch by batch as rowsReceived(); the query ends with
 * finished(). Because a source sends its last rows and an error that follows them
 * as two messages, the query finishes only once the source's process has answered a
 * ping after the last rows: an error that was on its way still ends it as an error.
 *
 * A source says "no rows" with one last row of no values; it is not delivered.
 */
class TUVO_CLIENT_EXPORT TuvoClientQuery : public TuvoClientOperation
{
    Q_OBJECT

Q_SIGNALS:
    void rowsReceived(const QList<TuvoQueryResultDBusStruct> &rows);

protected:
    void deliver(const QDBusMessage &message) override;

private:
    friend class TuvoClientSource;
    explicit TuvoClientQuery(TuvoClientSource *source);
};

#endif
