#include "TuvoCliBrowseCommand.h"

#include "TuvoCliJsonWriter.h"
#include "TuvoCliOutput.h"
#include "TuvoCliSession.h"

#include <TuvoClientSource.h>
#include <TuvoClientValue.h>

#include <QJsonArray>

namespace {
// Long browses show progress only after this long, so that short ones stay quiet, and
// then redraw it this often at most: batches come by the ten thousand a second.
constexpr int ProgressAfterMs = 1000;
constexpr int ProgressEveryMs = 100;
} // namespace

TuvoCliBrowseCommand::TuvoCliBrowseCommand(const TuvoCliCommandLine &commandLine,
                                           TuvoCliSession *session, TuvoCliOutput *output,
                                           QObject *parent)
    : TuvoCliCommand(commandLine, session, output, parent)
    , m_browse(commandLine.action() == TuvoCliCommandTable::Action::Browse)
{
}

void TuvoCliBrowseCommand::start()
{
    m_session->resolve({TuvoClientObjectInfo::Source}, m_commandLine.argument(0),
                       [this](const TuvoClientObjectInfo &source) { run(source); });
}

void TuvoCliBrowseCommand::run(const TuvoClientObjectInfo &info)
{
    m_source = new TuvoClientSource(info, m_session->connection(), this);
    m_source->setTimeout(m_session->timeout());
    m_source->setResultTimeout(m_session->timeout());
    m_clock.start();
    m_nextProgressMs = ProgressAfterMs;
    if (m_browse) {
        TuvoClientBrowse *browse = m_source->browse(
            m_commandLine.argument(1), m_commandLine.value(QStringLiteral("predicate")), QStringList(),
            m_commandLine.value(QStringLiteral("skip")).toUInt(),
            m_commandLine.value(QStringLiteral("count")).toUInt());
        if (m_output->isJson())
            connect(browse, &TuvoClientBrowse::recordsReceived, this, &TuvoCliBrowseCommand::printRecords);
        else
            connect(browse, &TuvoClientBrowse::resultsReceived, this, &TuvoCliBrowseCommand::printResults);
        m_operation = browse;
    } else {
        TuvoClientQuery *query = m_source->query(m_commandLine.argument(1));
        connect(query, &TuvoClientQuery::rowsReceived, this, &TuvoCliBrowseCommand::printRows);
        m_operation = query;
    }
    connect(m_operation, &TuvoClientOperation::finished, this, &TuvoCliBrowseCommand::handleFinished);
}

void TuvoCliBrowseCommand::printRecords(const QList<TuvoBrowseResultDBusStruct> &records)
{
    m_lines.resize(0);
    QStringList malformed;
    for (const TuvoBrowseResultDBusStruct &record : records) {
        QString why;
        if (!TuvoCliJsonWriter::appendBrowseResult(m_lines, record, &why))
            malformed.append(QStringLiteral("result %1 (%2): %3").arg(record.index).arg(record.objectId, why));
    }
    m_output->bytes(m_lines);
    m_malformed += int(malformed.size());
    for (const QString &text : std::as_const(malformed))
        m_output->message(text);
    if (!records.isEmpty())
        showProgress(records.last().remainingCount);
}

void TuvoCliBrowseCommand::printResults(const QList<TuvoClientBrowseResult> &results)
{
    QString text;
    if (!m_headerPrinted)
        text += QStringLiteral("INDEX  ") + QStringLiteral("ID").leftJustified(16) + QStringLiteral("  METADATA\n");
    m_headerPrinted = true;
    for (const TuvoClientBrowseResult &result : results) {
        QStringList pairs;
        for (auto it = result.metadata.constBegin(); it != result.metadata.constEnd(); ++it)
            pairs.append(it.key() + QLatin1Char('=') + TuvoCliOutput::text(it.value(), true));
        text += QString::number(result.index).leftJustified(5) + QStringLiteral("  ")
                + TuvoCliOutput::cell(result.objectId).leftJustified(16) + QStringLiteral("  ")
                + pairs.join(QLatin1Char(' ')) + QLatin1Char('\n');
    }
    text.chop(1);
    m_output->line(text);
    for (const TuvoClientBrowseResult &result : results) {
        if (result.hasMetadataError()) {
            ++m_malformed;
            m_output->message(QStringLiteral("result %1 (%2): %3")
                                  .arg(result.index)
                                  .arg(result.objectId, result.metadataError));
        }
    }
    if (!results.isEmpty())
        showProgress(results.last().remainingCount);
}

void TuvoCliBrowseCommand::printRows(const QList<TuvoQueryResultDBusStruct> &rows)
{
    if (m_output->isJson()) {
        m_lines.resize(0);
        for (const TuvoQueryResultDBusStruct &row : rows)
            TuvoCliJsonWriter::appendQueryRow(m_lines, row);
        m_output->bytes(m_lines);
    } else {
        QString text;
        if (!m_headerPrinted)
            text += QStringLiteral("INDEX  VALUES\n");
        m_headerPrinted = true;
        for (const TuvoQueryResultDBusStruct &row : rows) {
            QStringList values;
            for (const QString &value : row.resultRow)
                values.append(TuvoCliOutput::text(value, true));
            text += QString::number(row.index).leftJustified(5) + QStringLiteral("  ")
                    + values.join(QStringLiteral("  ")) + QLatin1Char('\n');
        }
        text.chop(1);
        m_output->line(text);
    }
    showProgress(-1);
}

void TuvoCliBrowseCommand::showProgress(qint32 remaining)
{
    if (!m_operation || !m_output->showsProgress() || m_clock.elapsed() < m_nextProgressMs)
        return;
    m_nextProgressMs = m_clock.elapsed() + ProgressEveryMs;
    QString text = QStringLiteral("%1 %2 so far").arg(m_operation->resultCount()).arg(m_browse ? "results" : "rows");
    if (remaining > 0)
        text += QStringLiteral(", %1 to come").arg(remaining);
    m_output->progress(text);
}

void TuvoCliBrowseCommand::handleFinished(const TuvoClientError &error)
{
    m_output->clearProgress();
    if (error.type() == TuvoClientError::Cancelled && m_interrupted) {
        m_output->message(error.message());
        finish(TuvoCliCommandTable::Interrupted);
        return;
    }
    if (error.isError()) {
        if (m_output->isJson())
            m_output->json(errorJson(error));
        fail(error);
        return;
    }
    if (m_malformed > 0) {
        m_output->message(QStringLiteral("%1 of %2 results had metadata that could not be read")
                              .arg(m_malformed)
                              .arg(m_operation->resultCount()));
        finish(TuvoCliCommandTable::Failed);
        return;
    }
    finish(TuvoCliCommandTable::Success);
}

void TuvoCliBrowseCommand::interrupt(int count)
{
    if (!m_operation || m_operation->isFinished() || count > 1) {
        finish(TuvoCliCommandTable::Interrupted);
        return;
    }
    m_interrupted = true;
    m_output->clearProgress();
    m_output->message(QStringLiteral("cancelling the %1 at %2")
                          .arg(m_browse ? QStringLiteral("browse") : QStringLiteral("query"),
                               m_source->info().busName));
    m_operation->cancel();
}
