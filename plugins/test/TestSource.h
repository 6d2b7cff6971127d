#ifndef TESTSOURCE_H
#define TESTSOURCE_H

#include "TestPropertyHost.h"

#include <TuvoBrowseReply.h>
#include <TuvoQueryReply.h>
#include <TuvoSource.h>

#include <QList>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QVariantList>

class TestSourceControl;

/*!
 * A source of the test plugin that answers only when told to.
 *
 * browse() and query() record their arguments and return a fresh id; they deliver
 * nothing by themselves, except results set up with setInlineResults(), which come
 * inside the call. Everything else is delivered by
 * TestSourceControl on a test's request: results and errors in a burst or one at a
 * time, with the operation's own id or another one, and a stream of results as fast as
 * the source can produce them. Operations are kept (and can still be answered) after
 * they have ended, so that a test can check what the host does with late answers.
 */
class TestSource : public TuvoSource
{
    Q_OBJECT
public:
    TestSource(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TestSource() override;

    uint browse(const QString &objectId, const QString &predicate,
                const QStringList &additionalPredicates, uint skipCount, uint itemCount,
                QObject *receiver, const char *resultMember, const char *errorMember) override;
    void cancelBrowse(uint browseId) override;
    uint query(const QString &query, QObject *receiver, const char *resultMember,
               const char *errorMember) override;
    void cancelQuery(uint queryId) override;

    // Extension properties are steered by the test through TestPropertyHost.
    bool setExtensionProperty(const QString &name, const QVariant &value) override
    {
        return m_propertyHost->setExtensionProperty(name, value);
    }
    bool requestExtensionProperty(const QString &name, QObject *receiver,
                                  const char *member) override
    {
        return m_propertyHost->requestExtensionProperty(name, receiver, member);
    }

    /*! The next browse (query) delivers \a count results inside the call, the first
     *  with remaining count \a firstRemaining, each next one less. */
    void setInlineResults(int count, int firstRemaining);
    void setInlineRows(int count, int firstRemaining);

    QList<uint> browseIds() const { return m_browses.keys(); }
    QList<uint> queryIds() const { return m_queries.keys(); }
    QVariantList lastBrowseArguments() const { return m_lastBrowse; }
    QString lastQuery() const { return m_lastQuery; }
    QList<uint> cancelledBrowses() const { return m_cancelledBrowses; }
    QList<uint> cancelledQueries() const { return m_cancelledQueries; }

    /*! Sends one result of browse \a browseId under the id \a sentId. */
    bool sendResult(uint browseId, uint sentId, const QString &objectId, const QVariantMap &meta,
                    uint index, int remaining);
    /*! Sends \a count generated results, remaining counts from \a firstRemaining down. */
    int sendResults(uint browseId, int count, int firstRemaining);
    bool sendError(uint browseId, uint sentId, uint code, const QString &message);
    bool sendRow(uint queryId, uint sentId, const QStringList &row, uint index, int remaining);
    int sendRows(uint queryId, int count, int firstRemaining);
    bool sendQueryError(uint queryId, uint sentId, int code, const QString &message);

    /*!
     * Delivers \a count results of about 8 metadata keys to browse \a browseId, the last
     * with remaining count 0, \a slice results per turn of the event loop (0: all at
     * once). The metadata come from a small fixed set, so nothing grows with \a count.
     */
    bool streamResults(uint browseId, int count, int slice);

private Q_SLOTS:
    void streamSlice();

private:
    struct Operation {
        uint id = 0;
        QPointer<QObject> receiver;
        QByteArray resultMember;
        QByteArray errorMember;
        uint nextIndex = 0;
    };
    struct Stream {
        TuvoBrowseReply reply;
        int total = 0;
        int sent = 0;
        int slice = 0;
    };

    TuvoBrowseReply browseReply(uint browseId, uint sentId) const;
    TuvoQueryReply queryReply(uint queryId, uint sentId) const;
    static QVariantMap generatedMetaData(uint index);

    TestSourceControl *m_control;
    QMap<uint, Operation> m_browses;
    QMap<uint, Operation> m_queries;
    int m_inlineResults = 0;
    int m_inlineResultsRemaining = 0;
    int m_inlineRows = 0;
    int m_inlineRowsRemaining = 0;
    QVariantList m_lastBrowse;
    QString m_lastQuery;
    QList<uint> m_cancelledBrowses;
    QList<uint> m_cancelledQueries;
    Stream m_stream;
    QTimer m_streamTimer;
    TestPropertyHost *m_propertyHost = new TestPropertyHost(this);
};

#endif
