#include "fake/fake.h"

namespace fake {
namespace {

struct Results {
    std::map<std::string, int64_t> defaults;
    std::map<std::string, std::deque<int64_t>> queued;
};

Results& results()
{
    static Results r;
    return r;
}

}  // namespace

std::vector<Call>& calls()
{
    static std::vector<Call> log;
    return log;
}

void log(const std::string& name, std::vector<int64_t> args, std::string text)
{
    calls().push_back(Call{name, std::move(args), std::move(text)});
}

std::vector<Call> callsNamed(const std::string& name)
{
    std::vector<Call> found;
    for (const Call& call : calls())
        if (call.name == name)
            found.push_back(call);
    return found;
}

std::vector<std::string> callNames()
{
    std::vector<std::string> names;
    for (const Call& call : calls())
        names.push_back(call.name);
    return names;
}

std::vector<std::string> callNames(const std::vector<std::string>& only)
{
    std::vector<std::string> names;
    for (const Call& call : calls())
        for (const std::string& wanted : only)
            if (call.name == wanted) {
                names.push_back(call.name);
                break;
            }
    return names;
}

size_t countOf(const std::string& name)
{
    size_t n = 0;
    for (const Call& call : calls())
        n += call.name == name;
    return n;
}

void setResult(const std::string& name, int64_t value)
{
    results().defaults[name] = value;
}

void queueResult(const std::string& name, int64_t value)
{
    results().queued[name].push_back(value);
}

int64_t resultFor(const std::string& name, int64_t fallback)
{
    auto& queue = results().queued[name];
    if (!queue.empty()) {
        const int64_t value = queue.front();
        queue.pop_front();
        return value;
    }
    auto found = results().defaults.find(name);
    return found == results().defaults.end() ? fallback : found->second;
}

void resetDisplay();
void resetInput();
void resetDialogs();
void resetFiles();
void resetRealMode();

void reset()
{
    calls().clear();
    results() = Results{};
    resetDisplay();
    resetInput();
    resetDialogs();
    resetFiles();
    resetRealMode();
}

}  // namespace fake
