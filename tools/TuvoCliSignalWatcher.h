#ifndef TUVOCLISIGNALWATCHER_H
#define TUVOCLISIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

/*!
 * Turns SIGINT and SIGTERM into a Qt signal on the event loop, so that an interrupted
 * command can still cancel what it started on the bus before it exits. The handler
 * only writes the signal number to a pipe. SIGPIPE is ignored: a closed standard
 * output shows as a failed write instead.
 */
class TuvoCliSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit TuvoCliSignalWatcher(QObject *parent = nullptr);
    ~TuvoCliSignalWatcher() override;

Q_SIGNALS:
    /*! \a count is 1 for the first signal, 2 for the second... */
    void interrupted(int signal, int count);

private Q_SLOTS:
    void handleReadable();

private:
    static void handler(int signal);
    QSocketNotifier *m_notifier = nullptr;
    int m_count = 0;
};

#endif
