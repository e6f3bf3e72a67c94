// The fake kernel32 files and child processes: an in-memory file system by exact path.
#include <cstring>
#include <memory>

#include "fake/fake.h"

namespace fake {
namespace {

struct OpenFile {
    std::vector<uint8_t> data;
    size_t position = 0;
};

struct Process {
    DWORD exitCode = 0;
};

struct FileSystem {
    std::map<std::string, std::vector<uint8_t>> files;
    std::map<HANDLE, std::unique_ptr<OpenFile>> open;
    std::map<HANDLE, std::unique_ptr<Process>> processes;
    std::function<DWORD(const std::string&)> processHandler;
    std::vector<std::string> started;
};

FileSystem& fileSystem()
{
    static FileSystem fs;
    return fs;
}

}  // namespace

void resetFiles()
{
    fileSystem() = FileSystem{};
}

std::map<std::string, std::vector<uint8_t>>& files()
{
    return fileSystem().files;
}

void onProcess(std::function<DWORD(const std::string&)> handler)
{
    fileSystem().processHandler = std::move(handler);
}

std::vector<std::string>& processesStarted()
{
    return fileSystem().started;
}

}  // namespace fake

using fake::log;

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    log("CreateFileA", {access, disposition}, path);
    fake::FileSystem& fs = fake::fileSystem();
    auto found = fs.files.find(path);
    if (found == fs.files.end())
        return INVALID_HANDLE_VALUE;
    auto file = std::make_unique<fake::OpenFile>();
    file->data = found->second;
    HANDLE handle = file.get();
    fs.open[handle] = std::move(file);
    return handle;
}

BOOL ReadFile(HANDLE handle, void* buffer, DWORD count, DWORD* read, void*)
{
    log("ReadFile", {count});
    fake::FileSystem& fs = fake::fileSystem();
    auto found = fs.open.find(handle);
    if (found == fs.open.end())
        return FALSE;
    // A scripted result of 0 is a read error: nothing is read.
    if (!fake::resultFor("ReadFile", 1)) {
        if (read)
            *read = 0;
        return FALSE;
    }
    fake::OpenFile& file = *found->second;
    const size_t available = file.position < file.data.size() ? file.data.size() - file.position : 0;
    const size_t n = std::min<size_t>(count, available);
    if (n)
        std::memcpy(buffer, file.data.data() + file.position, n);
    file.position += n;
    if (read)
        *read = static_cast<DWORD>(n);
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG*, DWORD method)
{
    log("SetFilePointer", {distance, method});
    fake::FileSystem& fs = fake::fileSystem();
    auto found = fs.open.find(handle);
    if (found == fs.open.end())
        return INVALID_SET_FILE_POINTER;
    fake::OpenFile& file = *found->second;
    const int64_t base = method == FILE_BEGIN     ? 0
                         : method == FILE_CURRENT ? static_cast<int64_t>(file.position)
                                                  : static_cast<int64_t>(file.data.size());
    const int64_t target = base + distance;
    if (target < 0)
        return INVALID_SET_FILE_POINTER;
    file.position = static_cast<size_t>(target);
    return static_cast<DWORD>(target);
}

BOOL CloseHandle(HANDLE handle)
{
    log("CloseHandle");
    fake::FileSystem& fs = fake::fileSystem();
    return fs.open.erase(handle) + fs.processes.erase(handle) ? TRUE : FALSE;
}

BOOL DeleteFileA(LPCSTR path)
{
    log("DeleteFileA", {}, path);
    return fake::fileSystem().files.erase(path) ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    log("GetFileAttributesA", {}, path);
    return fake::fileSystem().files.count(path) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
}

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, void*, void*, BOOL inheritHandles, DWORD, void*, LPCSTR,
                    STARTUPINFOA*, PROCESS_INFORMATION* process)
{
    const std::string line = commandLine ? commandLine : "";
    log("CreateProcessA", {application != nullptr, inheritHandles}, line);
    fake::FileSystem& fs = fake::fileSystem();
    const std::string program = application ? std::string(application) : line.substr(0, line.find(' '));
    if (!fs.files.count(program))
        return FALSE;
    fs.started.push_back(line);
    auto child = std::make_unique<fake::Process>();
    child->exitCode = fs.processHandler ? fs.processHandler(line) : 0;
    if (process) {
        *process = PROCESS_INFORMATION{};
        process->hProcess = child.get();
    }
    fs.processes[child.get()] = std::move(child);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    log("WaitForSingleObject", {milliseconds});
    return fake::fileSystem().processes.count(handle) ? WAIT_OBJECT_0 : WAIT_FAILED;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    log("GetExitCodeProcess");
    fake::FileSystem& fs = fake::fileSystem();
    auto found = fs.processes.find(handle);
    if (found == fs.processes.end())
        return FALSE;
    *exitCode = found->second->exitCode;
    return TRUE;
}
