// The queued writes as the batch runner's list: the size kept as entries come never falls short
// of the list (the list's room in QEMU's memory is bounded by it), and runs become string
// operations over their bytes.
#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <vector>

#include "qemu_pc/io_batch.h"

namespace {

using qemu_pc::IoBatch;

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
        {"copies between port writes", [](IoBatch& b) {
             for (uint32_t i = 0; i < 20; ++i) {
                 b.addCopy(0x1000000 + i, 0xFC000000 + i, i + 1);
                 b.add(0xCF8, 0x80000000 | i, 4);
             }
         }},
        {"waits with and without writes", [](IoBatch& b) {
             const uint16_t writes[] = {0x0431, 0x0031, 0x0000, 0x0101};
             for (size_t n = 0; n <= 4; ++n)
                 b.addWait(0x3CE, 0x31, 0x03, 100000, std::span<const uint16_t>(writes, n));
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
        EXPECT_GE(batch.listBytes(), batch.operations(1).size()) << c.what;
    }
}

TEST(IoBatch, RunsBecomeStringOperationsOverTheirBytesAndTheListEndsWithItsSequence)
{
    std::vector<uint8_t> palette(768);
    for (size_t i = 0; i < palette.size(); ++i)
        palette[i] = uint8_t(i * 7);
    IoBatch batch;
    batch.add(0x3C8, 0, 1);
    for (uint8_t component : palette)
        batch.add(0x3C9, component, 1);
    for (int i = 0; i < 3; ++i)
        batch.addWindowWrite(0xA0010, uint8_t(0xE0 + i));  // one address: a FIFO
    batch.addWindowWrite(0xA0100, 0x11);                    // rising
    batch.addWindowWrite(0xA0101, 0x22);
    batch.addCopy(0x1000000, 0xFC000000, 0x12345);
    batch.add(0xCF8, 0x80001010, 4);
    const uint16_t reset[] = {0x0431, 0x0031};
    batch.addWait(0x3CE, 0x31, 0x03, 100000, reset);
    batch.addRead(0xCFC, 4);
    std::vector<uint8_t> expected = {IoBatch::OUT8, 0xC8, 0x03, 0x00, IoBatch::OUTS, 0xC9, 0x03, 0x00, 0x03, 0, 0};
    expected.insert(expected.end(), palette.begin(), palette.end());
    const std::vector<uint8_t> rest = {
        IoBatch::WINDOW_SAME, 0x10, 0x00, 0x0A, 0x00, 3, 0, 0, 0, 0xE0, 0xE1, 0xE2,
        IoBatch::WINDOW_RISING, 0x00, 0x01, 0x0A, 0x00, 2, 0, 0, 0, 0x11, 0x22,
        IoBatch::COPY, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFC, 0x45, 0x23, 0x01, 0x00,
        IoBatch::OUT32, 0xF8, 0x0C, 0x10, 0x10, 0x00, 0x80,
        IoBatch::WAIT_CLEAR, 0xCE, 0x03, 0x31, 0x03, 0xA0, 0x86, 0x01, 0x00, 2, 0x31, 0x04, 0x31, 0x00,
        IoBatch::IN32, 0xFC, 0x0C,
        IoBatch::END, 0x78, 0x56, 0x34, 0x12};
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(batch.operations(0x12345678), expected);
    EXPECT_TRUE(batch.endsWithRead());
}

}  // namespace
