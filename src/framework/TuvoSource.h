#ifndef TUVOSOURCE_H
#define TUVOSOURCE_H

#include "TuvoContent.h"
#include "TuvoFrameworkGlobal.h"
#include "TuvoMediaObject.h"

#include <QStringList>

/*!
 * A media source: browses and queries a collection.
 *
 * browse() and query() are asynchronous. They return a non-zero id when the operation
 * started, and 0 when it was refused (bad arguments, or a receiver without the
 * expected slots; see TuvoBrowseReply and TuvoQueryReply), in which case no answer
 * follows. Answers may come inside the call or later through the event loop, always
 * on the main thread. The base class refuses everything; a plugin overrides what its
 * source can do.
 */
class TUVO_FRAMEWORK_EXPORT TuvoSource : public TuvoMediaObject
{
    Q_OBJECT
public:
    TuvoSource(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TuvoSource() override;

    /*!
     * Lists the children of the container \a objectId ("" is the root), skipping
     * \a skipCount entries and delivering at most \a itemCount (0: all). The meaning
     * of the predicates is the source's.
     */
    virtual uint browse(const QString &objectId, const QString &predicate,
                        const QStringList &additionalPredicates, uint skipCount,
                        uint itemCount, QObject *receiver, const char *resultMember,
                        const char *errorMember);
    /*! Stops delivering results of a browse; unknown ids are ignored. */
    virtual void cancelBrowse(uint browseId);

    /*! Searches the collection; the syntax of \a query is the source's. */
    virtual uint query(const QString &query, QObject *receiver, const char *resultMember,
                       const char *errorMember);
    virtual void cancelQuery(uint queryId);

Q_SIGNALS:
    /*! The children of a container changed. */
    void containerChanged(const TuvoContent &container);
    /*! The metadata of an item changed. */
    void metadataChanged(const TuvoContent &item);

protected:
    /*! A fresh operation id for browse() and query(), never 0. */
    uint nextOperationId();

private:
    uint m_lastOperationId = 0;
};

#endif
