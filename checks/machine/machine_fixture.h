// A booted machine and the VBE calls the checks make on it.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hw/vbe.h"
#include "machine/machine.h"

namespace checks {

// Scratch buffers for the BIOS, in conventional memory the program would own.
constexpr uint16_t BUFFER_SEGMENT = 0x3000;
constexpr uint32_t BUFFER = BUFFER_SEGMENT * 16u;

struct BootedMachine {
    explicit BootedMachine(const std::string& preset) : BootedMachine(machine::presetConfig(preset)) {}
    explicit BootedMachine(const machine::MachineConfig& config)
        : clock(machine::makeVirtualClock()), pc(std::make_unique<machine::Machine>(config, *clock))
    {
    }

    machine::Machine& operator*() { return *pc; }
    machine::Machine* operator->() { return pc.get(); }

    // int 10h with the given registers; the call must return.
    machine::CpuRegs int10(machine::CpuRegs regs)
    {
        const machine::CallResult result = pc->interrupt(0x10, regs);
        lastResult = result;
        return regs;
    }
    machine::CpuRegs vbe(uint16_t ax, uint16_t bx = 0, uint16_t cx = 0, uint16_t dx = 0)
    {
        machine::CpuRegs regs;
        regs.ax = ax;
        regs.bx = bx;
        regs.cx = cx;
        regs.dx = dx;
        regs.es = BUFFER_SEGMENT;
        regs.di = 0;
        return int10(regs);
    }
    uint8_t* buffer() { return pc->memory() + BUFFER; }
    uint16_t word(uint32_t address)
    {
        return static_cast<uint16_t>(pc->memory()[address] | (pc->memory()[address + 1] << 8));
    }
    uint32_t dword(uint32_t address) { return word(address) | (static_cast<uint32_t>(word(address + 2)) << 16); }

    // The records the last 4F00 or 4F01 left in the buffer.
    vbe::ControllerInfo controllerInfo() { return record<vbe::ControllerInfo>(); }
    vbe::ModeInfo modeInfo() { return record<vbe::ModeInfo>(); }
    template <typename Record>
    Record record()
    {
        Record r;
        std::memcpy(&r, buffer(), sizeof r);
        return r;
    }

    std::vector<uint16_t> modeList()
    {
        std::memset(buffer(), 0, sizeof(vbe::ControllerInfo));
        std::memcpy(buffer(), "VBE2", 4);
        vbe(vbe::CONTROLLER_INFO);
        const uint32_t far = controllerInfo().VideoModePtr;
        std::vector<uint16_t> modes;
        for (uint32_t at = (far >> 16) * 16 + (far & 0xFFFF); word(at) != vbe::MODE_LIST_END && modes.size() < 512;
             at += 2)
            modes.push_back(word(at));
        return modes;
    }

    machine::Picture picture()
    {
        machine::Picture p;
        pc->scanOut(p);
        return p;
    }

    std::unique_ptr<machine::Clock> clock;
    std::unique_ptr<machine::Machine> pc;
    machine::CallResult lastResult;
};

inline uint32_t pixelAt(const machine::Picture& p, int x, int y)
{
    return p.pixels.at(static_cast<size_t>(y) * p.width + x);
}

}  // namespace checks
