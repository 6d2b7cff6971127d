#ifndef TUVOQUITSIGNALS_H
#define TUVOQUITSIGNALS_H

#include <QObject>

class QSocketNotifier;

/*!
 * Turns SIGTERM and SIGINT into a plain quit of the event loop (status 0), so that
 * everything registered on the bus is withdrawn and the plugin unloaded as on any
 * other orderly exit. The signal handler only writes to a pipe; the quit happens in
 * the event loop.
 */
class TuvoQuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit TuvoQuitSignals(QObject *parent = nullptr);
    ~TuvoQuitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

private Q_SLOTS:
    void handleSignal();

private:
    static void signalHandler(int signal);
    QSocketNotifier *m_notifier = nullptr;
};

#endif
