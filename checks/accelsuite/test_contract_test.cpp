// Every test of the suite: skipped with 0, drawing nothing and reading no key, when its
// accelerator entry is absent; otherwise the key of its last wait is its result.
#include <cctype>
#include <string>

#include "accel/blit_tests.h"
#include "accel/cursor_test.h"
#include "accel/fill_tests.h"
#include "accel/line_tests.h"
#include "checks/accelsuite/suite_fixture.h"

namespace accelcheck {
namespace {

struct ContractCase {
    const char* name;
    int (*test)(void);
    Entry entry;  // nullptr: the test has no entry and always runs
    int keys;     // key waits when it runs
};

int cursorWithGrid()
{
    return testHwCursor(1);
}

const Entry everyEntry[] = {
    &AccelContext::setCursor,       &AccelContext::setClipRect,    &AccelContext::drawPattScan,
    &AccelContext::drawRect,        &AccelContext::drawPattRect,   &AccelContext::drawLine,
    &AccelContext::drawStippleLine, &AccelContext::putMonoImage,   &AccelContext::bitBlt,
    &AccelContext::bitBltLin,       &AccelContext::srcTransBlt,    &AccelContext::srcTransBltLin,
    &AccelContext::dstTransBlt,     &AccelContext::dstTransBltLin,
};

class TestContract : public SuiteTest, public ::testing::WithParamInterface<ContractCase> {};

TEST_P(TestContract, SkipsWithoutItsEntryAndTouchesNothing)
{
    const ContractCase& c = GetParam();
    if (!c.entry) {
        // Nothing to miss: it runs even with every entry absent.
        for (Entry entry : everyEntry)
            dropEntry(entry);
        fake::pushKey('k');
        EXPECT_EQ(c.test(), 'k') << c.name;
        EXPECT_FALSE(drawing().empty()) << c.name;
        return;
    }
    dropEntry(c.entry);
    fake::pushKey('k');
    EXPECT_EQ(c.test(), 0) << c.name;
    EXPECT_EQ(fake::queuedEvents(), 1u) << c.name;
    EXPECT_TRUE(drawing().empty()) << c.name;
}

TEST_P(TestContract, ReturnsTheKeyOfItsLastWait)
{
    const ContractCase& c = GetParam();
    // Only the entry itself is needed: the others may all be absent.
    for (Entry entry : everyEntry)
        if (entry != c.entry)
            dropEntry(entry);
    for (int i = 0; i < c.keys - 1; ++i)
        fake::pushKey('n');
    fake::pushKey('z');
    EXPECT_EQ(c.test(), 'z') << c.name;
    EXPECT_EQ(fake::queuedEvents(), 0u) << c.name;
    EXPECT_EQ(fake::countOf("PL_haltEvent"), static_cast<size_t>(c.keys)) << c.name;
}

TEST_P(TestContract, MouseButtonCountsAsEnter)
{
    const ContractCase& c = GetParam();
    for (int i = 0; i < c.keys - 1; ++i)
        fake::pushKey('n');
    fake::pushMouseButton();
    EXPECT_EQ(c.test(), 13) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Tests, TestContract,
    ::testing::Values(ContractCase{"testPattRect", testPattRect, &AccelContext::drawPattRect, 1},
                      ContractCase{"testScan", testScan, nullptr, 1},
                      ContractCase{"testPattScan", testPattScan, &AccelContext::drawPattScan, 1},
                      ContractCase{"testScanList", testScanList, nullptr, 1},
                      ContractCase{"testTrap", testTrap, nullptr, 1},
                      ContractCase{"testLines", testLines, &AccelContext::drawLine, 1},
                      ContractCase{"testStippleLines", testStippleLines, &AccelContext::drawStippleLine, 1},
                      ContractCase{"testMonoImage", testMonoImage, &AccelContext::putMonoImage, 1},
                      ContractCase{"testBitBlt", testBitBlt, &AccelContext::bitBlt, 6},
                      ContractCase{"testBitBltLin", testBitBltLin, &AccelContext::bitBltLin, 2},
                      ContractCase{"testSrcTransBlt", testSrcTransBlt, &AccelContext::srcTransBlt, 2},
                      ContractCase{"testSrcTransBltLin", testSrcTransBltLin, &AccelContext::srcTransBltLin, 2},
                      ContractCase{"testDstTransBlt", testDstTransBlt, &AccelContext::dstTransBlt, 2},
                      ContractCase{"testDstTransBltLin", testDstTransBltLin, &AccelContext::dstTransBltLin, 2},
                      ContractCase{"testHwCursor(1)", cursorWithGrid, &AccelContext::setCursor, 3}),
    [](const ::testing::TestParamInfo<ContractCase>& info) {
        std::string name = info.param.name;
        std::erase_if(name, [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); });
        return name;
    });

}  // namespace
}  // namespace accelcheck
