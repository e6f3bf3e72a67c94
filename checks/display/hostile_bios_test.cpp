// Detection against a controller block that a faulty BIOS could return: a mode list without
// its 0xFFFF end, lists and strings that run to the end of real-mode memory, strings that
// are missing. A small int 10h handler answers 4F00h with the block and passes every other
// call on to the real BIOS.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display_bus/pc_bus.h"
#include "machine/machine.h"
#include "platform/display.h"
#include "platform/realmode.h"

namespace {

constexpr uint32_t MEMORY_END = 0x10FFF0;  // FFFF:FFFF + 1

struct HostileBios {
    std::unique_ptr<machine::Clock> clock = machine::makeVirtualClock();
    std::unique_ptr<machine::Machine> pc;
    uint16_t segment = 0;

    // The handler copies the 34-byte block at its segment's offset 100h to ES:DI for 4F00h.
    explicit HostileBios(const uint8_t (&block)[34])
    {
        pc = std::make_unique<machine::Machine>(machine::presetConfig("default"), *clock);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        uint32_t selector, offset, realSegment, realOffset;
        EXPECT_NE(RM_allocRealSeg(0x200, &selector, &offset, &realSegment, &realOffset), 0);
        segment = uint16_t(realSegment);
        uint32_t old = 0;
        RM_getRMvect(0x10, &old);
        const uint8_t code[] = {
            0x3D,
            0x00,
            0x4F,  // cmp ax, 4F00h
            0x75,
            0x13,  // jne chain
            0x1E,
            0x0E,
            0x1F,  // push ds; push cs; pop ds
            0xBE,
            0x00,
            0x01,  // mov si, 100h
            0xB9,
            0x22,
            0x00,  // mov cx, 34
            0xFC,
            0x57,
            0xF3,
            0xA4,  // cld; push di; rep movsb
            0x5F,
            0x1F,  // pop di; pop ds
            0xB8,
            0x4F,
            0x00,  // mov ax, 004Fh
            0xCF,  // iret
            0xEA,
            uint8_t(old),
            uint8_t(old >> 8),
            uint8_t(old >> 16),
            uint8_t(old >> 24),  // chain: jmp far
        };
        uint8_t* base = pc->memory() + uint32_t(segment) * 16;
        std::memcpy(base, code, sizeof code);
        std::memcpy(base + 0x100, block, sizeof block);
        RM_setRMvect(0x10, uint32_t(segment) << 16);
    }
    ~HostileBios() { machine::setCurrent(nullptr); }
    uint8_t* at(uint32_t linear) { return pc->memory() + linear; }
};

// A real-mode far pointer to a linear address; the high memory area is reached from FFFF.
uint32_t farTo(uint32_t linear)
{
    return linear >= 0x100000 ? 0xFFFF0000u | (linear - 0xFFFF0) : (linear >> 4) << 16 | (linear & 0xF);
}

void putFar(uint8_t (&block)[34], int offset, uint32_t farPointer)
{
    std::memcpy(block + offset, &farPointer, 4);
}

std::vector<uint16_t> listOf(const DisplayContext* dc)
{
    std::vector<uint16_t> modes;
    for (const uint16_t* m = dc->modeList; *m != 0xFFFF && modes.size() < 100000; ++m)
        modes.push_back(*m);
    return modes;
}

uint8_t (&baseBlock())[34]
{
    static uint8_t block[34];
    std::memset(block, 0, sizeof block);
    std::memcpy(block, "VESA", 4);
    block[4] = 0x00, block[5] = 0x02;  // 2.0
    block[18] = 64;                    // 4 MB
    return block;
}

TEST(HostileBios, ModeListsAreCutAtASaneLengthAndAtTheEndOfMemory)
{
    struct Case {
        const char* name;
        uint32_t listAt;  // linear address of the list
        size_t words;     // words of 0x0101 written there, no end mark
        size_t expected;  // entries the library keeps
    };
    const Case cases[] = {
        {"no end mark", 0x20000, 600, 256},
        {"runs into the end of memory", MEMORY_END - 16, 8, 8},
        {"starts past the end", MEMORY_END - 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t(&block)[34] = baseBlock();
        putFar(block, 14, farTo(c.listAt));
        HostileBios bios(block);
        for (size_t i = 0; i < c.words; ++i) {
            bios.at(c.listAt)[2 * i] = 0x01;
            bios.at(c.listAt)[2 * i + 1] = 0x01;
        }
        DisplayContext* dc = GX_init(0);
        ASSERT_NE(dc, nullptr);
        const std::vector<uint16_t> modes = listOf(dc);
        EXPECT_EQ(modes.size(), c.expected);
        for (uint16_t m : modes)
            EXPECT_EQ(m, 0x0101);
    }
}

TEST(HostileBios, StringsStayReadableWhateverTheBlockHolds)
{
    uint8_t(&block)[34] = baseBlock();
    putFar(block, 14, 0x20000000);            // an empty list at 2000:0000
    putFar(block, 6, farTo(MEMORY_END - 8));  // OEM string: the last 8 bytes of memory, no NUL
    putFar(block, 22, 0);                     // no vendor
    putFar(block, 26, 0x30000000);            // product: 300 characters, no NUL within 255
    putFar(block, 30, 0x40000000);            // revision: an ordinary string
    HostileBios bios(block);
    bios.at(0x20000)[0] = 0xFF, bios.at(0x20000)[1] = 0xFF;
    std::memcpy(bios.at(MEMORY_END - 8), "ABCDEFGH", 8);
    std::memset(bios.at(0x30000), 'x', 300);
    std::strcpy(reinterpret_cast<char*>(bios.at(0x40000)), "rev 1");
    ASSERT_NE(GX_init(0), nullptr);
    VbeInfoBlock info;
    ASSERT_NE(VBE_detect(&info), 0);
    EXPECT_STREQ(vbeInfoString(info.OemStringPtr), "ABCDEFGH");
    EXPECT_STREQ(vbeInfoString(info.OemVendorNamePtr), "");
    EXPECT_EQ(std::string(vbeInfoString(info.OemProductNamePtr)), std::string(255, 'x'));
    EXPECT_STREQ(vbeInfoString(info.OemProductRevPtr), "rev 1");
}

TEST(HostileBios, VideoMemoryIsWhatTheControllerReportsWithinWhatTheCardMaps)
{
    // 640 x 480 in 8 bits on the 4 MB card: 307200 bytes a page.
    struct Case {
        const char* name;
        uint16_t totalMemory64k;
        int32_t pages;
    };
    const Case cases[] = {
        {"less than the card has", 16, 3},     // 1 MB
        {"more than the card has", 1024, 13},  // 64 MB claimed; the card maps 4 MB
        {"the most 16 bits say", 0xFFFF, 13},  // 4 GB less 64 KB, 4194240 KB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t(&block)[34] = baseBlock();
        block[18] = uint8_t(c.totalMemory64k), block[19] = uint8_t(c.totalMemory64k >> 8);
        putFar(block, 14, 0x20000000);  // the list at 2000:0000: 101h only
        HostileBios bios(block);
        const uint8_t list[] = {0x01, 0x01, 0xFF, 0xFF};
        std::memcpy(bios.at(0x20000), list, sizeof list);
        DisplayContext* dc = GX_init(0);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(dc->videoMemoryKb, int32_t(c.totalMemory64k) * 64);
        ModeInfo info{};
        ASSERT_NE(GX_getModeInfo(0x101, &info), 0);
        EXPECT_EQ(info.numberOfPages, c.pages);
        ASSERT_NE(GX_setMode(0x101 | MODE_LINEAR_FRAMEBUFFER, 0, 1, 0x101), 0);
        EXPECT_EQ(dc->maxPage + 1, c.pages);
        // The last whole page can be shown and cleared; the one after it cannot be shown.
        EXPECT_NE(VBE_setDisplayStart(0, 480 * (c.pages - 1), 0), 0);
        EXPECT_EQ(VBE_setDisplayStart(0, 480 * c.pages, 0), 0);
        GX_setActivePage(c.pages - 1);
        GX_clear(7);
        EXPECT_EQ(bios.pc->lfb()[uint32_t(c.pages) * 307200 - 1], 7);
        GX_restoreMode();
    }
}

}  // namespace
