#include "TestRendererControl.h"

#include "TestRenderer.h"

#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDebug>

namespace {
TuvoMediaInfo mediaInfoFromBus(const QString &uuid, const QVariantMap &metaData)
{
    TuvoMediaInfo mediaInfo(uuid);
    for (auto it = metaData.constBegin(); it != metaData.constEnd(); ++it) {
        const QVariant &value = it.value();
        if (value.metaType() == QMetaType::fromType<QDBusArgument>()
            && value.value<QDBusArgument>().currentSignature() == QLatin1String("av"))
            mediaInfo.setMetaData(it.key(), qdbus_cast<QVariantList>(value));
        else
            mediaInfo.setMetaData(it.key(), QVariantList{value});
    }
    return mediaInfo;
}
} // namespace

QString TestRendererControl::pathFor(const QString &uuid)
{
    return QStringLiteral("/com/oxbel/tuvo/test/renderer/") + uuid;
}

TestRendererControl::TestRendererControl(TestRenderer *renderer)
    : QObject(renderer)
    , m_renderer(renderer)
    , m_path(pathFor(renderer->uuid()))
{
}

TestRendererControl::~TestRendererControl()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A renderer added again under the same uuid may have taken the path meanwhile.
    if (m_published && bus.objectRegisteredAt(m_path) == this)
        bus.unregisterObject(m_path);
}

bool TestRendererControl::publish()
{
    m_published = QDBusConnection::sessionBus().registerObject(m_path, this,
                                                               QDBusConnection::ExportAllSlots);
    if (!m_published)
        qWarning() << "test plugin: cannot publish the renderer control at" << m_path;
    return m_published;
}

QStringList TestRendererControl::calls() const
{
    return m_renderer->calls();
}

void TestRendererControl::clear_calls()
{
    m_renderer->clearCalls();
}

bool TestRendererControl::set_command_result(const QString &command, bool accepted)
{
    return m_renderer->setCommandResult(command, accepted);
}

bool TestRendererControl::set_query_mode(const QString &query, const QString &mode)
{
    TestRenderer::Query q;
    TestRenderer::Mode m;
    if (!TestRenderer::parseQuery(query, &q) || !TestRenderer::parseMode(mode, &m))
        return false;
    m_renderer->setMode(q, m);
    return true;
}

int TestRendererControl::outstanding(const QString &query) const
{
    TestRenderer::Query q;
    return TestRenderer::parseQuery(query, &q) ? m_renderer->outstanding(q) : -1;
}

void TestRendererControl::set_status(const QString &playlistId, uint playlistIndex, int state,
                                     const QString &objectId)
{
    m_renderer->setStatus(playlistId, playlistIndex, state, objectId);
}

void TestRendererControl::set_position(uint position)
{
    m_renderer->setPositionAnswer(position);
}

void TestRendererControl::set_media_info(const QString &uuid, const QVariantMap &metaData)
{
    m_renderer->setMediaInfo(mediaInfoFromBus(uuid, metaData));
}

bool TestRendererControl::answer_status(const QString &playlistId, uint playlistIndex, int state,
                                        const QString &objectId)
{
    return m_renderer->answerStatus(playlistId, playlistIndex, state, objectId);
}

bool TestRendererControl::answer_position(uint position)
{
    return m_renderer->answerPosition(position);
}

bool TestRendererControl::answer_media_info(const QString &uuid, const QVariantMap &metaData)
{
    return m_renderer->answerMediaInfo(mediaInfoFromBus(uuid, metaData));
}

void TestRendererControl::emit_state_changed(int state)
{
    Q_EMIT m_renderer->stateChanged(TuvoRenderer::State(state));
}

void TestRendererControl::emit_media_changed(int index, const QString &objectId)
{
    Q_EMIT m_renderer->mediaChanged(index, TuvoContent(objectId));
}

void TestRendererControl::emit_playback_completed()
{
    Q_EMIT m_renderer->playbackCompleted();
}

void TestRendererControl::emit_playlist_changed(const QString &id)
{
    if (id.isEmpty()) {
        Q_EMIT m_renderer->playlistChanged(nullptr);
        return;
    }
    if (TuvoPlaylist *known = TuvoRegistry::instance()->findPlaylist(id)) {
        Q_EMIT m_renderer->playlistChanged(known);
        return;
    }
    TuvoPlaylist playlist(id);
    Q_EMIT m_renderer->playlistChanged(&playlist);
}

void TestRendererControl::emit_unnamed_playlist_changed()
{
    TuvoPlaylist playlist{QString()};
    Q_EMIT m_renderer->playlistChanged(&playlist);
}

void TestRendererControl::emit_metadata_changed(const QString &key, const QVariantList &values)
{
    Q_EMIT m_renderer->metadataChanged(key, values);
}

void TestRendererControl::emit_buffering_info(double status)
{
    Q_EMIT m_renderer->bufferingInfo(float(status));
}

void TestRendererControl::emit_scanning_info(double status)
{
    Q_EMIT m_renderer->scanningInfo(float(status));
}

void TestRendererControl::emit_error(int code, const QString &message)
{
    Q_EMIT m_renderer->error(TuvoError(code, message));
}

bool TestRendererControl::add_playlist(const QString &id, const QStringList &uris)
{
    if (id.isEmpty())
        return false;
    QList<TuvoContent> entries;
    for (const QString &uri : uris)
        entries.append(TuvoContent(uri));
    return TuvoRegistry::instance()->addPlaylist(new TuvoPlaylist(id, entries)) != nullptr;
}
