#include "loader/generator.h"

#include "loader/driver_dir.h"
#include "platform/win32.h"

std::string generatorArguments(const std::string& directory, int analyse)
{
    std::string arguments = "-gen -p" + directory;
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
    std::string commandLine = program + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The program is named apart from the command line so that exactly this file runs:
    // no search along PATH, and blanks in the directory do not split the program's name.
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
