#include "BenchSignalCounter.h"

#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>

BenchSignalCounter::BenchSignalCounter(QDBusConnection bus, const QString &path,
                                       const QString &interface, const QString &name,
                                       QObject *parent)
    : QObject(parent)
{
    bus.connect(QString(), path, interface, name, this, SLOT(handle(QDBusMessage)));
}

bool BenchSignalCounter::waitFor(int count, int timeoutMs)
{
    if (seen >= count)
        return true;
    QEventLoop waiting;
    wanted = count;
    loop = &waiting;
    QTimer::singleShot(timeoutMs, &waiting, &QEventLoop::quit);
    waiting.exec();
    loop = nullptr;
    return seen >= count;
}

void BenchSignalCounter::handle(const QDBusMessage &)
{
    if (++seen >= wanted && loop)
        loop->quit();
}
