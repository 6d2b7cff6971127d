#ifndef ACTIVITYMONITOR_H
#define ACTIVITYMONITOR_H

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

/*!
 * The device-activity service: whether somebody is using the device.
 *
 * Built on the freedesktop screensaver of the session bus ("org.freedesktop.ScreenSaver",
 * method GetActive, signal ActiveChanged(bool)): the activity is Inactive (0) while the
 * screensaver is active and Active (1) otherwise, including while no screensaver is on
 * the bus. The monitor follows the screensaver appearing on and leaving the bus, and
 * never blocks: it asks the screensaver asynchronously and reports what it learns with
 * activityChanged().
 */
class ActivityMonitor : public QObject
{
    Q_OBJECT
public:
    enum Activity {
        Inactive = 0,
        Active = 1,
    };
    Q_ENUM(Activity)

    static const char *const ScreenSaverService;
    static const char *const ScreenSaverPath;
    static const char *const ScreenSaverInterface;

    explicit ActivityMonitor(QObject *parent);
    /*! Watches the screensaver on \a connection instead of the session bus. */
    ActivityMonitor(const QDBusConnection &connection, QObject *parent);
    ~ActivityMonitor() override;

    Activity get() const { return m_activity; }

Q_SIGNALS:
    void activityChanged(ActivityMonitor::Activity activity);

private Q_SLOTS:
    void handleScreenSaverActiveChanged(bool active);
    void handleServiceOwnerChanged(const QString &service, const QString &oldOwner,
                                   const QString &newOwner);
    void handleGetActiveReply(QDBusPendingCallWatcher *watcher);

private:
    void start();
    void askScreenSaver();
    void setActivity(Activity activity);

    QDBusConnection m_connection;
    QDBusServiceWatcher *m_watcher = nullptr;
    Activity m_activity = Active;
    // Answers to GetActive from an earlier screensaver owner are stale.
    quint64 m_generation = 0;
};

#endif
