// Stand-ins for the tests testMode runs: each is logged with its argument and returns the
// key the test scripted for it (fake::queueResult / setResult), 0 by default.
#include "accel/accel_suite.h"
#include "app/globals.h"
#include "fake/fake.h"
#include "tests/page_flip.h"
#include "tests/palette_tests.h"
#include "tests/virtual_scroll.h"

DisplayContext* displayContext;

namespace {

int recorded(const char* name, std::vector<int64_t> args = {})
{
    fake::log(name, std::move(args));
    return static_cast<int>(fake::resultFor(name, 0));
}

}  // namespace

int pageFlipTest(int waitRetrace)
{
    return recorded("pageFlipTest", {waitRetrace});
}
int paletteFadeTest(int fadeWait)
{
    return recorded("paletteFadeTest", {fadeWait});
}
int wideDacTest(void)
{
    return recorded("wideDacTest");
}
int virtualScrollTest(int useLinear)
{
    return recorded("virtualScrollTest", {useLinear});
}
int accelScrollTest(void)
{
    return recorded("accelScrollTest");
}
void runAccelSuite(DisplayContext* dc)
{
    recorded("runAccelSuite", {dc == displayContext});
}
