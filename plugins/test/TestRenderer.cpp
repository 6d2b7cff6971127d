#include "TestRenderer.h"

#include "TestRendererControl.h"

#include <TuvoPlaylist.h>

namespace {
const QStringList Commands{
    QStringLiteral("play"),        QStringLiteral("playUri"),
    QStringLiteral("playUriWithContentType"), QStringLiteral("stop"),
    QStringLiteral("pause"),       QStringLiteral("pauseAt"),
    QStringLiteral("resume"),      QStringLiteral("setPosition"),
    QStringLiteral("assignPlaylist"), QStringLiteral("next"),
    QStringLiteral("previous"),    QStringLiteral("gotoIndex"),
};

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Where the framework distinguishes "none" from empty, the log does too.
QString quotedOrNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("null") : quoted(text);
}
} // namespace

TestRenderer::TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                           QObject *parent)
    : TuvoRenderer(uuid, pluginName, name, parent)
    , m_control(new TestRendererControl(this))
{
    m_control->publish();
}

TestRenderer::~TestRenderer() = default;

bool TestRenderer::command(const QString &name, const QString &call)
{
    m_calls.append(call);
    return m_commandResults.value(name, true);
}

bool TestRenderer::setCommandResult(const QString &command, bool accepted)
{
    if (!Commands.contains(command))
        return false;
    m_commandResults.insert(command, accepted);
    return true;
}

bool TestRenderer::play()
{
    return command(QStringLiteral("play"), QStringLiteral("play()"));
}

bool TestRenderer::playUri(const QUrl &url, uint startPosition)
{
    return command(QStringLiteral("playUri"),
                   QStringLiteral("playUri(%1, %2)").arg(quoted(url.toString()), QString::number(startPosition)));
}

bool TestRenderer::playUriWithContentType(const QUrl &url, const QString &contentType)
{
    return command(QStringLiteral("playUriWithContentType"),
                   QStringLiteral("playUriWithContentType(%1, %2)")
                       .arg(quoted(url.toString()), quoted(contentType)));
}

bool TestRenderer::stop()
{
    return command(QStringLiteral("stop"), QStringLiteral("stop()"));
}

bool TestRenderer::pause()
{
    return command(QStringLiteral("pause"), QStringLiteral("pause()"));
}

bool TestRenderer::pauseAt(uint position)
{
    return command(QStringLiteral("pauseAt"), QStringLiteral("pauseAt(%1)").arg(position));
}

bool TestRenderer::resume()
{
    return command(QStringLiteral("resume"), QStringLiteral("resume()"));
}

bool TestRenderer::setPosition(int seconds, int mode)
{
    return command(QStringLiteral("setPosition"),
                   QStringLiteral("setPosition(%1, %2)").arg(seconds).arg(mode));
}

bool TestRenderer::assignPlaylist(TuvoPlaylist *playlist)
{
    return command(QStringLiteral("assignPlaylist"),
                   QStringLiteral("assignPlaylist(%1)")
                       .arg(playlist ? quoted(playlist->id()) : QStringLiteral("null")));
}

bool TestRenderer::next()
{
    return command(QStringLiteral("next"), QStringLiteral("next()"));
}

bool TestRenderer::previous()
{
    return command(QStringLiteral("previous"), QStringLiteral("previous()"));
}

bool TestRenderer::gotoIndex(uint index)
{
    return command(QStringLiteral("gotoIndex"), QStringLiteral("gotoIndex(%1)").arg(index));
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

void TestRenderer::setStatus(const QString &playlistId, uint playlistIndex, int state,
                             const QString &objectId)
{
    m_playlistId = playlistId;
    m_playlistIndex = playlistIndex;
    m_state = state;
    m_objectId = objectId;
}

TuvoCallback TestRenderer::takeOutstanding(Query query)
{
    QList<TuvoCallback> &outstanding = m_outstanding[query];
    return outstanding.isEmpty() ? TuvoCallback() : outstanding.takeFirst();
}

bool TestRenderer::answerStatus(const QString &playlistId, uint playlistIndex, int state,
                                const QString &objectId)
{
    return takeOutstanding(StatusQuery).invoke(playlistId, playlistIndex, state, objectId);
}

bool TestRenderer::answerPosition(uint position)
{
    return takeOutstanding(PositionQuery).invoke(position);
}

bool TestRenderer::answerMediaInfo(const TuvoMediaInfo &mediaInfo)
{
    return takeOutstanding(MediaInfoQuery).invoke(mediaInfo);
}

bool TestRenderer::parseQuery(const QString &text, Query *query)
{
    static const QHash<QString, Query> queries{
        {QStringLiteral("status"), StatusQuery},
        {QStringLiteral("position"), PositionQuery},
        {QStringLiteral("media_info"), MediaInfoQuery},
    };
    if (!queries.contains(text))
        return false;
    *query = queries.value(text);
    return true;
}

bool TestRenderer::parseMode(const QString &text, Mode *mode)
{
    static const QHash<QString, Mode> modes{
        {QStringLiteral("later"), Later},
        {QStringLiteral("now"), Now},
        {QStringLiteral("refuse"), Refuse},
    };
    if (!modes.contains(text))
        return false;
    *mode = modes.value(text);
    return true;
}
