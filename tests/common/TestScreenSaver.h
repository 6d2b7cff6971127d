#ifndef TESTSCREENSAVER_H
#define TESTSCREENSAVER_H

#include <QDBusConnection>
#include <QObject>

/*!
 * A freedesktop screensaver of the test's own, on a connection of its own so that it
 * can appear on and leave the private bus at will.
 */
class TestScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit TestScreenSaver(bool active = false, QObject *parent = nullptr);
    ~TestScreenSaver() override;

    bool appear();
    void leave();
    bool isOnBus() const { return m_onBus; }
    void setActive(bool active);
    int getActiveCalls() const { return m_getActiveCalls; }
    QDBusConnection connection() const { return m_connection; }

public Q_SLOTS:
    bool GetActive();

Q_SIGNALS:
    void ActiveChanged(bool active);

private:
    QString m_connectionName;
    QDBusConnection m_connection;
    bool m_active;
    bool m_onBus = false;
    int m_getActiveCalls = 0;
};

#endif
