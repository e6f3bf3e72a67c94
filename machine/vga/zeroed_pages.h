// Video memory as host memory that costs nothing until it is written: an anonymous mapping
// whose pages the kernel supplies, zeroed, on the first write. A 512 MB card whose program
// draws a few screens holds a few screens of host memory, and clearing gives the pages back.
#pragma once

#include <cstddef>
#include <cstdint>

namespace machine {

class ZeroedPages {
public:
    explicit ZeroedPages(size_t bytes);  // throws std::bad_alloc when the mapping fails
    ~ZeroedPages();
    ZeroedPages(const ZeroedPages&) = delete;
    ZeroedPages& operator=(const ZeroedPages&) = delete;

    uint8_t* data() { return bytes_; }
    const uint8_t* data() const { return bytes_; }
    size_t size() const { return size_; }
    uint8_t& operator[](size_t at) { return bytes_[at]; }
    uint8_t operator[](size_t at) const { return bytes_[at]; }

    // Every byte zero again; the pages written so far go back to the host.
    void clear();

private:
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    size_t mapped_ = 0;  // size_ rounded up to whole pages
};

}  // namespace machine
