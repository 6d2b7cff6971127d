#include "RendererProbe.h"

#include <TuvoRenderer.h>

#include <QSignalSpy>

RendererProbe::RendererProbe(TuvoRenderer *renderer)
    : m_renderer(renderer)
{
}

bool RendererProbe::wait()
{
    if (m_answered)
        return true;
    QSignalSpy spy(this, &RendererProbe::answered);
    return spy.wait(5000);
}

bool RendererProbe::status(Status *status)
{
    m_answered = false;
    if (!m_renderer->getStatus(this, SLOT(statusCallback(QString,uint,int,QString))) || !wait())
        return false;
    *status = m_status;
    return true;
}

bool RendererProbe::position(uint *seconds)
{
    m_answered = false;
    if (!m_renderer->getPosition(this, SLOT(positionCallback(uint))) || !wait())
        return false;
    *seconds = m_position;
    return true;
}

bool RendererProbe::mediaInfo(const QString &key, TuvoMediaInfo *info)
{
    m_answered = false;
    if (!m_renderer->getCurrentMediaInfo(this, SLOT(mediaInfoCallback(TuvoMediaInfo)), key) || !wait())
        return false;
    *info = m_info;
    return true;
}

qint64 RendererProbe::positionMs()
{
    TuvoMediaInfo info;
    if (!mediaInfo(QStringLiteral("position_ms"), &info) || info.metaData(QStringLiteral("position_ms")).isEmpty())
        return -1;
    return info.metaData(QStringLiteral("position_ms")).first().toLongLong();
}

void RendererProbe::statusCallback(QString playlistId, uint index, int state, QString objectId)
{
    m_status = {playlistId, index, state, objectId};
    m_answered = true;
    Q_EMIT answered();
}

void RendererProbe::positionCallback(uint position)
{
    m_position = position;
    m_answered = true;
    Q_EMIT answered();
}

void RendererProbe::mediaInfoCallback(TuvoMediaInfo info)
{
    m_info = info;
    m_answered = true;
    Q_EMIT answered();
}
