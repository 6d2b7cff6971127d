#ifndef TUVOSOURCEADAPTOR_H
#define TUVOSOURCEADAPTOR_H

#include "TuvoSendThrottle.h"

#include <TuvoBusNames.h>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QStringList>

#include <functional>

class TuvoContent;
class TuvoResultWindow;
class TuvoSource;
struct TuvoBrowseResultDBusStruct;

/*!
 * The interface "com.oxbel.tuvo.source" of one published source.
 *
 * browse and query start the operation at the source and return its id (0: refused).
 * The results go back to the caller later, through a transaction per operation
 * (TuvoSourceAdaptorBrowseTransaction, TuvoSourceAdaptorQueryTransaction) that sends
 * them in batches to the caller's proxy-source object. The adaptor keeps no table of
 * operations: each transaction is a Qt child of the adaptor and deletes itself when its
 * operation has ended, or a while after its client cancelled it (TuvoSourceOperation),
 * and destroying the source ends every running one with an error after the results it
 * holds, so that no client waits for ever. Only the client that
 * started an operation may cancel it.
 */
class TuvoSourceAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TUVO_SOURCE_INTERFACE)
public:
    /*! Becomes a child of \a source, which therefore owns it. */
    explicit TuvoSourceAdaptor(TuvoSource *source);
    ~TuvoSourceAdaptor() override;

    /*!
     * Fills \a record from one browse result: the counts as the source reported them,
     * the item's uuid and its metadata blob (TuvoMetadataEncoder), no error text. Without
     * \a content the object id and the blob stay empty.
     */
    static void createBrowseResult(TuvoBrowseResultDBusStruct &record, uint index,
                                   int remainingCount, const TuvoContent *content,
                                   uint errorCode);

Q_SIGNALS:
    void container_changed(const QString &objectId);
    void metadata_changed(const QString &objectId);

public Q_SLOTS:
    uint browse(const QString &objId, const QString &predicate,
                const QStringList &additionalPredicates, uint skipCount, uint itemCount,
                const QDBusMessage &message);
    void cancel_browse(uint browseId, const QDBusMessage &message);
    uint query(const QString &query, const QDBusMessage &message);
    void cancel_query(uint queryId, const QDBusMessage &message);
    void set_metadata(const QDBusMessage &message);

private Q_SLOTS:
    void containerChangedSlot(const TuvoContent &object);
    void metadataChangedSlot(const TuvoContent &object);

private:
    /*! Whether \a message's sender may cancel operation \a id (see the .cpp). */
    bool mayCancel(uint id, bool isBrowse, const QDBusMessage &message);
    /*!
     * Calls \a method with \a arguments on the proxy-source object of \a service (the
     * caller's unique name), at "/com/oxbel/tuvo/proxy_source/" + the source's uuid,
     * within the operation's \a window of the client's answers (TuvoResultWindow). Every
     * transaction of the adaptor sends through here, so one throttle paces them all
     * towards the daemon. False when the message could not be queued.
     */
    bool sendToProxySource(TuvoResultWindow &window, const QString &service,
                           const QString &method, const QVariantList &arguments);
    /*! What a transaction of \a service's operation sends its \a method calls with. */
    std::function<bool(const QVariantList &)> sendTo(const QString &service, const QString &method);

    TuvoSource *source;
    /*! The proxy-source path of the clients; known without the source, which is gone
     *  by the time this adaptor ends its last operations. */
    const QString proxyPath;
    TuvoSendThrottle throttle;
};

#endif
