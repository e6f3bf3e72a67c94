// QMP over its Unix socket: one JSON object per line.
#include "qemu_pc/qmp.h"

#include <chrono>

#include "qemu_pc/link_error.h"

namespace qemu_pc {
namespace {

// A path as a JSON string; the private folder's paths hold no quotes or backslashes, but
// a user's TMPDIR might.
std::string jsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string Qmp::nextLine()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerMs_);
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            throw LinkError("QEMU's QMP stopped answering (no reply within " + std::to_string(answerMs_) + " ms)");
        pending_ += socket_.receive(int(left));
        if (socket_.closed())
            throw LinkError("QEMU's QMP closed its socket");
    }
}

void Qmp::start()
{
    const std::string greeting = nextLine();
    if (greeting.find("\"QMP\"") == std::string::npos)
        throw LinkError("QEMU's QMP did not greet");
    execute(R"({"execute":"qmp_capabilities"})");
}

std::string Qmp::execute(const std::string& command)
{
    if (!socket_.send(command + "\n"))
        throw LinkError("QEMU's QMP closed its socket");
    for (;;) {
        const std::string line = nextLine();
        if (line.find("\"return\"") != std::string::npos)
            return line;
        if (line.find("\"error\"") != std::string::npos)
            throw LinkError("QEMU refused " + command + ": " + line);
        // Anything else is an event; the answer is still to come.
    }
}

void Qmp::screendump(const std::string& file)
{
    execute(R"({"execute":"screendump","arguments":{"filename":)" + jsonString(file) + "}}");
}

void Qmp::injectNmi()
{
    execute(R"({"execute":"inject-nmi"})");
}

void Qmp::savePhysicalMemory(uint32_t address, uint32_t bytes, const std::string& file)
{
    execute(R"({"execute":"pmemsave","arguments":{"val":)" + std::to_string(address) +
            R"(,"size":)" + std::to_string(bytes) + R"(,"filename":)" + jsonString(file) + "}}");
}

}  // namespace qemu_pc
