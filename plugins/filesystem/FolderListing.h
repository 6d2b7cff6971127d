#ifndef FOLDERLISTING_H
#define FOLDERLISTING_H

#include "FileName.h"
#include "MappedAllocator.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

class LinkPolicy;

/*!
 * The names in one folder, in browse order: folders first, then everything else,
 * each group in natural name order (digit runs by value, letters without regard to
 * case or accents, so "Émilie" sorts beside "emilie"; ties broken by the raw bytes,
 * so the order is total and stable). Hidden entries (".name") are left out, and so
 * are links that the LinkPolicy does not let the source follow.
 *
 * A listing may be ordered only as far as a first page needs (sortedCount()): the
 * first results then wait for a readdir and a selection, not a sort of the whole
 * folder. complete() orders the rest when a later page asks for it.
 *
 * Only names are read: a listing of 100 000 entries costs a readdir and a sort, and
 * its names sit in one buffer. Everything else about an entry is looked up when the
 * entry is delivered (EntryReader). A listing is immutable once read, so it can be
 * shared between threads and kept for the next browse of the same folder.
 */
class FolderListing
{
public:
    /*!
     * Reads the folder \a path. On failure returns null and sets \a error to the
     * errno value (ENOENT, ENOTDIR, EACCES...).
     */
    static std::shared_ptr<const FolderListing> read(const QByteArray &path, int *error,
                                                     const LinkPolicy *links = nullptr,
                                                     int ordered = -1);
    /*! \a listing ordered to its end: itself when it is already, a sorted copy otherwise. */
    static std::shared_ptr<const FolderListing> complete(const std::shared_ptr<const FolderListing> &listing);
    /*! How many leading entries are in browse order; the rest are in no order. */
    int sortedCount() const { return m_sortedCount; }

    int size() const { return int(m_offsets.size()); }
    /*! The raw name of entry \a i, zero-terminated. */
    const char *name(int i) const { return m_names.constData() + m_offsets[size_t(i)]; }
    QString displayName(int i) const { return FileName::displayName(name(i)); }
    /*! The name of entry \a i as object ids and paths write it (FileName). */
    QString idName(int i) const { return FileName::fromBytes(name(i), int(std::strlen(name(i)))); }
    bool isContainer(int i) const { return i < m_containerCount; }
    int containerCount() const { return m_containerCount; }

    /*! The bytes the listing holds: names, folded forms and offsets. */
    qint64 memoryUse() const
    {
        return qint64(m_names.capacity()) + qint64(m_offsets.capacity() * sizeof(int))
               + qint64(m_folded.capacity() * sizeof(m_folded[0]));
    }

    /*! True while \a st (a fresh stat of the folder) says the folder is unchanged. */
    bool isCurrent(const struct stat &st) const;

    /*! The positions of the entries whose names contain \a text, ignoring case and accents. */
    QVector<int> matching(const QString &text) const;

    /*! The natural order of two names, as described above: <0, 0 or >0. */
    static int naturalCompare(const char *a, const char *b);
    static bool lessThan(const char *a, const char *b);
    /*! The order of two names as a listing sorts them, accents folded. */
    static bool sortsBefore(const char *a, const char *b);
    /*!
     * The bytes that \a name sorts by in natural order, into \a out: two names compare
     * as their keys do bytewise (unsigned). Letters fold to lower case, and each run of
     * digits becomes a marker, its length without leading zeros, and those digits.
     */
    static void sortKey(const char *name, std::string *out);
    /*! Whether \a name is listed at all. */
    static bool isListed(const char *name) { return name[0] != '.'; }

private:
    FolderListing() = default;

    void sortRange(int from, int to, int ordered);
    /*! The offset of what the name at \a name sorts by: itself, or its folded form. */
    int keyOf(int name) const;

    QByteArray m_names;
    // Offsets of the names in m_names, in browse order.
    std::vector<int, MappedAllocator<int>> m_offsets;
    // (name, folded form) offsets of the names that sort by a folded form, by name.
    std::vector<std::pair<int, int>> m_folded;
    int m_sortedCount = 0;
    int m_containerCount = 0;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    struct timespec m_modified = {0, 0};
    struct timespec m_changed = {0, 0};
};

#endif
