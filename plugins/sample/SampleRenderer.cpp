#include "SampleRenderer.h"

#include "SampleCatalogue.h"

#include <TuvoPlaylist.h>

namespace {
constexpr int TickMs = 100;
}

SampleRenderer::SampleRenderer(QObject *parent)
    : TuvoRenderer(QStringLiteral("sample_renderer"), QStringLiteral("Sample Plugin"),
                   QStringLiteral("Sample Renderer"), parent)
{
    declareProperty(QStringLiteral("volume"), 80);
    declareProperty(QStringLiteral("mute"), false);
    m_tick.setInterval(TickMs);
    connect(&m_tick, &QTimer::timeout, this, &SampleRenderer::handleTick);
}

bool SampleRenderer::acceptPropertyWrite(const QString &name, const QVariant &value)
{
    if (name == QLatin1String("volume"))
        return value.toInt() >= 0 && value.toInt() <= 100;
    return true;
}

uint SampleRenderer::position() const
{
    const qint64 ms = m_positionMs + (m_clock.isValid() ? m_clock.elapsed() : 0);
    return uint(ms / 1000);
}

void SampleRenderer::setPositionMs(qint64 ms)
{
    m_positionMs = qMax<qint64>(0, ms);
    if (m_clock.isValid())
        m_clock.restart();
}

void SampleRenderer::setState(State state)
{
    if (state == m_state)
        return;
    if (state == Playing) {
        m_clock.start();
        m_tick.start();
    } else if (m_clock.isValid()) {
        m_positionMs += m_clock.elapsed();
        m_clock.invalidate();
        m_tick.stop();
    }
    m_state = state;
    Q_EMIT stateChanged(state);
}

void SampleRenderer::reportError(int code, const QString &message)
{
    setState(Error);
    Q_EMIT error(TuvoError(code, message));
}

bool SampleRenderer::startTrack(const TuvoContent &track, int playlistIndex, uint startPosition)
{
    const uint duration = track.metaData(QStringLiteral("duration")).toUInt();
    if (startPosition >= duration && duration > 0)
        return false;
    setState(Stopped);
    m_current = track;
    m_playlistIndex = playlistIndex;
    m_pauseAtMs = -1;
    m_positionMs = qint64(startPosition) * 1000;
    Q_EMIT mediaChanged(playlistIndex, track);
    const QVariantMap meta = track.metaData();
    for (auto it = meta.constBegin(); it != meta.constEnd(); ++it)
        Q_EMIT metadataChanged(it.key(), QList<QVariant>{it.value()});
    Q_EMIT bufferingInfo(1.0f);
    setState(Playing);
    return true;
}

bool SampleRenderer::play()
{
    if (m_state == Playing)
        return true;
    if (m_state == Paused)
        return resume();
    if (!m_current.uuid().isEmpty())
        return startTrack(m_current, m_playlistIndex, 0);
    if (m_playlist && m_playlist->count() > 0)
        return gotoIndex(0);
    return false;
}

bool SampleRenderer::playUri(const QUrl &url, uint startPosition)
{
    const TuvoContent track = SampleCatalogue::instance().trackForUri(url.toString());
    if (track.uuid().isEmpty()) {
        reportError(TuvoError::ErrorResourceNotFound,
                    QStringLiteral("not in the sample catalogue: ") + url.toString());
        return false;
    }
    if (!startTrack(track, -1, startPosition)) {
        reportError(TuvoError::ErrorPlaybackFailed, QStringLiteral("start position beyond the end"));
        return false;
    }
    return true;
}

bool SampleRenderer::playUriWithContentType(const QUrl &url, const QString &contentType)
{
    if (!contentType.isEmpty() && !contentType.startsWith(QLatin1String("audio/"))) {
        reportError(TuvoError::ErrorUnsupportedMedia,
                    QStringLiteral("cannot play content of type ") + contentType);
        return false;
    }
    return playUri(url, 0);
}

bool SampleRenderer::stop()
{
    setState(Stopped);
    m_positionMs = 0;
    return true;
}

bool SampleRenderer::pause()
{
    if (m_state != Playing)
        return false;
    setState(Paused);
    return true;
}

bool SampleRenderer::pauseAt(uint position)
{
    if (m_state != Playing && m_state != Paused)
        return false;
    m_pauseAtMs = qint64(position) * 1000;
    return true;
}

