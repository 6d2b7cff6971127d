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
 *
 * A process that the bus daemon started on demand (it sets DBUS_STARTER_BUS_TYPE) counts
 * a missing screensaver as Inactive instead: on a desktop without one, such a process
 * would otherwise never end, and the bus starts it again on the next call anyway.
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

    /*! What the monitor reports while no screensaver is on the bus. */
    enum class WithoutScreenSaver {
        CountAsActive,
        CountAsInactive,
    };

    static const char *const ScreenSaverService;
    static const char *const ScreenSaverPath;
    static const char *const ScreenSaverInterface;

    /*! On the session bus, with the rule for a missing screensaver that startedByBus() gives. */
    explicit ActivityMonitor(QObject *parent);
    /*! Watches the screensaver on \a connection instead of the session bus. */
    ActivityMonitor(const QDBusConnection &connection, QObject *parent,
                    WithoutScreenSaver without = WithoutScreenSaver::CountAsActive);
    ~ActivityMonitor() override;

    /*! True when the bus daemon started this process to own a name it was asked for. */
    static bool startedByBus();

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
    Activity withoutScreenSaver() const;

    QDBusConnection m_connection;
    QDBusServiceWatcher *m_watcher = nullptr;
    WithoutScreenSaver m_without = WithoutScreenSaver::CountAsActive;
    Activity m_activity = Active;
    // Answers to GetActive from an earlier screensaver owner are stale.
    quint64 m_generation = 0;
};

#endif
