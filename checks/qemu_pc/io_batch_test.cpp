// The queued writes as code: the size kept as entries come never falls short of the code (the
// queue's room in QEMU's memory is bounded by it), and runs become string instructions over
// their data, which follows the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "qemu_pc/io_batch.h"

namespace {

using qemu_pc::IoBatch;

bool contains(const std::vector<uint8_t>& code, std::vector<uint8_t> bytes)
{
    return std::search(code.begin(), code.end(), bytes.begin(), bytes.end()) != code.end();
}

TEST(IoBatch, TheSizeKeptAsEntriesComeNeverFallsShortOfTheCode)
{
    struct Case {
        const char* what;
        std::function<void(IoBatch&)> fill;
    };
    const Case cases[] = {
        {"a palette", [](IoBatch& b) {
             b.add(0x3C8, 0, 1);
             for (int i = 0; i < 768; ++i)
                 b.add(0x3C9, uint16_t(i & 63), 1);
         }},
        {"port runs of every length, words and reads between", [](IoBatch& b) {
             for (int length = 1; length <= 6; ++length) {
                 for (int i = 0; i < length; ++i)
                     b.add(uint16_t(0x3C0 + length), uint16_t(i), 1);
                 b.add(0x3CE, 0x0531, 2);
             }
             b.addRead(0x3CF, 1);
         }},
        {"window bytes rising, repeated, and breaking off", [](IoBatch& b) {
             const uint32_t addresses[] = {0xA0000, 0xA0001, 0xA0001, 0xA0000, 0xA0000, 0xA0001, 0xB8000,
                                           0xA0005, 0xA0006, 0xA0007, 0xA0007, 0xA0010, 0xA0010, 0xA0011};
             for (uint32_t a : addresses) {
                 b.addWindowWrite(a, uint8_t(a));
                 b.add(0x3C4, 0x0F02, 2);
                 b.addWindowWrite(a, uint8_t(a));
             }
         }},
        {"an engine's image data", [](IoBatch& b) {
             b.add(0x3CE, 0x0231, 2);
             for (int i = 0; i < 500; ++i)
                 b.addWindowWrite(0xA0000, uint8_t(i));
             b.add(0x3CE, 0x31, 1);
             b.addRead(0x3CF, 1);
         }},
    };
    for (const Case& c : cases) {
        IoBatch batch;
        c.fill(batch);
        EXPECT_GE(batch.codeBytes(), batch.code(0x640, 0x602).size()) << c.what;
    }
}

TEST(IoBatch, RunsBecomeStringInstructionsOverTheirDataAfterTheCode)
{
    std::vector<uint8_t> palette(768);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = uint8_t(i * 7);
    IoBatch batch;
    for (uint8_t component : palette)
        batch.add(0x3C9, component, 1);
    for (int i = 0; i < 3; ++i)
        batch.addWindowWrite(0xA0010, uint8_t(0xE0 + i));  // one address: a FIFO
    batch.addWindowWrite(0xA0100, 0x11);                    // rising
    batch.addWindowWrite(0xA0101, 0x22);
    std::vector<uint8_t> code = batch.code(0x640, 0x602);
    EXPECT_TRUE(contains(code, {0xB9, 0x00, 0x03, 0xF3, 0x6E})) << "mov cx, 768; rep outsb";
    EXPECT_TRUE(contains(code, {0xB9, 0x03, 0x00, 0xA4, 0x4F, 0xE2, 0xFC})) << "mov cx, 3; movsb; dec di; loop";
    EXPECT_TRUE(contains(code, {0xB9, 0x02, 0x00, 0xF3, 0xA4})) << "mov cx, 2; rep movsb";
    std::vector<uint8_t> data = palette;
    data.insert(data.end(), {0xE0, 0xE1, 0xE2, 0x11, 0x22});
    ASSERT_GT(code.size(), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), code.end() - std::ptrdiff_t(data.size())));
    // The palette's `mov si` points at its data in the placed code.
    const uint8_t movCx768[] = {0xB9, 0x00, 0x03};
    const auto cx = std::search(code.begin(), code.end(), std::begin(movCx768), std::end(movCx768));
    ASSERT_GE(cx - code.begin(), 3);
    const size_t siAt = size_t(cx - code.begin()) - 3;
    ASSERT_EQ(code[siAt], 0xBE);
    EXPECT_EQ(code[siAt + 1] | code[siAt + 2] << 8, int(0x640 + code.size() - data.size()));
}

}  // namespace
