#include "TuvoSource.h"

TuvoSource::TuvoSource(const QString &uuid, const QString &pluginName, const QString &name,
                       QObject *parent)
    : TuvoMediaObject(uuid, pluginName, name, parent)
{
}

TuvoSource::~TuvoSource() = default;

uint TuvoSource::browse(const QString &, const QString &, const QStringList &, uint, uint,
                        QObject *, const char *, const char *)
{
    return 0;
}

void TuvoSource::cancelBrowse(uint)
{
}

uint TuvoSource::query(const QString &, QObject *, const char *, const char *)
{
    return 0;
}

void TuvoSource::cancelQuery(uint)
{
}

uint TuvoSource::nextOperationId()
{
    if (++m_lastOperationId == 0)
        ++m_lastOperationId;
    return m_lastOperationId;
}
