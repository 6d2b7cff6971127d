#include "TestRenderer.h"

#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDebug>

namespace {
QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Where the framework distinguishes "none" from empty, the log does too.
QString quotedOrNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("null") : quoted(text);
}

// The control's names of TestRenderer's Query and Mode values, in their order.
const QHash<QString, int> Queries{{QStringLiteral("status"), 0}, {QStringLiteral("position"), 1},
                                  {QStringLiteral("media_info"), 2}};
const QHash<QString, int> Modes{{QStringLiteral("later"), 0}, {QStringLiteral("now"), 1},
                                {QStringLiteral("refuse"), 2}};

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

TestRenderer::TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                           QObject *parent)
    : TuvoRenderer(uuid, pluginName, name, parent)
    , m_controlPath(QStringLiteral("/com/oxbel/tuvo/test/renderer/") + uuid)
{
    m_published = QDBusConnection::sessionBus().registerObject(m_controlPath, this,
                                                               QDBusConnection::ExportAllSlots);
    if (!m_published)
        qWarning() << "test plugin: cannot publish the renderer control at" << m_controlPath;
}

TestRenderer::~TestRenderer()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // A renderer added again under the same uuid may have taken the path meanwhile.
    if (m_published && bus.objectRegisteredAt(m_controlPath) == this)
        bus.unregisterObject(m_controlPath);
}

bool TestRenderer::command(const QString &call)
{
    m_calls.append(call);
    return m_commandResults.value(call.section(QLatin1Char('('), 0, 0), true);
}

bool TestRenderer::set_command_result(const QString &command, bool accepted)
{
    m_commandResults.insert(command, accepted);
    return true;
}

bool TestRenderer::set_query_mode(const QString &query, const QString &mode)
{
    if (!Queries.contains(query) || !Modes.contains(mode))
        return false;
    m_modes[Queries.value(query)] = Mode(Modes.value(mode));
    return true;
}

int TestRenderer::outstanding(const QString &query) const
{
    return Queries.contains(query) ? int(m_outstanding.value(Queries.value(query)).size()) : -1;
}

bool TestRenderer::playUri(const QUrl &url, uint startPosition)
{
    return command(QStringLiteral("playUri(%1, %2)").arg(quoted(url.toString()), QString::number(startPosition)));
}

bool TestRenderer::playUriWithContentType(const QUrl &url, const QString &contentType)
{
    return command(QStringLiteral("playUriWithContentType(%1, %2)")
                       .arg(quoted(url.toString()), quoted(contentType)));
}

bool TestRenderer::setPosition(int seconds, int mode)
{
    return command(QStringLiteral("setPosition(%1, %2)").arg(seconds).arg(mode));
}

bool TestRenderer::assignPlaylist(TuvoPlaylist *playlist)
{
    return command(QStringLiteral("assignPlaylist(%1)")
                       .arg(playlist ? quoted(playlist->id()) : QStringLiteral("null")));
}

template <typename AnswerNow>
bool TestRenderer::request(Query query, const TuvoCallback &callback, AnswerNow answerNow)
{
    // As any renderer must: a callback that cannot be answered is refused.
    if (!callback.isValid())
        return false;
    switch (m_modes.value(query, Later)) {
    case Later:
        m_outstanding[query].append(callback);
        return true;
    case Now:
        answerNow();
        return true;
    case Refuse:
        return false;
    }
    return false;
}

bool TestRenderer::getStatus(QObject *receiver, const char *member)
{
    m_calls.append(QStringLiteral("getStatus(%1)").arg(quoted(QString::fromLatin1(member))));
    const TuvoCallback callback = statusCallback(receiver, member);
    return request(StatusQuery, callback, [&] {
        callback.invoke(m_playlistId, m_playlistIndex, m_state, m_objectId);
    });
}

bool TestRenderer::getPosition(QObject *receiver, const char *member)
{
    m_calls.append(QStringLiteral("getPosition(%1)").arg(quoted(QString::fromLatin1(member))));
    const TuvoCallback callback = positionCallback(receiver, member);
    return request(PositionQuery, callback, [&] { callback.invoke(m_position); });
}

bool TestRenderer::getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key)
{
    m_calls.append(QStringLiteral("getCurrentMediaInfo(%1, %2)")
                       .arg(quoted(QString::fromLatin1(member)), quotedOrNull(key)));
    const TuvoCallback callback = mediaInfoCallback(receiver, member);
    return request(MediaInfoQuery, callback, [&] { callback.invoke(m_mediaInfo); });
}

void TestRenderer::set_status(const QString &playlistId, uint playlistIndex, int state,
                              const QString &objectId)
{
    m_playlistId = playlistId;
    m_playlistIndex = playlistIndex;
    m_state = state;
    m_objectId = objectId;
}

void TestRenderer::set_media_info(const QString &uuid, const QVariantMap &metaData)
{
    m_mediaInfo = mediaInfoFromBus(uuid, metaData);
}

TuvoCallback TestRenderer::takeOutstanding(Query query)
{
    QList<TuvoCallback> &outstanding = m_outstanding[query];
    return outstanding.isEmpty() ? TuvoCallback() : outstanding.takeFirst();
}

bool TestRenderer::answer_status(const QString &playlistId, uint playlistIndex, int state,
                                 const QString &objectId)
{
    return takeOutstanding(StatusQuery).invoke(playlistId, playlistIndex, state, objectId);
}

bool TestRenderer::answer_position(uint position)
{
    return takeOutstanding(PositionQuery).invoke(position);
}

bool TestRenderer::answer_media_info(const QString &uuid, const QVariantMap &metaData)
{
    return takeOutstanding(MediaInfoQuery).invoke(mediaInfoFromBus(uuid, metaData));
}

void TestRenderer::emit_playlist_changed(const QString &id)
{
    if (id.isEmpty()) {
        Q_EMIT playlistChanged(nullptr);
        return;
    }
    if (TuvoPlaylist *known = TuvoRegistry::instance()->findPlaylist(id)) {
        Q_EMIT playlistChanged(known);
        return;
    }
    TuvoPlaylist playlist(id);
    Q_EMIT playlistChanged(&playlist);
}

bool TestRenderer::add_playlist(const QString &id, const QStringList &uris)
{
    if (id.isEmpty())
        return false;
    QList<TuvoContent> entries;
    for (const QString &uri : uris)
        entries.append(TuvoContent(uri));
    return TuvoRegistry::instance()->addPlaylist(new TuvoPlaylist(id, entries)) != nullptr;
}
