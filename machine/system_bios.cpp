#include "machine/system_bios.h"

#include <x86emu.h>

#include <cstring>

namespace machine {
namespace {

// BIOS data area.
constexpr uint32_t EQUIPMENT_WORD = 0x410;
constexpr uint32_t MEMORY_SIZE_KB = 0x413;
constexpr uint8_t EQUIPMENT_80X25_COLOUR = 0x21;

void setCarry(x86emu_t* emu, bool carry)
{
    if (carry)
        emu->x86.R_FLG |= F_CF;
    else
        emu->x86.R_FLG &= ~F_CF;
}

}  // namespace

void SystemBios::install()
{
    uint8_t* bios = memory_ + START;
    bios[RETURN_STUB] = 0xF4;  // HLT
    bios[IRET_STUB] = 0xCF;    // IRET
    std::memcpy(bios + 0xFFF5, "12/10/26", 8);
    bios[0xFFFE] = 0xFC;  // model byte: AT
    const uint32_t iret = (static_cast<uint32_t>(SEGMENT) << 16) | IRET_STUB;
    for (int vector = 0; vector < 256; ++vector)
        std::memcpy(memory_ + vector * 4, &iret, 4);

    memory_[EQUIPMENT_WORD] = EQUIPMENT_80X25_COLOUR;
    memory_[MEMORY_SIZE_KB] = static_cast<uint8_t>(conventionalKb_);
    memory_[MEMORY_SIZE_KB + 1] = static_cast<uint8_t>(conventionalKb_ >> 8);
}

bool SystemBios::vectorIsOurs(uint8_t number) const
{
    uint32_t vector;
    std::memcpy(&vector, memory_ + number * 4u, 4);
    return vector == ((static_cast<uint32_t>(SEGMENT) << 16) | IRET_STUB);
}

bool SystemBios::answer(x86emu_t* emu, uint8_t number)
{
    if (!vectorIsOurs(number))
        return false;
    auto& r = emu->x86;
    switch (number) {
    case 0x11:
        r.R_AX = static_cast<uint16_t>(memory_[EQUIPMENT_WORD] | (memory_[EQUIPMENT_WORD + 1] << 8));
        return true;
    case 0x12: r.R_AX = static_cast<uint16_t>(conventionalKb_); return true;
    case 0x15:
        if (r.R_AH == 0x86) {  // wait CX:DX microseconds
            clock_.spend((static_cast<uint64_t>(r.R_CX) << 16) | r.R_DX);
            setCarry(emu, false);
        } else {
            r.R_AH = 0x86;  // function not supported
            setCarry(emu, true);
        }
        return true;
    case 0x1A: pciBios(emu); return true;
    default: return false;
    }
}

void SystemBios::pciBios(x86emu_t* emu)
{
    auto& r = emu->x86;
    if (r.R_AH != pci::BIOS_FUNCTION) {
        setCarry(emu, true);
        return;
    }
    const uint8_t reg = static_cast<uint8_t>(r.R_DI);
    uint16_t found = 0;
    bool ok = true;
    switch (r.R_AL) {
    case pci::BIOS_INSTALLATION_CHECK:
        r.R_EDX = pci::BIOS_SIGNATURE;
        r.R_AL = 0x01;    // configuration mechanism 1
        r.R_BX = 0x0210;  // version 2.10
        r.R_CL = 0;       // last bus
        break;
    case pci::BIOS_FIND_DEVICE:
        ok = pci_.findDevice(r.R_DX, r.R_CX, r.R_SI, found);
        if (ok)
            r.R_BX = found;
        break;
    case pci::BIOS_FIND_CLASS:
        ok = pci_.findClass(r.R_ECX, r.R_SI, found);
        if (ok)
            r.R_BX = found;
        break;
    case pci::BIOS_READ_CONFIG_BYTE:
        r.R_CL = static_cast<uint8_t>(pci_.readConfig(r.R_BX, reg) >> ((reg & 3) * 8));
        break;
    case pci::BIOS_READ_CONFIG_WORD:
        r.R_CX = static_cast<uint16_t>(pci_.readConfig(r.R_BX, reg) >> ((reg & 2) * 8));
        break;
    case pci::BIOS_READ_CONFIG_DWORD: r.R_ECX = pci_.readConfig(r.R_BX, reg); break;
    case pci::BIOS_WRITE_CONFIG_DWORD: pci_.writeConfig(r.R_BX, reg, r.R_ECX); break;
    default: ok = false; break;
    }
    r.R_AH = ok ? pci::BIOS_SUCCESSFUL : pci::BIOS_DEVICE_NOT_FOUND;
    setCarry(emu, !ok);
}

}  // namespace machine
