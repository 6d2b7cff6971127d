#include "FolderListing.h"

#include <QStringMatcher>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {
inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline unsigned char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a')
                                   : static_cast<unsigned char>(c);
}

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}
} // namespace

int FolderListing::naturalCompare(const char *a, const char *b)
{
    // Names in one folder often share long prefixes ("IMG_2019..."): an identical
    // prefix compares equal whatever it holds, as long as it is not cut in the middle
    // of a number.
    size_t same = 0;
    while (a[same] && a[same] == b[same])
        ++same;
    while (same > 0 && isDigit(a[same - 1]))
        --same;
    a += same;
    b += same;
    while (*a && *b) {
        if (isDigit(*a) && isDigit(*b)) {
            // Compare the numbers' values: skip leading zeros, then the longer run of
            // digits is the larger number, and runs of equal length compare bytewise.
            while (*a == '0' && isDigit(a[1]))
                ++a;
            while (*b == '0' && isDigit(b[1]))
                ++b;
            const char *endA = a;
            const char *endB = b;
            while (isDigit(*endA))
                ++endA;
            while (isDigit(*endB))
                ++endB;
            if (endA - a != endB - b)
                return (endA - a) < (endB - b) ? -1 : 1;
            const int digits = std::memcmp(a, b, size_t(endA - a));
            if (digits != 0)
                return digits;
            a = endA;
            b = endB;
            continue;
        }
        const unsigned char ca = foldCase(*a);
        const unsigned char cb = foldCase(*b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++a;
        ++b;
    }
    if (*a)
        return 1;
    if (*b)
        return -1;
    return 0;
}

bool FolderListing::lessThan(const char *a, const char *b)
{
    const int natural = naturalCompare(a, b);
    if (natural != 0)
        return natural < 0;
    return std::strcmp(a, b) < 0;
}

std::shared_ptr<const FolderListing> FolderListing::read(const QByteArray &path, int *error)
{
    *error = 0;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return nullptr;
    }
    struct stat folder;
    if (::fstat(fd, &folder) != 0) {
        *error = errno;
        ::close(fd);
        return nullptr;
    }
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        *error = errno;
        ::close(fd);
        return nullptr;
    }

    std::shared_ptr<FolderListing> listing(new FolderListing);
    listing->m_device = folder.st_dev;
    listing->m_inode = folder.st_ino;
    listing->m_modified = folder.st_mtim;
    listing->m_changed = folder.st_ctim;

    QVector<int> containers;
    QVector<int> items;
    while (struct dirent *entry = ::readdir(dir)) {
        if (!isListed(entry->d_name))
            continue;
        bool container = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            // Links count as what they point to; a dangling one is an item.
            struct stat target;
            container = ::fstatat(fd, entry->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
        }
        const int offset = int(listing->m_names.size());
        listing->m_names.append(entry->d_name, int(std::strlen(entry->d_name)) + 1);
        (container ? containers : items).append(offset);
    }
    ::closedir(dir);

    const char *names = listing->m_names.constData();
    const auto order = [names](int a, int b) { return lessThan(names + a, names + b); };
    std::sort(containers.begin(), containers.end(), order);
    std::sort(items.begin(), items.end(), order);
    listing->m_containerCount = int(containers.size());
    listing->m_offsets = containers + items;
    return listing;
}

bool FolderListing::isCurrent(const struct stat &st) const
{
    return st.st_dev == m_device && st.st_ino == m_inode && sameTime(st.st_mtim, m_modified)
           && sameTime(st.st_ctim, m_changed);
}

QVector<int> FolderListing::matching(const QString &text) const
{
    QVector<int> found;
    const QStringMatcher matcher(text, Qt::CaseInsensitive);
    for (int i = 0; i < size(); ++i) {
        if (matcher.indexIn(displayName(i)) >= 0)
            found.append(i);
    }
    return found;
}
