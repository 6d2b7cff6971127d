#ifndef CLIENTPROCESS_H
#define CLIENTPROCESS_H

#include <QObject>
#include <QProcess>
#include <QStringList>

/*!
 * tuvo-client as a real process on the test's private bus: standard output and
 * standard error are kept apart, and waiting keeps the test's event loop running.
 */
class ClientProcess : public QObject
{
    Q_OBJECT
public:
    struct Result {
        bool finished = false;
        int exitCode = -1;
        QString out;
        QString err;
        qint64 elapsedMs = 0;
    };

    explicit ClientProcess(QObject *parent = nullptr);
    ~ClientProcess() override;

    static QString program();
    /*! Runs tuvo-client with \a arguments to its end. */
    static Result run(const QStringList &arguments, int timeoutMs = 20000);

    void start(const QStringList &arguments);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    bool waitForExit(int timeoutMs = 20000);
    /*! Waits until standard output holds \a text. */
    bool waitForOutput(const QString &text, int timeoutMs = 10000);
    bool waitForError(const QString &text, int timeoutMs = 10000);
    void sendSignal(int signal);
    /*! Closes the reading end of standard output, as "| head" does. */
    void closeOutput() { m_process.closeReadChannel(QProcess::StandardOutput); }

    QString output();
    QStringList outputLines();
    QString errors();
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

#endif
