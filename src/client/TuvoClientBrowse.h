#ifndef TUVOCLIENTBROWSE_H
#define TUVOCLIENTBROWSE_H

#include "TuvoClientBrowseResult.h"
#include "TuvoClientOperation.h"

/*!
 * One browse: results arrive batch by batch, in the order the source sent them, as
 * resultsReceived(); the browse ends with finished(). An error the source reports
 * ends it after the results sent before the error have been delivered.
 *
 * A source says "no results" with one last record that has neither id nor
 * metadata; it ends the browse and is not delivered as a result.
 */
class TUVO_CLIENT_EXPORT TuvoClientBrowse : public TuvoClientOperation
{
    Q_OBJECT

Q_SIGNALS:
    void resultsReceived(const QList<TuvoClientBrowseResult> &results);
    /*!
     * The same batch as resultsReceived(), before it and as the records came, the
     * metadata still in their blob (TuvoMetadataDecoder reads it). For a receiver that
     * keeps up with many results: the decoding for resultsReceived() is done only when
     * that signal is connected.
     */
    void recordsReceived(const QList<TuvoBrowseResultDBusStruct> &records);

protected:
    void deliver(const QDBusMessage &message) override;

private:
    friend class TuvoClientSource;
    explicit TuvoClientBrowse(TuvoClientSource *source);
};

#endif
