// The agent's client: a command answered late or twice is taken once; a wrong or older agent, a
// line of garbage, silence, an upload too large for the agent and a serial device that is not a
// serial port each end in one line that says so.
#include <gtest/gtest.h>

#include <chrono>

#include "agent_link/agent_link.h"
#include "checks/agent_link/scripted_agent.h"
#include "pc/pc.h"

namespace {

using agent_link::AgentError;
using agent_link::AgentLink;
using agent_link::Frame;
using agent_link_checks::pingRecord;
using agent_link_checks::reply;
using agent_link_checks::ScriptedAgent;

constexpr int ANSWER_MS = 200;

std::vector<uint8_t> asAgent(const Frame& command)
{
    if (command.type == agent_link::CMD_PING)
        return reply(command, pingRecord());
    if (command.type == agent_link::CMD_IN)
        return reply(command, {0x34, 0x12, 0, 0});
    return reply(command, {});
}

std::string failureOf(const std::function<void()>& work)
{
    try {
        work();
    } catch (const AgentError& error) {
        return error.what();
    } catch (const pc::MachineError& error) {
        return error.what();
    }
    return "no failure";
}

TEST(AgentLink, AnAgentThatAnswersIsGreetedAndAsked)
{
    auto* agent = new ScriptedAgent(asAgent);
    AgentLink link{std::unique_ptr<agent_link::ByteLink>(agent), ANSWER_MS};
    EXPECT_EQ(link.hello(1000).conventionalKb, 640);
    EXPECT_EQ(link.in(0x3CC, 1), 0x1234u);
    EXPECT_EQ(link.resent(), 0u);
}

// A reply that comes twice (the agent answered a command it had already answered) and a late
// reply to an earlier command are both passed over: the answer is the current command's.
TEST(AgentLink, StaleAndRepeatedRepliesArePassedOver)
{
    Frame previous;
    auto* agent = new ScriptedAgent([&](const Frame& command) {
        std::vector<uint8_t> bytes;
        if (command.type == agent_link::CMD_IN) {
            bytes = reply(previous, {0xEE, 0, 0, 0});  // the earlier command's, again
            const std::vector<uint8_t> mine = reply(command, {0x42, 0, 0, 0});
            bytes.insert(bytes.end(), mine.begin(), mine.end());
            bytes.insert(bytes.end(), mine.begin(), mine.end());
        } else {
            bytes = asAgent(command);
        }
        previous = command;
        return bytes;
    });
    AgentLink link{std::unique_ptr<agent_link::ByteLink>(agent), ANSWER_MS};
    link.hello(1000);
    EXPECT_EQ(link.in(0x3C8, 1), 0x42u);
    EXPECT_EQ(link.in(0x3C8, 1), 0x42u);
}

TEST(AgentLink, BadAgentsEndInOneLine)
{
    struct Case {
        const char* name;
        ScriptedAgent::Answer answer;
        const char* says;
    };
    const Case cases[] = {
        {"an older agent's frames", [](const Frame& c) { return reply(c, pingRecord(), 0); },
         "speaks protocol version 0, this Palisade version 1"},
        {"an agent that calls itself older", [](const Frame& c) { return reply(c, pingRecord(0)); },
         "is version 0, this Palisade speaks 1"},
        {"something that is no agent", [](const Frame& c) { return reply(c, std::vector<uint8_t>(28, 0x11)); },
         "answers, but not as Palisade's agent"},
        {"garbage", [](const Frame&) { return std::vector<uint8_t>(300, 0xA5); }, "answers garbage"},
        {"silence", [](const Frame&) { return std::vector<uint8_t>(); }, "does not answer"},
    };
    for (const Case& c : cases) {
        AgentLink link{std::make_unique<ScriptedAgent>(c.answer), ANSWER_MS};
        const auto start = std::chrono::steady_clock::now();
        const std::string line = failureOf([&] { link.hello(300); });
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_NE(line.find(c.says), std::string::npos) << c.name << ": " << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << c.name;
        EXPECT_LT(took, std::chrono::seconds(3)) << c.name;
    }
}

TEST(AgentLink, UploadedCodeTooLargeForTheAgentIsRefusedBeforeItIsSent)
{
    auto* agent = new ScriptedAgent(asAgent);
    AgentLink link{std::unique_ptr<agent_link::ByteLink>(agent), ANSWER_MS};
    link.hello(1000);
    const int before = agent->commands();
    const std::vector<uint8_t> code(300, 0x90);  // the scripted agent holds 256 bytes
    const std::string line = failureOf([&] { link.upload(0, code); });
    EXPECT_NE(line.find("has no room for 300 bytes of uploaded code"), std::string::npos) << line;
    EXPECT_EQ(agent->commands(), before);
}

TEST(AgentLink, TheAgentsOwnRefusalOfAnUploadIsOneLine)
{
    auto* agent = new ScriptedAgent([](const Frame& c) {
        if (c.type == agent_link::CMD_UPLOAD)
            return agent_link::encodeFrame(Frame{agent_link::PROTOCOL_VERSION, agent_link::TYPE_ERROR, c.sequence,
                                                 {agent_link::ERR_NO_ROOM}});
        return asAgent(c);
    });
    AgentLink link{std::unique_ptr<agent_link::ByteLink>(agent), ANSWER_MS};
    link.hello(1000);
    const std::string line = failureOf([&] { link.upload(0, std::vector<uint8_t>(16, 0x90)); });
    EXPECT_NE(line.find("has no room for the uploaded code"), std::string::npos) << line;
}

TEST(AgentLink, LinksThatCannotBeOpenedSayWhy)
{
    const std::pair<const char*, const char*> cases[] = {
        {"serial:/dev/null", "/dev/null is not a serial port"},
        {"serial:/dev/ttyS0,1234", "the baud rate must be"},
        {"serial:/nonexistent/tty", "cannot open /nonexistent/tty"},
        {"unix:/nonexistent/socket", "cannot connect"},
        {"tcp:localhost", "expected tcp:HOST:PORT"},
        {"com1", "expected unix:PATH, tcp:HOST:PORT or serial:DEVICE[,BAUD]"},
    };
    for (const auto& c : cases) {
        const std::string spec = c.first, says = c.second;
        const std::string line = failureOf([&] { agent_link::openLink(spec); });
        EXPECT_NE(line.find(says), std::string::npos) << spec << ": " << line;
        EXPECT_EQ(line.find("link " + std::string(spec)), 0u) << line;
    }
}

}  // namespace
