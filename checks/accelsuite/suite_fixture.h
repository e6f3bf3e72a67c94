// A display with every accelerator entry present, shaped as the test asks, and ways to read
// the call log screen by screen.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accel/accel_suite.h"
#include "app/globals.h"
#include "fake/fake.h"

namespace accelcheck {

constexpr int32_t FIXED_ONE = 65536;

using Entry = uint32_t AccelContext::*;

class SuiteTest : public ::testing::Test {
protected:
    void SetUp() override { useMode(640, 480, 8); }
    void TearDown() override { displayContext = nullptr; }

    // A fresh fake in this mode, the suite colours set as a pass would, and an empty log.
    static void useMode(int32_t width, int32_t height, int32_t bitsPerPixel)
    {
        fake::reset();
        fake::setModeShape(width, height, bitsPerPixel, 2);
        DisplayContext& dc = fake::display().context;
        dc.accel = &fake::display().accelContext;
        displayContext = &dc;
        blackColor = mapColor(0);
        whiteColor = mapColor(15);
        fake::calls().clear();
    }

    static void dropEntry(Entry entry) { fake::display().accelContext.*entry = 0; }
};

inline bool isAccelCall(const fake::Call& call)
{
    return call.name.rfind("AF_", 0) == 0;
}

// The AF_ calls and key waits (PL_haltEvent) in order.
inline std::vector<fake::Call> drawing()
{
    std::vector<fake::Call> out;
    for (const fake::Call& call : fake::calls())
        if (isAccelCall(call) || call.name == "PL_haltEvent")
            out.push_back(call);
    return out;
}

// The AF_ calls made before each key wait, one list per screen; calls after the last wait
// form a last list of their own when there are any.
inline std::vector<std::vector<fake::Call>> screens()
{
    std::vector<std::vector<fake::Call>> out(1);
    for (const fake::Call& call : fake::calls()) {
        if (call.name == "PL_haltEvent")
            out.emplace_back();
        else if (isAccelCall(call))
            out.back().push_back(call);
    }
    if (out.back().empty())
        out.pop_back();
    return out;
}

inline std::vector<fake::Call> named(const std::vector<fake::Call>& calls, const std::string& name)
{
    std::vector<fake::Call> out;
    for (const fake::Call& call : calls)
        if (call.name == name)
            out.push_back(call);
    return out;
}

inline std::vector<int64_t> fullScreen(uint32_t color)
{
    const DisplayContext& dc = fake::display().context;
    return {color, 0, 0, dc.maxX + 1, dc.maxY + 1};
}

inline std::vector<int64_t> args(std::initializer_list<int64_t> values)
{
    return values;
}

}  // namespace accelcheck
