// Running the generator tool: its candidates, its command line and its exit code.
#include "loader/generator.h"

#include "loader/driver_dir.h"
#include "platform/win32.h"

// One argument as a Windows program's runtime will read it back: as it is when it has no blank,
// tab or quote; else in quotes, with each quote escaped and the backslashes before a quote (or
// before the closing one) doubled.
std::string quotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

std::string generatorArguments(const std::string& directory, int analyse)
{
    std::string arguments = "-gen " + quotedArgument("-p" + directory);
    if (!analyse)
        arguments += " -noanalyse";
    return arguments;
}

static bool isFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Starts the candidate, waits for it without a time limit, and judges its exit code.
static bool runCandidate(const std::string& program, const std::string& arguments)
{
    if (!isFile(program))
        return false;
    std::string commandLine = quotedArgument(program) + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The program is named apart from the command line so that exactly this file runs: no
    // search along PATH. Both its name and the directory are quoted, so that every folder
    // name a user can make reaches the generator whole.
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    DWORD exitCode = 1;
    const bool ended = WaitForSingleObject(process.hProcess, INFINITE) != WAIT_FAILED &&
                       GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    return ended && exitCode == 0;
}

bool runGenerator(const std::string& directory, int analyse)
{
    const std::string arguments = generatorArguments(directory, analyse);
    return runCandidate(directory + generatorFileName, arguments) || runCandidate(generatorFileName, arguments);
}
