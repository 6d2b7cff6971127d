#include "BenchProcessMemory.h"

#include <QByteArrayList>
#include <QFile>

#include <unistd.h>

namespace {
// The sum of the named fields of /proc/<pid>/<table>, each a line "Name:   1234 kB".
qint64 sumOfFields(qint64 pid, const char *table, const QByteArrayList &fields)
{
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(table)));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 total = 0;
    const QByteArrayList lines = file.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && fields.contains(line.left(colon)))
            total += line.mid(colon + 1).trimmed().split(' ').first().toLongLong();
    }
    return total;
}
} // namespace

qint64 BenchProcessMemory::anonymousKiB(qint64 pid)
{
    return sumOfFields(pid, "smaps_rollup", {QByteArrayLiteral("Anonymous")});
}

qint64 BenchProcessMemory::privateKiB(qint64 pid)
{
    return sumOfFields(pid, "smaps_rollup",
                       {QByteArrayLiteral("Private_Clean"), QByteArrayLiteral("Private_Dirty")});
}

qint64 BenchProcessMemory::residentKiB(qint64 pid)
{
    return sumOfFields(pid, "status", {QByteArrayLiteral("VmRSS")});
}

qint64 BenchProcessMemory::peakResidentKiB(qint64 pid)
{
    return sumOfFields(pid, "status", {QByteArrayLiteral("VmHWM")});
}

double BenchProcessMemory::cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The fields after the command name, which may hold spaces: utime and stime are the
    // 12th and 13th of them.
    const QByteArrayList fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    static const long ticks = ::sysconf(_SC_CLK_TCK);
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(ticks);
}
