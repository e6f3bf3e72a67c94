// Pages that note their first write: a write anywhere in a watched area goes through and marks
// its page, bytes written by any means (a store, memset across pages) are kept, watch() forgets
// the marks, unwatch() lets the kernel write, and a fault outside every area stays a fault.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <utility>
#include <vector>

#include "qemu_pc/written_pages.h"

namespace {

using qemu_pc::WrittenPages;
using Runs = std::vector<std::pair<size_t, size_t>>;
constexpr size_t PAGE = WrittenPages::PAGE;

TEST(WrittenPages, NotesEachPageWrittenSinceWatchedAndKeepsTheBytes)
{
    WrittenPages area(16 * PAGE);
    EXPECT_EQ(area.writtenRuns(), (Runs{{0, 16 * PAGE}})) << "unwatched, everything may have been written";
    area.watch();
    EXPECT_TRUE(area.writtenRuns().empty());
    volatile uint8_t* bytes = area.data();
    bytes[5] = 1;
    bytes[PAGE + 7] = 2;
    std::memset(area.data() + 9 * PAGE - 3, 3, PAGE + 6);  // the end of page 8, all of 9, the start of 10
    EXPECT_EQ(bytes[5], 1);
    EXPECT_EQ(bytes[PAGE + 7], 2);
    EXPECT_EQ(bytes[10 * PAGE + 2], 3);
    EXPECT_EQ(bytes[4 * PAGE], 0);  // reads mark nothing
    EXPECT_EQ(area.writtenRuns(), (Runs{{0, 2 * PAGE}, {8 * PAGE, 11 * PAGE}}));

    area.watch();
    EXPECT_TRUE(area.writtenRuns().empty());
    bytes[15 * PAGE + PAGE - 1] = 4;
    EXPECT_EQ(area.writtenRuns(), (Runs{{15 * PAGE, 16 * PAGE}}));
}

TEST(WrittenPages, TheKernelWritesOnlyAfterUnwatch)
{
    WrittenPages area(4 * PAGE);
    const int fd = open("/dev/zero", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    area.watch();
    EXPECT_LT(read(fd, area.data(), 2 * PAGE), 0) << "read(2) into a watched page fails instead of faulting";
    area.unwatch();
    std::memset(area.data(), 9, 4 * PAGE);
    EXPECT_EQ(read(fd, area.data(), 2 * PAGE), ssize_t(2 * PAGE));
    EXPECT_EQ(area.data()[PAGE], 0);
    EXPECT_EQ(area.data()[3 * PAGE], 9);
    EXPECT_EQ(area.writtenRuns(), (Runs{{0, 4 * PAGE}}));
    close(fd);
}

TEST(WrittenPagesDeathTest, AFaultOutsideEveryAreaStillEndsTheProcess)
{
    WrittenPages area(PAGE);
    area.watch();
    void* elsewhere = mmap(nullptr, PAGE, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(elsewhere, MAP_FAILED);
    EXPECT_DEATH(*static_cast<volatile uint8_t*>(elsewhere) = 1, "");
    munmap(elsewhere, PAGE);
}

}  // namespace
