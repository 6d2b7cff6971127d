#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusMessage;
class QEventLoop;

/*!
 * Counts the emissions of one D-Bus signal, from any sender, and lets a benchmark wait
 * (in an event loop, so that the bus keeps being served) until a number has been seen.
 */
class BenchSignalCounter : public QObject
{
    Q_OBJECT
public:
    BenchSignalCounter(QDBusConnection bus, const QString &path, const QString &interface,
                       const QString &name, QObject *parent = nullptr);

    int count() const { return seen; }
    /*! True once count() reaches \a wanted; false when \a timeoutMs pass first. */
    bool waitFor(int wanted, int timeoutMs = 10000);

private Q_SLOTS:
    void handle(const QDBusMessage &message);

private:
    int seen = 0;
    int wanted = 0;
    QEventLoop *loop = nullptr;
};
