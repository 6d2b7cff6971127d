#include "FolderListing.h"

#include "LinkPolicy.h"
#include "TextFold.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

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

// The sort key of \a name (FolderListing::sortKey()) up to \a limit bytes, into \a out;
// returns how many bytes it wrote. A sort that only needs the keys' first bytes stops
// there, and never builds the rest.
size_t keyPrefix(const char *name, char *out, size_t limit)
{
    size_t n = 0;
    const char *s = name;
    while (*s && n < limit) {
        if (!isDigit(*s)) {
            out[n++] = char(foldCase(*s++));
            continue;
        }
        while (*s == '0' && isDigit(s[1]))
            ++s;
        const char *end = s;
        while (isDigit(*end))
            ++end;
        const size_t digits = size_t(end - s);
        // A marker that compares with other bytes as any digit does, then the length
        // of the number, then its digits: the longer number is the larger one.
        char head[6];
        size_t headLength = 0;
        head[headLength++] = '0';
        if (digits < 0xff) {
            head[headLength++] = char(digits);
        } else {
            head[headLength++] = char(0xff);
            for (int shift = 24; shift >= 0; shift -= 8)
                head[headLength++] = char((digits >> shift) & 0xff);
        }
        for (size_t i = 0; i < headLength && n < limit; ++i)
            out[n++] = head[i];
        const size_t taken = std::min(digits, limit - n);
        std::memcpy(out + n, s, taken);
        n += taken;
        s = end;
    }
    return n;
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

bool FolderListing::sortsBefore(const char *a, const char *b)
{
    const QByteArray foldedA = TextFold::sortForm(a);
    const QByteArray foldedB = TextFold::sortForm(b);
    const int natural = naturalCompare(foldedA.isEmpty() ? a : foldedA.constData(),
                                       foldedB.isEmpty() ? b : foldedB.constData());
    if (natural != 0)
        return natural < 0;
    return lessThan(a, b);
}

std::shared_ptr<const FolderListing> FolderListing::read(const QByteArray &path, int *error,
                                                         const LinkPolicy *links, int ordered)
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
    const QByteArray prefix = path.endsWith('/') ? path : path + '/';
    // The names go into one buffer, grown in large steps and cut to size at the end:
    // appending them one by one costs more than reading them.
    QByteArray &names = listing->m_names;
    qsizetype used = 0;

    // One array for all entries, folders moved to its front afterwards: a second
    // array and a concatenation would cost twice the entries at the peak.
    auto &entries = listing->m_offsets;
    bool anyFolded = false;
    while (struct dirent *entry = ::readdir(dir)) {
        if (!isListed(entry->d_name))
            continue;
        bool container = entry->d_type == DT_DIR;
        bool link = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat own;
            link = ::fstatat(fd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
            container = !link && S_ISDIR(own.st_mode);
        }
        if (link) {
            // Links count as what they point to; a dangling one is an item. Links
            // that lead where the source may not go are not listed at all.
            struct stat target;
            const bool resolves = ::fstatat(fd, entry->d_name, &target, 0) == 0;
            if (resolves && links && !links->allows(prefix + entry->d_name))
                continue;
            container = resolves && S_ISDIR(target.st_mode);
        }
        const int offset = int(used);
        const int length = int(std::strlen(entry->d_name));
        if (used + length + 1 > names.size())
            names.resize(qMax(2 * names.size(), used + length + 1 + (qsizetype(1) << 16)));
        std::memcpy(names.data() + used, entry->d_name, size_t(length) + 1);
        used += length + 1;
        // A folder's offset is marked (negative) until the folders are moved.
        entries.push_back(container ? -offset - 1 : offset);
        if (container)
            listing->m_containerCount++;
        for (int i = 0; i < length && !anyFolded; ++i)
            anyFolded = static_cast<unsigned char>(entry->d_name[i]) >= 0x80;
    }
    ::closedir(dir);
    names.resize(used);
    names.squeeze();
    const auto firstItem = std::partition(entries.begin(), entries.end(), [](int offset) { return offset < 0; });
    for (auto it = entries.begin(); it != firstItem; ++it)
        *it = -*it - 1;
    // Folded forms go after all names, so the names' buffer grows once more at most;
    // the names are walked in the buffer's order, so the pairs come sorted.
    if (anyFolded) {
        const int namesEnd = int(listing->m_names.size());
        for (int offset = 0; offset < namesEnd;) {
            const int length = int(std::strlen(listing->m_names.constData() + offset));
            const QByteArray form = TextFold::sortForm(listing->m_names.constData() + offset);
            if (!form.isEmpty()) {
                listing->m_folded.emplace_back(offset, int(listing->m_names.size()));
                listing->m_names.append(form.constData(), int(form.size()) + 1);
            }
            offset += length + 1;
        }
    }
    entries.shrink_to_fit();

    const int size = int(listing->m_offsets.size());
    const int wanted = ordered < 0 ? size : qMin(ordered, size);
    listing->sortRange(0, listing->m_containerCount, qMin(wanted, listing->m_containerCount));
    listing->sortRange(listing->m_containerCount, size, qMax(0, wanted - listing->m_containerCount));
    listing->m_sortedCount = wanted;
    return listing;
}

