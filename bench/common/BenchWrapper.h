#pragma once

#include "BenchSignalCounter.h"

#include <QDBusConnection>
#include <QProcess>

/*!
 * A tuvo-dbus-wrapper process hosting one plugin, on the bus the benchmark is given.
 * Stopped (SIGTERM, as a person would) when destroyed.
 */
class BenchWrapper
{
public:
    /*! \a wrapperBinary hosts \a pluginPath; neither is started yet. */
    BenchWrapper(QDBusConnection bus, const QString &wrapperBinary, const QString &pluginPath);
    ~BenchWrapper();

    /*! Starts the process and waits for its "new_plugin" hello. */
    bool start(int timeoutMs = 10000);
    /*!
     * Activates the plugin, whose control name ends in \a pluginName (for example
     * "libtuvo_sample_plugin"), and waits for the registry's \a hello signal
     * ("new_renderer" or "new_source").
     */
    bool activate(const QString &pluginName, const QString &hello, int timeoutMs = 10000);
    void stop();
    qint64 processId() const { return process.processId(); }

    /*! Serves the event loop for \a ms, so that work in flight settles. */
    static void settle(int ms);

private:
    QDBusConnection bus;
    QString binary;
    QString plugin;
    QProcess process;
    BenchSignalCounter hellos;
};
