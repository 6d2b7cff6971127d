#ifndef TUVOCLIBROWSECOMMAND_H
#define TUVOCLIBROWSECOMMAND_H

#include "TuvoCliCommand.h"

#include <QElapsedTimer>
#include <QPointer>

class TuvoClientOperation;
class TuvoClientSource;
struct TuvoBrowseResultDBusStruct;
struct TuvoClientBrowseResult;
struct TuvoQueryResultDBusStruct;

/*!
 * browse and query: results are printed batch by batch as they arrive. An interrupt
 * cancels the operation at the source and waits for the source to confirm before
 * exiting (a second interrupt does not wait).
 */
class TuvoCliBrowseCommand : public TuvoCliCommand
{
    Q_OBJECT
public:
    TuvoCliBrowseCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                         TuvoCliOutput *output, QObject *parent = nullptr);

    void start() override;
    void interrupt(int count) override;

private:
    void run(const TuvoClientObjectInfo &source);
    void printResults(const QList<TuvoClientBrowseResult> &results);
    /*! The JSON lines, written from the records as they came (TuvoCliJsonWriter). */
    void printRecords(const QList<TuvoBrowseResultDBusStruct> &records);
    void printRows(const QList<TuvoQueryResultDBusStruct> &rows);
    void showProgress(qint32 remaining);
    void handleFinished(const TuvoClientError &error);

    bool m_browse;
    TuvoClientSource *m_source = nullptr;
    QPointer<TuvoClientOperation> m_operation;
    bool m_interrupted = false;
    bool m_headerPrinted = false;
    int m_malformed = 0;
    /*! The JSON lines of a batch; reused, so that it stops growing. */
    QByteArray m_lines;
    QElapsedTimer m_clock;
    qint64 m_nextProgressMs = 0;
};

#endif
