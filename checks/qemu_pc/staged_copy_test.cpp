// The physical copies as code: as long as said (the room for it is planned by that), each copy
// with its addresses and counts, and the descriptor table where the code's pointer says.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "qemu_pc/staged_copy.h"

namespace {

using qemu_pc::PhysicalCopy;

uint32_t at32(const std::vector<uint8_t>& code, size_t at)
{
    return code[at] | code[at + 1] << 8 | code[at + 2] << 16 | uint32_t(code[at + 3]) << 24;
}

TEST(StagedCopy, TheCodeIsAsLongAsSaidAndPointsAtItsOwnDescriptorTable)
{
    for (size_t count : {0u, 1u, 7u, 60u}) {
        std::vector<PhysicalCopy> copies;
        for (size_t i = 0; i < count; ++i)
            copies.push_back({uint32_t(0x1000000 + i * 0x1000), uint32_t(0xFD000000 + i * 0x10000), uint32_t(i * 7 + 1)});
        const uint16_t origin = 0x1400;
        const std::vector<uint8_t> code = qemu_pc::stagedCopyCode(origin, 0x602, copies);
        ASSERT_EQ(code.size(), qemu_pc::stagedCopyCodeBytes(count)) << count << " copies";
        // The pointer lgdt loads: limit 15, then the table's linear address, inside the code.
        const size_t pointer = code.size() - 12;
        EXPECT_EQ(code[pointer] | code[pointer + 1] << 8, 15);
        const uint32_t table = at32(code, pointer + 2);
        ASSERT_EQ(table, origin + code.size() - 28);
        const uint8_t flatData[] = {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x92, 0xCF, 0x00};
        EXPECT_TRUE(std::equal(std::begin(flatData), std::end(flatData), code.begin() + (table - origin) + 8));
        // Each copy: mov esi, from; mov edi, to; mov ecx, dwords ... mov ecx, the bytes left.
        for (size_t i = 0; i < count; ++i) {
            const uint8_t movEsi[] = {0x66, 0xBE};
            auto found = std::search(code.begin(), code.end(), std::begin(movEsi), std::end(movEsi));
            for (size_t k = 0; k < i; ++k)
                found = std::search(found + 1, code.end(), std::begin(movEsi), std::end(movEsi));
            ASSERT_NE(found, code.end());
            const size_t c = size_t(found - code.begin());
            EXPECT_EQ(at32(code, c + 2), copies[i].from);
            EXPECT_EQ(at32(code, c + 8), copies[i].to);
            EXPECT_EQ(at32(code, c + 14), copies[i].bytes / 4);
            EXPECT_EQ(at32(code, c + 24), copies[i].bytes % 4);
        }
    }
}

}  // namespace
