#ifndef WRAPPERPROCESS_H
#define WRAPPERPROCESS_H

#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

class BusSignalRecorder;

/*!
 * The real tuvo-dbus-wrapper as a child process on the test's private bus.
 * Standard error is collected; the process gets a home directory of its own.
 */
class WrapperProcess : public QObject
{
    Q_OBJECT
public:
    explicit WrapperProcess(QObject *parent = nullptr);
    ~WrapperProcess() override;

    void setEnv(const QString &name, const QString &value);
    void setHome(const QString &home) { setEnv(QStringLiteral("HOME"), home); }
    QString home() const { return m_environment.value(QStringLiteral("HOME")); }

    /*!
     * Starts the wrapper with \a arguments and waits for its "new_plugin" hello,
     * or only for the process to run when \a waitForHello is false. False when it
     * exited or no hello came.
     */
    bool start(const QStringList &arguments, bool waitForHello = true, int timeoutMs = 10000);
    bool startWithPlugin(const QString &plugin) { return start({plugin}); }

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    qint64 pid() const { return m_process.processId(); }
    void sendSignal(int signal);
    /*! Stops a process that is still running; further calls do nothing. */
    void kill();

    /*! What the process wrote to standard error so far. */
    QString errorOutput();
    bool waitForErrorOutput(const QString &text, int timeoutMs = 10000);

    /*! The argument of the "new_plugin" hello that start() waited for. */
    QString helloName() const { return m_helloName; }

private:
    QProcess m_process;
    QProcessEnvironment m_environment;
    QByteArray m_errors;
    QString m_helloName;
};

#endif
