#ifndef TESTRENDERER_H
#define TESTRENDERER_H

#include "TestPropertyHost.h"

#include <TuvoRenderer.h>

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVariantMap>

/*!
 * A renderer of the test plugin: it plays nothing, logs every operation with its
 * arguments, and answers its queries as a test tells it to. Its public slots are its
 * control, which a test drives from outside the wrapper process: interface
 * "com.oxbel.tuvo.test.Renderer" at "/com/oxbel/tuvo/test/renderer/<uuid>" on the
 * wrapper's own connection, for as long as the renderer lives.
 *
 * Per query ("status", "position", "media_info") a mode decides how a request is met:
 * "later" (kept until the test answers it; the default), "now" (answered inside the
 * request with the values set before) or "refuse". Media info metadata is given as
 * a{sv}: a value that is an array of variants (av) stands for the key's list of values,
 * any other value for a list of one.
 *
 * Commands succeed unless the test has set another result for them; each is logged as
 * "name(arguments)", and its result is looked up by that name.
 */
class TestRenderer : public TuvoRenderer
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Renderer")
public:
    TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                 QObject *parent = nullptr);
    ~TestRenderer() override;

    bool play() override { return command(QStringLiteral("play()")); }
    bool playUri(const QUrl &url, uint startPosition) override;
    bool playUriWithContentType(const QUrl &url, const QString &contentType) override;
    bool stop() override { return command(QStringLiteral("stop()")); }
    bool pause() override { return command(QStringLiteral("pause()")); }
    bool pauseAt(uint position) override { return command(QStringLiteral("pauseAt(%1)").arg(position)); }
    bool resume() override { return command(QStringLiteral("resume()")); }
    bool setPosition(int seconds, int mode) override;
    bool assignPlaylist(TuvoPlaylist *playlist) override;
    bool next() override { return command(QStringLiteral("next()")); }
    bool previous() override { return command(QStringLiteral("previous()")); }
    bool gotoIndex(uint index) override { return command(QStringLiteral("gotoIndex(%1)").arg(index)); }
    bool getStatus(QObject *receiver, const char *member) override;
    bool getPosition(QObject *receiver, const char *member) override;
    bool getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key) override;

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

public Q_SLOTS:
    /*! Every operation so far, as "name(arguments)", oldest first. */
    QStringList calls() const { return m_calls; }
    void clear_calls() { m_calls.clear(); }
    /*! The result of a command ("play", "next", ...). */
    bool set_command_result(const QString &command, bool accepted);
    bool set_query_mode(const QString &query, const QString &mode);
    /*! Requests kept for a later answer; -1 for an unknown query. */
    int outstanding(const QString &query) const;
    /*! What requests in mode "now" are answered with. */
    void set_status(const QString &playlistId, uint playlistIndex, int state,
                    const QString &objectId);
    void set_position(uint position) { m_position = position; }
    void set_media_info(const QString &uuid, const QVariantMap &metaData);
    /*! Answers the oldest kept request; false when none is kept or its receiver is gone. */
    bool answer_status(const QString &playlistId, uint playlistIndex, int state,
                       const QString &objectId);
    bool answer_position(uint position);
    bool answer_media_info(const QString &uuid, const QVariantMap &metaData);
    void emit_state_changed(int state) { Q_EMIT stateChanged(State(state)); }
    void emit_media_changed(int index, const QString &objectId) { Q_EMIT mediaChanged(index, TuvoContent(objectId)); }
    /*! An empty id emits a null playlist; an id the registry lacks, a playlist of its own. */
    void emit_playlist_changed(const QString &id);
    void emit_metadata_changed(const QString &key, const QVariantList &values) { Q_EMIT metadataChanged(key, values); }
    void emit_buffering_info(double status) { Q_EMIT bufferingInfo(float(status)); }
    void emit_error(int code, const QString &message) { Q_EMIT error(TuvoError(code, message)); }
    /*! Adds a playlist of items with the given uris to the process's registry. */
    bool add_playlist(const QString &id, const QStringList &uris);

private:
    enum Query { StatusQuery, PositionQuery, MediaInfoQuery };
    enum Mode { Later, Now, Refuse };

    bool command(const QString &call);
    /*! Meets a request according to its mode; \a answerNow answers it at once. */
    template <typename AnswerNow>
    bool request(Query query, const TuvoCallback &callback, AnswerNow answerNow);
    TuvoCallback takeOutstanding(Query query);

    QString m_controlPath;
    bool m_published = false;
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
    TestPropertyHost *m_propertyHost = new TestPropertyHost(this);
};

#endif
