// A QEMU process of our own (or another program Palisade starts beside a PC: Bochs, DOSBox, a
// private X server): started in a private temporary folder, ended by its PID on every way out:
// the destructor, exit(), a fatal signal, and, should Palisade die without any of these, the
// kernel (the child asks to be killed when its parent dies).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qemu_pc {

class QemuProcess {
public:
    // Makes the private folder, named after `program` as messages name it; throws
    // pc::MachineError when it cannot.
    explicit QemuProcess(const std::string& program = "QEMU");
    ~QemuProcess();  // ends the process and removes the folder
    QemuProcess(const QemuProcess&) = delete;
    QemuProcess& operator=(const QemuProcess&) = delete;

    const std::string& folder() const { return folder_; }
    std::string path(const char* name) const { return folder_ + "/" + name; }

    // Starts `binary` with `arguments`, its stdout and stderr into a file in the folder. Throws
    // pc::MachineError with one line when the binary cannot be run (naming `package`, and
    // `orElse` when given, when it is not there).
    void start(const std::string& binary, const std::vector<std::string>& arguments, const std::string& package,
               const std::string& orElse = "name your QEMU with qemu = PATH in a machine file");
    // Variables ("NAME=value") the next start adds to, or changes in, Palisade's environment.
    void setEnvironment(std::vector<std::string> assignments) { environment_ = std::move(assignments); }
    bool running();
    pid_t pid() const { return pid_; }
    // The last line the program wrote (stdout or stderr), for the message when it will not start or dies.
    std::string lastErrorLine() const;
    void stop();

private:
    std::string program_;
    std::string folder_;
    std::vector<std::string> environment_;
    pid_t pid_ = -1;
};

}  // namespace qemu_pc
