#ifndef MAPPEDALLOCATOR_H
#define MAPPEDALLOCATOR_H

#include <cstddef>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

/*!
 * An allocator for the large arrays of a folder listing: blocks of a MiB and more are
 * mapped pages of their own, given back to the system the moment they are freed.
 * From the heap, freeing a 16 MiB sort array would leave the wrapper that much
 * larger for good, and raise the size from which the heap maps blocks at all.
 */
template <typename T>
class MappedAllocator
{
public:
    using value_type = T;

    MappedAllocator() noexcept = default;
    template <typename U>
    MappedAllocator(const MappedAllocator<U> &) noexcept
    {
    }

    T *allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        void *block = nullptr;
        if (bytes >= MappedFrom) {
            block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (block == MAP_FAILED)
                block = nullptr;
        } else {
            block = std::malloc(bytes == 0 ? 1 : bytes);
        }
        if (!block)
            throw std::bad_alloc();
        return static_cast<T *>(block);
    }

    void deallocate(T *block, std::size_t n) noexcept
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes >= MappedFrom)
            ::munmap(block, bytes);
        else
            std::free(block);
    }

    template <typename U>
    bool operator==(const MappedAllocator<U> &) const noexcept
    {
        return true;
    }
    template <typename U>
    bool operator!=(const MappedAllocator<U> &) const noexcept
    {
        return false;
    }

    static constexpr std::size_t MappedFrom = std::size_t(1) << 20;
};

#endif