bool SampleRenderer::resume()
{
    if (m_state != Paused)
        return false;
    setState(Playing);
    return true;
}

bool SampleRenderer::setPosition(int seconds, int mode)
{
    if (m_current.uuid().isEmpty())
        return false;
    const qint64 now = qint64(position()) * 1000;
    switch (mode) {
    case SeekAbsolute:
        setPositionMs(qint64(seconds) * 1000);
        break;
    case SeekForward:
        setPositionMs(now + qint64(seconds) * 1000);
        break;
    case SeekBackward:
        setPositionMs(now - qint64(seconds) * 1000);
        break;
    default:
        return false;
    }
    handleTick();
    return true;
}

bool SampleRenderer::assignPlaylist(TuvoPlaylist *playlist)
{
    m_playlist = playlist;
    m_playlistIndex = -1;
    Q_EMIT playlistChanged(playlist);
    return playlist != nullptr;
}

bool SampleRenderer::gotoIndex(uint index)
{
    if (!m_playlist || index >= uint(m_playlist->count()))
        return false;
    const TuvoContent entry = m_playlist->entry(int(index));
    TuvoContent track = SampleCatalogue::instance().trackForUri(entry.uuid());
    if (track.uuid().isEmpty()) {
        reportError(TuvoError::ErrorResourceNotFound,
                    QStringLiteral("not in the sample catalogue: ") + entry.uuid());
        return false;
    }
    return startTrack(track, int(index), 0);
}

bool SampleRenderer::next()
{
    if (!m_playlist)
        return false;
    return gotoIndex(uint(m_playlistIndex + 1));
}

bool SampleRenderer::previous()
{
    if (!m_playlist || m_playlistIndex <= 0)
        return false;
    return gotoIndex(uint(m_playlistIndex - 1));
}

void SampleRenderer::handleTick()
{
    if (m_current.uuid().isEmpty())
        return;
    const qint64 now = m_positionMs + (m_clock.isValid() ? m_clock.elapsed() : 0);
    if (m_pauseAtMs >= 0 && now >= m_pauseAtMs && m_state == Playing) {
        m_pauseAtMs = -1;
        setState(Paused);
        return;
    }
    const qint64 duration = m_current.metaData(QStringLiteral("duration")).toLongLong() * 1000;
    if (duration > 0 && now >= duration)
        playbackFinished();
}

void SampleRenderer::playbackFinished()
{
    setState(Stopped);
    m_positionMs = 0;
    Q_EMIT playbackCompleted();
    if (m_playlist && m_playlistIndex + 1 < m_playlist->count())
        next();
}

bool SampleRenderer::getStatus(QObject *receiver, const char *member)
{
    const TuvoCallback answer = statusCallback(receiver, member);
    if (!answer.isValid())
        return false;
    QMetaObject::invokeMethod(this, [this, answer] {
        answer.invoke(m_playlist ? m_playlist->id() : QString(),
                      uint(qMax(m_playlistIndex, 0)), int(m_state), m_current.uuid());
    }, Qt::QueuedConnection);
    return true;
}

bool SampleRenderer::getPosition(QObject *receiver, const char *member)
{
    const TuvoCallback answer = positionCallback(receiver, member);
    if (!answer.isValid())
        return false;
    QMetaObject::invokeMethod(this, [this, answer] { answer.invoke(position()); },
                              Qt::QueuedConnection);
    return true;
}

bool SampleRenderer::getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key)
{
    const TuvoCallback answer = mediaInfoCallback(receiver, member);
    if (!answer.isValid() || m_current.uuid().isEmpty())
        return false;
    QMetaObject::invokeMethod(this, [this, answer, key] {
        TuvoMediaInfo info(m_current.uuid());
        const QVariantMap meta = m_current.metaData();
        for (auto it = meta.constBegin(); it != meta.constEnd(); ++it) {
            if (key.isEmpty() || key == it.key())
                info.setMetaData(it.key(), QList<QVariant>{it.value()});
        }
        if (key.isEmpty() || key == QLatin1String("position"))
            info.setMetaData(QStringLiteral("position"), QList<QVariant>{position()});
        answer.invoke(info);
    }, Qt::QueuedConnection);
    return true;
}