void FolderListing::sortKey(const char *name, std::string *out)
{
    // A digit takes three bytes of key at most (marker, length, itself), a run of 255
    // digits or more six bytes and its digits.
    out->resize(3 * std::strlen(name) + 6);
    out->resize(keyPrefix(name, out->data(), out->size()));
}

void FolderListing::sortRange(int from, int to, int ordered)
{
    if (ordered <= 0 || to - from < 2)
        return;
    const char *names = m_names.constData();
    // Comparing names means two reads at random places of a large buffer. Each entry
    // carries the eight bytes of its sort key that follow what all keys of the range
    // share ("IMG_", "track-0"), so most comparisons are one of two integers; only
    // entries whose eight bytes are the same compare their names.
    struct Keyed
    {
        quint32 high;
        quint32 low;
        int name;
    };
    std::string first;
    sortKey(names + keyOf(m_offsets[size_t(from)]), &first);
    size_t shared = first.size();
    // Only the keys' first bytes are built: as many as all keys may still share, then
    // the eight that follow them.
    std::vector<char> key(shared + 8);
    for (int i = from + 1; i < to && shared > 0; ++i) {
        const size_t length = keyPrefix(names + keyOf(m_offsets[size_t(i)]), key.data(), shared);
        size_t same = 0;
        while (same < length && key[same] == first[same])
            ++same;
        shared = same;
    }
    std::vector<Keyed, MappedAllocator<Keyed>> keyed;
    keyed.reserve(size_t(to - from));
    for (int i = from; i < to; ++i) {
        const int name = m_offsets[size_t(i)];
        const size_t length = keyPrefix(names + keyOf(name), key.data(), shared + 8);
        quint64 head = 0;
        for (size_t k = 0; k < 8; ++k) {
            const size_t at = shared + k;
            head = (head << 8) | (at < length ? static_cast<unsigned char>(key[at]) : 0u);
        }
        keyed.push_back({quint32(head >> 32), quint32(head), name});
    }
    const auto order = [this, names](const Keyed &a, const Keyed &b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        const int natural = naturalCompare(names + keyOf(a.name), names + keyOf(b.name));
        if (natural != 0)
            return natural < 0;
        return lessThan(names + a.name, names + b.name);
    };
    if (ordered < to - from) {
        // The smallest entries to the front, then only they are sorted.
        std::nth_element(keyed.begin(), keyed.begin() + ordered, keyed.end(), order);
        std::sort(keyed.begin(), keyed.begin() + ordered, order);
    } else {
        std::sort(keyed.begin(), keyed.end(), order);
    }
    for (int i = from; i < to; ++i)
        m_offsets[size_t(i)] = keyed[size_t(i - from)].name;
}

int FolderListing::keyOf(int name) const
{
    if (m_folded.empty())
        return name;
    const auto found = std::lower_bound(m_folded.cbegin(), m_folded.cend(), std::make_pair(name, INT_MIN));
    return found != m_folded.cend() && found->first == name ? found->second : name;
}

std::shared_ptr<const FolderListing> FolderListing::complete(const std::shared_ptr<const FolderListing> &listing)
{
    if (!listing || listing->m_sortedCount >= listing->size())
        return listing;
    std::shared_ptr<FolderListing> copy(new FolderListing(*listing));
    // Its own entries (copied above): other threads may be reading or completing the
    // same listing.
    // The ordered head holds the smallest entries of its group already: what follows
    // only needs sorting behind it.
    const int sorted = copy->m_sortedCount;
    if (sorted < copy->m_containerCount)
        copy->sortRange(sorted, copy->m_containerCount, copy->m_containerCount - sorted);
    const int itemsFrom = qMax(copy->m_containerCount, sorted);
    copy->sortRange(itemsFrom, copy->size(), copy->size() - itemsFrom);
    copy->m_sortedCount = copy->size();
    return copy;
}

bool FolderListing::isCurrent(const struct stat &st) const
{
    return st.st_dev == m_device && st.st_ino == m_inode && sameTime(st.st_mtim, m_modified)
           && sameTime(st.st_ctim, m_changed);
}

QVector<int> FolderListing::matching(const QString &text) const
{
    QVector<int> found;
    const QString folded = TextFold::fold(text);
    for (int i = 0; i < size(); ++i) {
        if (TextFold::contains(displayName(i), folded))
            found.append(i);
    }
    return found;
}
