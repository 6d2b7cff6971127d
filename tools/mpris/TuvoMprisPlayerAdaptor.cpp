#include "TuvoMprisPlayerAdaptor.h"

#include "TuvoMprisPlayer.h"

TuvoMprisPlayerAdaptor::TuvoMprisPlayerAdaptor(TuvoMprisPlayer *player)
    : QDBusAbstractAdaptor(player)
    , m_player(player)
{
}

QString TuvoMprisPlayerAdaptor::playbackStatus() const { return m_player->playbackStatus(); }
QVariantMap TuvoMprisPlayerAdaptor::metadata() const { return m_player->metadata(); }
double TuvoMprisPlayerAdaptor::volume() const { return m_player->volume(); }
void TuvoMprisPlayerAdaptor::setVolume(double volume) { m_player->setVolume(volume); }
qlonglong TuvoMprisPlayerAdaptor::position() const { return m_player->position(); }
bool TuvoMprisPlayerAdaptor::canGoNext() const { return m_player->canGoNext(); }
bool TuvoMprisPlayerAdaptor::canGoPrevious() const { return m_player->canGoPrevious(); }

void TuvoMprisPlayerAdaptor::Next() { m_player->next(); }
void TuvoMprisPlayerAdaptor::Previous() { m_player->previous(); }
void TuvoMprisPlayerAdaptor::Pause() { m_player->pause(); }
void TuvoMprisPlayerAdaptor::PlayPause() { m_player->playPause(); }
void TuvoMprisPlayerAdaptor::Stop() { m_player->stop(); }
void TuvoMprisPlayerAdaptor::Play() { m_player->play(); }
void TuvoMprisPlayerAdaptor::Seek(qlonglong Offset) { m_player->seek(Offset); }

void TuvoMprisPlayerAdaptor::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
{
    m_player->setPosition(TrackId.path(), Position);
}

void TuvoMprisPlayerAdaptor::OpenUri(const QString &Uri) { m_player->openUri(Uri); }
