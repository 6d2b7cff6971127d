#include "TestSourceControl.h"

#include "TestSource.h"

#include <QDBusConnection>
#include <QDebug>

const char *const TestSourceControl::PathPrefix = "/com/oxbel/tuvo/test/source/";

TestSourceControl::TestSourceControl(TestSource *source)
    : QObject(source)
    , m_source(source)
    , m_path(QLatin1String(PathPrefix) + source->uuid())
{
    m_registered = QDBusConnection::sessionBus().registerObject(m_path, this,
                                                                 QDBusConnection::ExportAllSlots);
    if (!m_registered)
        qWarning() << "test plugin: cannot register the source control at" << m_path;
}

TestSourceControl::~TestSourceControl()
{
    if (m_registered)
        QDBusConnection::sessionBus().unregisterObject(m_path);
}

void TestSourceControl::set_inline_results(int count, int firstRemaining)
{
    m_source->setInlineResults(count, firstRemaining);
}

void TestSourceControl::set_inline_rows(int count, int firstRemaining)
{
    m_source->setInlineRows(count, firstRemaining);
}

QList<uint> TestSourceControl::browses() const
{
    return m_source->browseIds();
}

QList<uint> TestSourceControl::queries() const
{
    return m_source->queryIds();
}

QVariantList TestSourceControl::last_browse() const
{
    return m_source->lastBrowseArguments();
}

QString TestSourceControl::last_query() const
{
    return m_source->lastQuery();
}

QList<uint> TestSourceControl::cancelled_browses() const
{
    return m_source->cancelledBrowses();
}

QList<uint> TestSourceControl::cancelled_queries() const
{
    return m_source->cancelledQueries();
}

int TestSourceControl::deliver_results(uint browseId, int count, int firstRemaining)
{
    return m_source->sendResults(browseId, count, firstRemaining);
}

bool TestSourceControl::deliver_result(uint browseId, uint sentId, const QString &objectId,
                                       const QVariantMap &meta, uint index, int remaining)
{
    return m_source->sendResult(browseId, sentId, objectId, meta, index, remaining);
}

bool TestSourceControl::deliver_error(uint browseId, uint sentId, uint code, const QString &message)
{
    return m_source->sendError(browseId, sentId, code, message);
}

int TestSourceControl::deliver_rows(uint queryId, int count, int firstRemaining)
{
    return m_source->sendRows(queryId, count, firstRemaining);
}

bool TestSourceControl::deliver_row(uint queryId, uint sentId, const QStringList &row, uint index,
                                    int remaining)
{
    return m_source->sendRow(queryId, sentId, row, index, remaining);
}

bool TestSourceControl::deliver_query_error(uint queryId, uint sentId, int code,
                                            const QString &message)
{
    return m_source->sendQueryError(queryId, sentId, code, message);
}

bool TestSourceControl::stream_results(uint browseId, int count, int slice)
{
    return m_source->streamResults(browseId, count, slice);
}

void TestSourceControl::emit_container_changed(const QString &objectId)
{
    Q_EMIT m_source->containerChanged(TuvoContent(objectId));
}

void TestSourceControl::emit_metadata_changed(const QString &objectId)
{
    Q_EMIT m_source->metadataChanged(TuvoContent(objectId));
}
