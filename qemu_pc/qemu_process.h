// A QEMU process of our own: started in a private temporary folder, ended by its PID on every
// way out: the destructor, exit(), a fatal signal, and, should Palisade die without any of
// these, the kernel (the child asks to be killed when its parent dies).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qemu_pc {

class QemuProcess {
public:
    // Makes the private folder; throws pc::MachineError when it cannot.
    QemuProcess();
    ~QemuProcess();  // ends the process and removes the folder
    QemuProcess(const QemuProcess&) = delete;
    QemuProcess& operator=(const QemuProcess&) = delete;

    const std::string& folder() const { return folder_; }
    std::string path(const char* name) const { return folder_ + "/" + name; }

    // Starts `binary` with `arguments`, its stderr into the folder. Throws pc::MachineError
    // with one line when the binary cannot be run (naming `package` when it is not there).
    void start(const std::string& binary, const std::vector<std::string>& arguments, const std::string& package);
    bool running();
    pid_t pid() const { return pid_; }
    // The last line QEMU wrote on its stderr, for the message when it will not start or dies.
    std::string lastErrorLine() const;
    void stop();

private:
    std::string folder_;
    pid_t pid_ = -1;
};

}  // namespace qemu_pc
