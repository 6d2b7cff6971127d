#ifndef TESTRENDERER_H
#define TESTRENDERER_H

#include "TestPropertyHost.h"

#include <TuvoRenderer.h>

#include <QHash>
#include <QList>
#include <QStringList>

class TestRendererControl;

/*!
 * A renderer of the test plugin: it plays nothing, logs every operation with its
 * arguments, and answers its queries as a test tells it to, through its
 * TestRendererControl on the bus.
 *
 * Per query kind a mode decides how a request is met: Later (kept until the test
 * answers it; the default), Now (answered inside the request with preset values) or
 * Refuse (refused).
 *
 * Commands succeed unless the test has set another result for them.
 */
class TestRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    enum Query { StatusQuery, PositionQuery, MediaInfoQuery };
    enum Mode { Later, Now, Refuse };

    TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                 QObject *parent = nullptr);
    ~TestRenderer() override;

    bool play() override;
    bool playUri(const QUrl &url, uint startPosition) override;
    bool playUriWithContentType(const QUrl &url, const QString &contentType) override;
    bool stop() override;
    bool pause() override;
    bool pauseAt(uint position) override;
    bool resume() override;
    bool setPosition(int seconds, int mode) override;
    bool assignPlaylist(TuvoPlaylist *playlist) override;
    bool next() override;
    bool previous() override;
    bool gotoIndex(uint index) override;
    bool getStatus(QObject *receiver, const char *member) override;
    bool getPosition(QObject *receiver, const char *member) override;
    bool getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key) override;

    /*! Every operation so far, as "name(arguments)", oldest first. */
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

    /*! The result of a command ("play", "next", ...); false for an unknown name. */
    bool setCommandResult(const QString &command, bool accepted);

    void setMode(Query query, Mode mode) { m_modes[query] = mode; }
    /*! Requests kept for a later answer. */
    int outstanding(Query query) const { return int(m_outstanding.value(query).size()); }

    /*! What requests in mode Now are answered with. */
    void setStatus(const QString &playlistId, uint playlistIndex, int state,
                   const QString &objectId);
    void setPositionAnswer(uint position) { m_position = position; }
    void setMediaInfo(const TuvoMediaInfo &mediaInfo) { m_mediaInfo = mediaInfo; }

    /*! Answers the oldest kept request; false when none is kept or its receiver is gone. */
    bool answerStatus(const QString &playlistId, uint playlistIndex, int state,
                      const QString &objectId);
    bool answerPosition(uint position);
    bool answerMediaInfo(const TuvoMediaInfo &mediaInfo);

    static bool parseQuery(const QString &text, Query *query);
    static bool parseMode(const QString &text, Mode *mode);

private:
    bool command(const QString &name, const QString &call);
    /*! Meets a request according to its mode; \a answerNow answers it at once. */
    template <typename AnswerNow>
    bool request(Query query, const TuvoCallback &callback, AnswerNow answerNow);
    TuvoCallback takeOutstanding(Query query);

    TestRendererControl *m_control;
    QStringList m_calls;
    QHash<QString, bool> m_commandResults;
    QHash<int, Mode> m_modes;
    QHash<int, QList<TuvoCallback>> m_outstanding;
    QString m_playlistId;
    uint m_playlistIndex = 0;
    int m_state = Stopped;
    QString m_objectId;
    uint m_position = 0;
    TuvoMediaInfo m_mediaInfo;

public:
    // Extension properties are steered by the test through TestPropertyHost.
    bool setExtensionProperty(const QString &name, const QVariant &value) override
    {
        return m_propertyHost->setExtensionProperty(name, value);
    }
    bool requestExtensionProperty(const QString &name, QObject *receiver,
                                  const char *member) override
    {
        return m_propertyHost->requestExtensionProperty(name, receiver, member);
    }

private:
    TestPropertyHost *m_propertyHost = new TestPropertyHost(this);
};

#endif
