#include "TuvoSourceAdaptor.h"

#include "TuvoBrowseResultDBusStruct.h"
#include "TuvoMetadataEncoder.h"
#include "TuvoResultWindow.h"
#include "TuvoSourceAdaptorBrowseTransaction.h"
#include "TuvoSourceAdaptorQueryTransaction.h"
#include "TuvoSourceLogging.h"

#include <TuvoContent.h>
#include <TuvoSource.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDebug>

#include <memory>

namespace {
// The transactions' slots as the source will call them. The query texts carry a blank
// after each comma; normalisation makes that harmless.
const char *const BrowseResultSlot = "1handleBrowseResult(uint,QString,QMap<QString,QVariant>,uint,int)";
const char *const BrowseErrorSlot = "1handleBrowseError(uint,uint,QString)";
const char *const QueryResultSlot = "1handleQueryResult(uint, QStringList, uint, int)";
const char *const QueryErrorSlot = "1handleQueryError(uint, int, QString)";
const QString BrowseResultMethod = QStringLiteral("browse_result");
const QString QueryResultMethod = QStringLiteral("query_result");

void registerStringListVector()
{
    // Part of the interface's type set although no message of ours carries it; Qt 6
    // knows QVector<QStringList> as QList<QStringList>, so its old name is kept too.
    static const bool registered = [] {
        qDBusRegisterMetaType<QVector<QStringList>>();
        qRegisterMetaType<QVector<QStringList>>("QVector<QStringList>");
        return true;
    }();
    Q_UNUSED(registered);
}

QString quotedList(const QStringList &list)
{
    QString text;
    QDebug debug(&text);
    debug.nospace() << '(';
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i)
            debug << ", ";
        debug << list.at(i);
    }
    debug << ')';
    return text;
}
} // namespace

TuvoSourceAdaptor::TuvoSourceAdaptor(TuvoSource *source)
    : QDBusAbstractAdaptor(source)
    , source(source)
    , proxyPath(TuvoBusNames::proxySourceObjectPath(source->uuid()))
{
    connect(source, &TuvoSource::containerChanged, this, &TuvoSourceAdaptor::containerChangedSlot);
    connect(source, &TuvoSource::metadataChanged, this, &TuvoSourceAdaptor::metadataChangedSlot);
    registerStringListVector();
}

TuvoSourceAdaptor::~TuvoSourceAdaptor()
{
    // The source is being withdrawn: the operations still running end now, so their
    // clients get what was held for them and hear that nothing more will come.
    for (TuvoSourceOperation *operation : findChildren<TuvoSourceOperation *>(Qt::FindDirectChildrenOnly))
        operation->withdrawn();
}

bool TuvoSourceAdaptor::sendToProxySource(TuvoResultWindow &window, const QString &service,
                                          const QString &method, const QVariantList &arguments)
{
    static const QString interface = QLatin1String(TuvoBusNames::ProxySourceInterface);
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, proxyPath, interface, method);
    message.setArguments(arguments);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!window.send(bus, message))
        return false;
    throttle.sent(bus);
    return true;
}

std::function<bool(const QVariantList &)> TuvoSourceAdaptor::sendTo(const QString &service,
                                                                  const QString &method)
{
    // The transactions are children of this adaptor, so it outlives every send function;
    // each operation keeps to its own client's pace.
    auto window = std::make_shared<TuvoResultWindow>(service);
    return [this, service, method, window](const QVariantList &arguments) {
        return sendToProxySource(*window, service, method, arguments);
    };
}

void TuvoSourceAdaptor::createBrowseResult(TuvoBrowseResultDBusStruct &record, uint index,
                                           int remainingCount, const TuvoContent *content,
                                           uint errorCode)
{
    record.remainingCount = remainingCount;
    record.index = index;
    if (content) {
        record.objectId = content->uuid();
        record.metadata = TuvoMetadataEncoder::encode(content->metaData());
    } else {
        record.objectId = QString();
        record.metadata = QByteArray();
    }
    record.reserved = QString();
    record.errorCode = errorCode;
    record.errorMessage = QString();
}

uint TuvoSourceAdaptor::browse(const QString &objId, const QString &predicate,
                               const QStringList &additionalPredicates, uint skipCount,
                               uint itemCount, const QDBusMessage &message)
{
    qCDebug(tuvoDefaultLog) << "uint TuvoSourceAdaptor::browse(const QString&, const QString&, "
                               "const QStringList&, uint, uint, const QDBusMessage&)"
                            << objId << predicate << qUtf8Printable(quotedList(additionalPredicates))
                            << skipCount << itemCount;
    auto *transaction =
        new TuvoSourceAdaptorBrowseTransaction(sendTo(message.service(), BrowseResultMethod), this);
    const uint browseId = source->browse(objId, predicate, additionalPredicates, skipCount,
                                         itemCount, transaction, BrowseResultSlot, BrowseErrorSlot);
    transaction->setClient(message.service());
    if (browseId == 0)
        delete transaction;
    else
        transaction->expectBrowseId(browseId);
    return browseId;
}

bool TuvoSourceAdaptor::mayCancel(uint id, bool isBrowse, const QDBusMessage &message)
{
    // Ids are small counters that any client can guess: an operation that is still
    // running is cancelled only by the client that started it. Ids of no running
    // operation go to the source as they are.
    for (auto *operation : findChildren<TuvoSourceOperation *>(Qt::FindDirectChildrenOnly)) {
        const bool sameKind = isBrowse == bool(qobject_cast<TuvoSourceAdaptorBrowseTransaction *>(operation));
        if (!sameKind || operation->id() != id)
            continue;
        if (operation->client() != message.service()) {
            qCWarning(lcTuvoSource, "%s %u not cancelled: %s did not start it",
                      isBrowse ? "browse" : "query", id, qUtf8Printable(message.service()));
            return false;
        }
        operation->cancelled();
    }
    return true;
}

void TuvoSourceAdaptor::cancel_browse(uint browseId, const QDBusMessage &message)
{
    if (mayCancel(browseId, true, message))
        source->cancelBrowse(browseId);
}

uint TuvoSourceAdaptor::query(const QString &query, const QDBusMessage &message)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptor::query" << query;
    auto *transaction =
        new TuvoSourceAdaptorQueryTransaction(sendTo(message.service(), QueryResultMethod), this);
    const uint queryId = source->query(query, transaction, QueryResultSlot, QueryErrorSlot);
    transaction->setClient(message.service());
    if (queryId == 0)
        delete transaction;
    else
        transaction->expectQueryId(queryId);
    return queryId;
}

void TuvoSourceAdaptor::cancel_query(uint queryId, const QDBusMessage &message)
{
    if (mayCancel(queryId, false, message))
        source->cancelQuery(queryId);
}

void TuvoSourceAdaptor::set_metadata(const QDBusMessage &)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptor::set_metadata";
}

void TuvoSourceAdaptor::containerChangedSlot(const TuvoContent &object)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptor::containerChangedSlot";
    Q_EMIT container_changed(object.uuid());
}

void TuvoSourceAdaptor::metadataChangedSlot(const TuvoContent &object)
{
    qCDebug(tuvoDefaultLog) << "TuvoSourceAdaptor::metadataChangedSlot";
    Q_EMIT metadata_changed(object.uuid());
}
