#pragma once

#include <QtGlobal>

/*! Memory figures of a running process, from /proc, in KiB (-1 when unreadable), and
 *  the CPU time it has used. */
class BenchProcessMemory
{
public:
    /*! Anonymous memory: heap, stacks and anonymous mappings. */
    static qint64 anonymousKiB(qint64 pid);
    /*! Pages that no other process maps, clean and dirty. */
    static qint64 privateKiB(qint64 pid);
    /*! Resident set size now, and its high-water mark since the process started. */
    static qint64 residentKiB(qint64 pid);
    static qint64 peakResidentKiB(qint64 pid);
    /*! User and system CPU time so far, in seconds (0 when unreadable). */
    static double cpuSeconds(qint64 pid);
};
