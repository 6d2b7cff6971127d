#include "LinkPolicy.h"

#include "FileName.h"

#include <climits>
#include <cstdlib>

namespace {
QByteArray withSlash(QByteArray path)
{
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

QByteArray resolve(const QByteArray &path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.constData(), buffer))
        return QByteArray();
    return QByteArray(buffer);
}
} // namespace

LinkPolicy::LinkPolicy(const QStringList &roots, bool anywhere)
    : m_anywhere(anywhere)
    , m_open(false)
{
    for (const QString &root : roots) {
        const QByteArray resolved = resolve(FileName::toBytes(root));
        if (!resolved.isEmpty())
            m_roots.append(withSlash(resolved));
    }
}

bool LinkPolicy::allows(const QByteArray &path) const
{
    const QByteArray resolved = resolve(path);
    return !resolved.isEmpty() && allowsResolved(resolved);
}

bool LinkPolicy::allowsResolved(const QByteArray &resolved) const
{
    const QByteArray path = withSlash(resolved);
    for (const char *system : {"/proc/", "/sys/", "/dev/"}) {
        if (path.startsWith(system))
            return false;
    }
    if (m_anywhere || m_open)
        return true;
    for (const QByteArray &root : m_roots) {
        if (path.startsWith(root))
            return true;
    }
    return false;
}
