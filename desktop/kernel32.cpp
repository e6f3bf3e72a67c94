// kernel32 at the program's boundary, as Wine does it: Windows paths (drive Z: is the
// host's root) over host files and processes.
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "desktop/session.h"
#include "desktop/windows_command_line.h"
#include "desktop/winpath.h"
#include "platform/win32.h"

extern char** environ;

namespace {

constexpr DWORD kStillActive = 259;

struct KernelObject {
    enum class Kind { File, Process, Thread } kind;
    int fd = -1;
    pid_t pid = -1;
    bool exited = false;
    DWORD exitCode = kStillActive;
};

struct Handles {
    std::map<uintptr_t, std::unique_ptr<KernelObject>> objects;
    uintptr_t next = 0x1000;
};

Handles& handles()
{
    static Handles instance;
    return instance;
}

HANDLE add(std::unique_ptr<KernelObject> object)
{
    Handles& h = handles();
    const uintptr_t value = h.next;
    h.next += 4;
    h.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

KernelObject* find(HANDLE handle, KernelObject::Kind kind)
{
    auto found = handles().objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == handles().objects.end() || found->second->kind != kind)
        return nullptr;
    return found->second.get();
}

std::string hostPath(LPCSTR path)
{
    return path ? winpath::toHost(path) : std::string();
}

// The program's file: the machine's program folder's link when the run has one, so what the
// program keeps beside itself belongs to this machine; else the running executable.
std::string ownFile()
{
    std::string own = desktop::session().programPath();
    if (own.empty()) {
        char buffer[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (length > 0)
            own.assign(buffer, size_t(length));
    }
    return own;
}

// The host file a program name means. A bare name ("KSWIN.EXE") is looked for in the
// program's own folder only, never the current one, so a file planted where the user
// happens to be is never run.
std::string programFile(LPCSTR name)
{
    const std::string text = name ? name : "";
    if (!text.empty() && text.find_first_of("\\/:") == std::string::npos) {
        const std::string own = ownFile();
        return own.empty() ? std::string() : own.substr(0, own.rfind('/') + 1) + text;
    }
    return hostPath(name);
}

bool isProgram(const std::string& file, struct stat& info)
{
    return !file.empty() && stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Records how a child ended.
void reap(KernelObject& process, int status)
{
    process.exited = true;
    if (WIFEXITED(status))
        process.exitCode = DWORD(WEXITSTATUS(status));
    else
        process.exitCode = DWORD(0xC0000000u | unsigned(WTERMSIG(status)));
}

}  // namespace

DWORD GetModuleFileNameA(HINSTANCE, LPSTR path, DWORD size)
{
    if (!path || size == 0)
        return 0;
    const std::string host = ownFile();
    if (host.empty()) {
        path[0] = '\0';
        return 0;
    }
    const std::string windows = winpath::fromHost(host);
    // As Windows does: a path that does not fit is cut and the size is returned.
    const size_t copied = std::min(windows.size(), size_t(size) - 1);
    std::memcpy(path, windows.data(), copied);
    path[copied] = '\0';
    return windows.size() < size ? DWORD(copied) : size;
}

DWORD GetVersion(void)
{
    return desktop::session().version();
}

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE)
{
    const std::string host = hostPath(path);
    if (host.empty())
        return INVALID_HANDLE_VALUE;
    int flags = (access & GENERIC_READ) && !(access & 0x40000000u) ? O_RDONLY
                : (access & GENERIC_READ)                          ? O_RDWR
                                                                   : O_WRONLY;
    switch (disposition) {
    case 1: flags |= O_CREAT | O_EXCL; break;   // CREATE_NEW
    case 2: flags |= O_CREAT | O_TRUNC; break;  // CREATE_ALWAYS
    case OPEN_EXISTING: break;
    case 4: flags |= O_CREAT; break;  // OPEN_ALWAYS
    case 5: flags |= O_TRUNC; break;  // TRUNCATE_EXISTING
    default: return INVALID_HANDLE_VALUE;
    }
    struct stat info {};
    if (stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return INVALID_HANDLE_VALUE;
    const int fd = open(host.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    auto object = std::make_unique<KernelObject>();
    object->kind = KernelObject::Kind::File;
    object->fd = fd;
    return add(std::move(object));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void*)
{
    KernelObject* object = find(file, KernelObject::Kind::File);
    if (read)
        *read = 0;
    if (!object || (!buffer && count > 0))
        return FALSE;
    DWORD total = 0;
    while (total < count) {
        const ssize_t got = ::read(object->fd, static_cast<char*>(buffer) + total, count - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return FALSE;
        if (got == 0)
            break;
        total += DWORD(got);
    }
    if (read)
        *read = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method)
{
    KernelObject* object = find(file, KernelObject::Kind::File);
    if (!object || method > FILE_END)
        return INVALID_SET_FILE_POINTER;
    int64_t offset = distance;
    if (distanceHigh)
        offset = int64_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distance));
    const int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    const off_t position = lseek(object->fd, off_t(offset), whence);
    if (position < 0)
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = LONG(uint64_t(position) >> 32);
    else if (uint64_t(position) > 0xFFFFFFFEu)
        return INVALID_SET_FILE_POINTER;
    return DWORD(uint64_t(position) & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE handle)
{
    auto& objects = handles().objects;
    auto found = objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == objects.end())
        return FALSE;
    if (found->second->kind == KernelObject::Kind::File)
        close(found->second->fd);
    // A process handle closed before its child ended leaves the child running, as on
    // Windows; the zombie is collected when this process ends.
    objects.erase(found);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path)
{
    const std::string host = hostPath(path);
    struct stat info {};
    if (host.empty() || lstat(host.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return FALSE;
    return unlink(host.c_str()) == 0 ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR path)
{
    const std::string host = hostPath(path);
    struct stat info {};
    if (host.empty() || stat(host.c_str(), &info) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, void*, void*, BOOL, DWORD, void*, LPCSTR currentDirectory,
                    STARTUPINFOA*, PROCESS_INFORMATION* process)
{
    const std::string_view line = commandLine ? commandLine : "";
    struct stat wanted {};
    std::string file = application ? programFile(application) : std::string();
    if (application && !isProgram(file, wanted))
        return FALSE;
    // The child reads its arguments from the text after its own name, as a Windows program does.
    std::string first;
    std::string_view rest;
    desktop::programToken(line, first, rest);
    const size_t start = line.find_first_not_of(" \t");
    const bool quotedName = start != std::string_view::npos && line[start] == '"';
    if (quotedName && !application) {
        file = programFile(first.c_str());
        struct stat info {};
        if (!isProgram(file, info))
            return FALSE;
    } else if (!quotedName && start != std::string_view::npos) {
        // An unquoted name with blanks ("Z:\My Builds\KSWIN.EXE -gen"): as Windows reads it, the
        // shortest run of words that names a program (with the application named apart, that
        // file) is the name.
        bool found = false;
        for (size_t end = start; end <= line.size() && !found; ++end) {
            if (end < line.size() && !(line[end] == ' ' || line[end] == '\t'))
                continue;
            if (line[end - 1] == ' ' || line[end - 1] == '\t')
                continue;
            struct stat info {};
            const std::string candidate = programFile(std::string(line.substr(start, end - start)).c_str());
            if (isProgram(candidate, info) &&
                (!application || (info.st_dev == wanted.st_dev && info.st_ino == wanted.st_ino))) {
                file = candidate;
                rest = line.substr(end);
                found = true;
            }
        }
        if (!found && !application)
            return FALSE;
    }
    if (file.empty())
        return FALSE;
    std::vector<std::string> argvWords = {file};
    for (std::string& argument : desktop::splitArguments(rest))
        argvWords.push_back(std::move(argument));
    std::vector<char*> argv;
    for (std::string& word : argvWords)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string directory = hostPath(currentDirectory);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t pid = -1;
    const int error = posix_spawn(&pid, file.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return FALSE;

    auto object = std::make_unique<KernelObject>();
    object->kind = KernelObject::Kind::Process;
    object->pid = pid;
    auto thread = std::make_unique<KernelObject>();
    thread->kind = KernelObject::Kind::Thread;
    if (process) {
        process->dwProcessId = DWORD(pid);
        process->dwThreadId = DWORD(pid);
        process->hProcess = add(std::move(object));
        process->hThread = add(std::move(thread));
    } else {
        add(std::move(object));
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    KernelObject* process = find(handle, KernelObject::Kind::Process);
    if (!process)
        return WAIT_FAILED;
    constexpr DWORD kTimeout = 0x102;
    DWORD waited = 0;
    while (!process->exited) {
        int status = 0;
        const pid_t done = waitpid(process->pid, &status, milliseconds == INFINITE ? 0 : WNOHANG);
        if (done == process->pid) {
            reap(*process, status);
            break;
        }
        if (done < 0 && errno != EINTR)
            return WAIT_FAILED;
        if (done == 0) {
            if (waited >= milliseconds)
                return kTimeout;
            usleep(1000);
            ++waited;
        }
    }
    return WAIT_OBJECT_0;
}

BOOL GetExitCodeProcess(HANDLE handle, DWORD* exitCode)
{
    KernelObject* process = find(handle, KernelObject::Kind::Process);
    if (!process || !exitCode)
        return FALSE;
    if (!process->exited) {
        int status = 0;
        if (waitpid(process->pid, &status, WNOHANG) == process->pid)
            reap(*process, status);
    }
    *exitCode = process->exitCode;
    return TRUE;
}
