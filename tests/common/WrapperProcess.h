#ifndef WRAPPERPROCESS_H
#define WRAPPERPROCESS_H

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

class BusSignalRecorder;

/*!
 * The real tuvo-dbus-wrapper as a child process on the private bus, for the tests and
 * the benchmarks. Standard error is collected; a test gives the process a home
 * directory of its own.
 */
class WrapperProcess : public QObject
{
    Q_OBJECT
public:
    explicit WrapperProcess(QObject *parent = nullptr);
    ~WrapperProcess() override;

    void setEnv(const QString &name, const QString &value);
    void setHome(const QString &home) { setEnv(QStringLiteral("HOME"), home); }

    /*!
     * Starts the wrapper with \a arguments and waits for its "new_plugin" hello,
     * or only for the process to run when \a waitForHello is false. False when it
     * exited or no hello came.
     */
    bool start(const QStringList &arguments, bool waitForHello = true, int timeoutMs = 10000);
    bool startWithPlugin(const QString &plugin) { return start({plugin}); }
    /*!
     * Activates the plugin as a client on the session bus and waits for the registry's
     * \a hello signal ("new_renderer" or "new_source") of what it publishes.
     */
    bool activate(const QString &hello, int timeoutMs = 10000);

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    qint64 pid() const { return m_process.processId(); }
    void sendSignal(int signal);
    /*! Stops a process that is still running; further calls do nothing. */
    void kill();
    /*! Ends the process as a person would (SIGTERM), killing it when that fails. */
    void stop();

    /*! What the process wrote to standard error so far. */
    QString errorOutput();
    bool waitForErrorOutput(const QString &text, int timeoutMs = 10000);

    /*! The argument of the "new_plugin" hello that start() waited for. */

private:
    QProcess m_process;
    QProcessEnvironment m_environment;
    QByteArray m_errors;
    QString m_helloName;
    BusSignalRecorder *m_hellos; // made before start(), so that no timed start waits for it
};

#endif
