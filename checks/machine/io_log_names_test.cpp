// The io log's names: registers as the chip's documents name them, index writes joined with
// their data, polling runs folded, and the GD5446's BitBLT registers by port and by memory.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "machine/io_log_names.h"

namespace {

std::vector<std::string> named(const std::string& card, const std::vector<std::string>& raw)
{
    std::vector<std::string> lines;
    machine::IoLogNamer namer(card, [&](const std::string& line) { lines.push_back(line); });
    for (const std::string& line : raw)
        namer.take(line);
    namer.flush();
    return lines;
}

TEST(IoLogNames, NameEachRegisterAndFollowTheIndexRegisters)
{
    struct Case {
        const char* what;
        const char* card;
        std::vector<std::string> raw;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a word write to an index port", "stdvga", {"port write 03C4 word 0107"}, {"SEQ[07] write 01"}},
        {"index, then data", "stdvga", {"port write 03CE byte 05", "port write 03CF byte 40", "port read 03CF byte 40"},
         {"GR05 write 40", "GR05 read 40"}},
        {"an index written and left", "stdvga", {"port write 03D4 byte 11", "port write 03C2 byte 63"},
         {"CR index 11", "MISC write 63"}},
        {"DISPI", "stdvga", {"port write 01CE word 0004", "port write 01CF word 0041", "port write 01CE word 0012",
                             "port read 01CF word 0010"},
         {"DISPI ENABLE write 0041", "DISPI CURSOR_X read 0010"}},
        {"the attribute flip-flop, reset by input status 1", "stdvga",
         {"port write 03C0 byte 30", "port write 03C0 byte 0C", "port write 03C0 byte 11", "port read 03DA byte 09",
          "port write 03C0 byte 12", "port write 03C0 byte 0F"},
         {"AR10 write 0C", "AR index 11", "STATUS1 read 09", "AR12 write 0F"}},
        {"DAC entries by component", "stdvga",
         {"port write 03C8 byte FF", "port write 03C9 byte 01", "port write 03C9 byte 02", "port write 03C9 byte 03",
          "port write 03C9 byte 04"},
         {"DAC WRITE INDEX write FF", "DAC[FF] red write 01", "DAC[FF] green write 02", "DAC[FF] blue write 03",
          "DAC[00] red write 04"}},
        {"a polling loop is one line", "stdvga",
         {"port read 03DA byte 00", "port read 03DA byte 01", "port read 03DA byte 00", "port read 03DA byte 09",
          "port write 01CE word 0009"},
         {"STATUS1 read x4 (00 01 09; last 09)", "DISPI index Y_OFFSET"}},
        {"BitBLT start by port", "cirrus", {"port write 03CE word 0231", "port write 03CE word 0431"},
         {"GR31 write 02 (BLT start)", "GR31 write 04 (BLT reset)"}},
        {"BitBLT registers by memory", "cirrus",
         {"mmio write 000B8040 byte 02", "mmio write 000B8008 dword 00C7027F", "mmio read FE000140 byte 00"},
         {"mmio GR31 write 02 (BLT start)", "mmio GR20 write 00C7027F (4 bytes)", "mmio GR31 read 00"}},
        {"the cursor's low bits in the sequencer index", "cirrus", {"port write 03C4 word 19F0"},
         {"SEQ[10] write 19 (index F0)"}},
        {"a line that is not an access", "stdvga", {"port write 03C4 byte 02", "blt mode=00 rop=0D ext=00"},
         {"SEQ index 02", "blt mode=00 rop=0D ext=00"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(named(c.card, c.raw), c.lines) << c.what;
}

}  // namespace
