#ifndef TESTSOURCECONTROL_H
#define TESTSOURCECONTROL_H

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

class TestSource;

/*!
 * Lets a test drive one TestSource from outside the wrapper: registered at
 * "/com/oxbel/tuvo/test/source/<uuid>" on the wrapper's own connection, reachable under
 * the test plugin's bus name (TestPluginControl::ControlService), with the interface
 * "com.oxbel.tuvo.test.Source".
 *
 * Every deliver call answers the operation at once, inside the call, so that
 * everything the host sends in response has been sent before the reply. Calls that
 * take a sentId use it as the id of the answer, to play a source that reports under a
 * wrong id; the others use the operation's own id.
 */
class TestSourceControl : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Source")
public:
    static const char *const PathPrefix;

    explicit TestSourceControl(TestSource *source);
    ~TestSourceControl() override;

public Q_SLOTS:
    void set_inline_results(int count, int firstRemaining);
    void set_inline_rows(int count, int firstRemaining);

    QList<uint> browses() const;
    QList<uint> queries() const;
    /*! objectId, predicate, additional predicates, skip count, item count. */
    QVariantList last_browse() const;
    QString last_query() const;
    QList<uint> cancelled_browses() const;
    QList<uint> cancelled_queries() const;

    int deliver_results(uint browseId, int count, int firstRemaining);
    bool deliver_result(uint browseId, uint sentId, const QString &objectId,
                        const QVariantMap &meta, uint index, int remaining);
    bool deliver_error(uint browseId, uint sentId, uint code, const QString &message);
    int deliver_rows(uint queryId, int count, int firstRemaining);
    bool deliver_row(uint queryId, uint sentId, const QStringList &row, uint index, int remaining);
    bool deliver_query_error(uint queryId, uint sentId, int code, const QString &message);
    bool stream_results(uint browseId, int count, int slice);

    void emit_container_changed(const QString &objectId);
    void emit_metadata_changed(const QString &objectId);

private:
    TestSource *m_source;
    QString m_path;
    bool m_registered = false;
};

#endif
