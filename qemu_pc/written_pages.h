// Host memory that notes which of its pages were written since it was last watched: while
// watched it is read-only, the first write to a page faults, and the fault handler makes that
// page writable and marks it. A host copy of video memory then finds the host's drawing
// without comparing all of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qemu_pc {

class WrittenPages {
public:
    static constexpr size_t PAGE = 4096;

    explicit WrittenPages(size_t bytes);  // zeroed, writable, not watched; bytes rounded up to pages
    ~WrittenPages();
    WrittenPages(const WrittenPages&) = delete;
    WrittenPages& operator=(const WrittenPages&) = delete;

    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return bytes_; }

    // From now on, note the pages written; forgets the pages noted before.
    void watch();
    // Every page writable, as for the kernel's writes (a read(2) into a watched page fails
    // rather than faulting); the pages count as written until the next watch().
    void unwatch();
    // The runs of pages written since watch(), as byte ranges [first, second).
    std::vector<std::pair<size_t, size_t>> writtenRuns() const;

private:
    friend struct WrittenPagesFaults;
    uint8_t* data_ = nullptr;
    size_t bytes_ = 0;
    std::vector<uint8_t> written_;  // one per page; set by the fault handler
};

}  // namespace qemu_pc
