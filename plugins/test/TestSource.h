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

/*!
 * A source of the test plugin that answers only when told to, through its public
 * slots: its control, which a test drives from outside the wrapper, at
 * "/com/oxbel/tuvo/test/source/<uuid>" on the wrapper's own connection, with the
 * interface "com.oxbel.tuvo.test.Source".
 *
 * browse() and query() record their arguments and return a fresh id; they deliver
 * nothing by themselves. Every deliver call answers the operation at once, inside the call,
 * so that everything the host sends in response has been sent before the reply. Calls
 * that take a sentId use it as the id of the answer, to play a source that reports
 * under a wrong id; the others use the operation's own id. Operations are kept (and
 * can still be answered) after they have ended, so that a test can check what the host
 * does with late answers.
 */
class TestSource : public TuvoSource
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Source")
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
    void cancelQuery(uint) override { }

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

public Q_SLOTS:
    QList<uint> browses() const { return m_browses.keys(); }
    QList<uint> queries() const { return m_queries.keys(); }
    /*! objectId, predicate, additional predicates, skip count, item count. */
    QVariantList last_browse() const { return m_lastBrowse; }
    QString last_query() const { return m_lastQuery; }
    QList<uint> cancelled_browses() const { return m_cancelledBrowses; }
    /*! Sends \a count generated results, remaining counts from \a firstRemaining down. */
    int deliver_results(uint browseId, int count, int firstRemaining);
    /*! Sends one result of browse \a browseId under the id \a sentId. */
    bool deliver_result(uint browseId, uint sentId, const QString &objectId,
                        const QVariantMap &meta, uint index, int remaining);
    bool deliver_error(uint browseId, uint sentId, uint code, const QString &message);
    int deliver_rows(uint queryId, int count, int firstRemaining);
    bool deliver_row(uint queryId, uint sentId, const QStringList &row, uint index, int remaining);
    bool deliver_query_error(uint queryId, uint sentId, int code, const QString &message);
    /*!
     * Delivers \a count results of about 8 metadata keys to browse \a browseId, the last
     * with remaining count 0, \a slice results per turn of the event loop (0: all at
     * once). The metadata come from a small fixed set, so nothing grows with \a count.
     */
    bool stream_results(uint browseId, int count, int slice);
    void emit_container_changed(const QString &objectId) { Q_EMIT containerChanged(TuvoContent(objectId)); }
    void emit_metadata_changed(const QString &objectId) { Q_EMIT metadataChanged(TuvoContent(objectId)); }

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

    template <typename Reply>
    static Reply reply(const QMap<uint, Operation> &operations, uint id, uint sentId);
    static QVariantMap generatedMetaData(uint index);

    QString m_controlPath;
    bool m_published = false;
    QMap<uint, Operation> m_browses;
    QMap<uint, Operation> m_queries;
    QVariantList m_lastBrowse;
    QString m_lastQuery;
    QList<uint> m_cancelledBrowses;
    Stream m_stream;
    QTimer m_streamTimer;
    TestPropertyHost *m_propertyHost = new TestPropertyHost(this);
};

#endif
