// Pages that note their first write: mprotect and a SIGSEGV handler that lets the write through.
#include "qemu_pc/written_pages.h"

#include <signal.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace qemu_pc {

// The live watched areas, for the fault handler: a fixed table, read in the handler without
// locks (the areas are made and dropped on the thread that drives the PC).
struct WrittenPagesFaults {
    static constexpr int MAX_AREAS = 16;
    static inline WrittenPages* areas[MAX_AREAS] = {};
    static inline struct sigaction previous {
    };
    static inline bool installed = false;

    static void handle(int signal, siginfo_t* info, void* context)
    {
        const auto* address = static_cast<const uint8_t*>(info->si_addr);
        for (WrittenPages* area : areas) {
            if (!area || address < area->data_ || address >= area->data_ + area->bytes_)
                continue;
            const size_t page = size_t(address - area->data_) / WrittenPages::PAGE;
            if (area->written_[page] ||
                mprotect(area->data_ + page * WrittenPages::PAGE, WrittenPages::PAGE, PROT_READ | PROT_WRITE) != 0)
                break;  // not ours to let through: a real fault
            area->written_[page] = 1;
            return;
        }
        // Anyone else's fault goes where it went before we were here.
        if (previous.sa_flags & SA_SIGINFO) {
            previous.sa_sigaction(signal, info, context);
            return;
        }
        if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(signal);
            return;
        }
        ::signal(SIGSEGV, SIG_DFL);  // the faulting instruction runs again and ends the process
    }

    static void add(WrittenPages* area)
    {
        if (!installed) {
            struct sigaction action {};
            action.sa_sigaction = handle;
            action.sa_flags = SA_SIGINFO | SA_NODEFER;
            sigemptyset(&action.sa_mask);
            sigaction(SIGSEGV, &action, &previous);
            installed = true;
        }
        for (WrittenPages*& slot : areas)
            if (!slot) {
                slot = area;
                return;
            }
        throw std::bad_alloc();
    }

    static void remove(WrittenPages* area)
    {
        for (WrittenPages*& slot : areas)
            if (slot == area)
                slot = nullptr;
    }
};

WrittenPages::WrittenPages(size_t bytes) : bytes_((bytes + PAGE - 1) / PAGE * PAGE), written_(bytes_ / PAGE, 1)
{
    void* block = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        throw std::bad_alloc();
    data_ = static_cast<uint8_t*>(block);
    WrittenPagesFaults::add(this);
}

WrittenPages::~WrittenPages()
{
    WrittenPagesFaults::remove(this);
    munmap(data_, bytes_);
}

void WrittenPages::watch()
{
    std::fill(written_.begin(), written_.end(), 0);
    mprotect(data_, bytes_, PROT_READ);
}

void WrittenPages::unwatch()
{
    mprotect(data_, bytes_, PROT_READ | PROT_WRITE);
    std::fill(written_.begin(), written_.end(), 1);
}

std::vector<std::pair<size_t, size_t>> WrittenPages::writtenRuns() const
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t page = 0; page < written_.size();) {
        if (!written_[page]) {
            ++page;
            continue;
        }
        const size_t first = page;
        while (page < written_.size() && written_[page])
            ++page;
        runs.push_back({first * PAGE, page * PAGE});
    }
    return runs;
}

}  // namespace qemu_pc
