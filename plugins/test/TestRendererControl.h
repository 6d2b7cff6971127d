#ifndef TESTRENDERERCONTROL_H
#define TESTRENDERERCONTROL_H

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

class TestRenderer;

/*!
 * Lets a test drive one TestRenderer from outside the wrapper process: interface
 * "com.oxbel.tuvo.test.Renderer" at "/com/oxbel/tuvo/test/renderer/<uuid>" on the
 * wrapper's own connection, for as long as the renderer lives.
 *
 * Queries are "status", "position" and "media_info"; modes "later", "now" and
 * "refuse" (see TestRenderer). Media info metadata is given as a{sv}: a value
 * that is an array of variants (av) stands for the key's list of values, any other
 * value for a list of one.
 */
class TestRendererControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Renderer")
public:
    static QString pathFor(const QString &uuid);

    explicit TestRendererControl(TestRenderer *renderer);
    ~TestRendererControl() override;

    bool publish();

public Q_SLOTS:
    QStringList calls() const;
    void clear_calls();
    bool set_command_result(const QString &command, bool accepted);

    bool set_query_mode(const QString &query, const QString &mode);
    int outstanding(const QString &query) const;

    void set_status(const QString &playlistId, uint playlistIndex, int state,
                    const QString &objectId);
    void set_position(uint position);
    void set_media_info(const QString &uuid, const QVariantMap &metaData);
    bool answer_status(const QString &playlistId, uint playlistIndex, int state,
                       const QString &objectId);
    bool answer_position(uint position);
    bool answer_media_info(const QString &uuid, const QVariantMap &metaData);

    void emit_state_changed(int state);
    void emit_media_changed(int index, const QString &objectId);
    void emit_playback_completed();
    /*! An empty id emits a null playlist; an id the registry lacks, a playlist of its own. */
    void emit_playlist_changed(const QString &id);
    /*! Emits a playlist whose id is empty. */
    void emit_unnamed_playlist_changed();
    void emit_metadata_changed(const QString &key, const QVariantList &values);
    void emit_buffering_info(double status);
    void emit_scanning_info(double status);
    void emit_error(int code, const QString &message);

    /*! Adds a playlist of items with the given uris to the process's registry. */
    bool add_playlist(const QString &id, const QStringList &uris);

private:
    TestRenderer *m_renderer;
    QString m_path;
    bool m_published = false;
};

#endif
