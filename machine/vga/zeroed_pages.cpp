#include "machine/vga/zeroed_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <new>

namespace machine {
namespace {

size_t wholePages(size_t bytes)
{
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

ZeroedPages::ZeroedPages(size_t bytes) : size_(bytes), mapped_(wholePages(bytes ? bytes : 1))
{
    // No swap reserved up front: the mapping is address space until a page is written.
    void* p = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    bytes_ = static_cast<uint8_t*>(p);
}

ZeroedPages::~ZeroedPages()
{
    munmap(bytes_, mapped_);
}

void ZeroedPages::clear()
{
    // A private anonymous page given back reads as zero when next touched.
    if (madvise(bytes_, mapped_, MADV_DONTNEED) != 0)
        std::memset(bytes_, 0, size_);
}

}  // namespace machine
