// What the loader's unit tests share: a driver image to put on the fake disk, a video BIOS
// (and optionally a resident Kestrel driver) behind the fake interrupt 10h, and a fixture that
// starts every test from a clean fake and leaves the loader uninstalled.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake/fake.h"
#include "loader/driver_header.h"
#include "loader/kestrellib.h"

namespace loader_checks {

inline constexpr char driverDir[] = "C:\\PAL\\";
inline constexpr char driverPath[] = "C:\\PAL\\kestrel.drv";
inline constexpr char configPath[] = "C:\\PAL\\KSCONFIG.DAT";
inline constexpr char generatorPath[] = "C:\\PAL\\KSWIN.EXE";

// A loadable driver image: signature, version 5.2, entry offsets, strings; the rest a
// pattern, so that a changed byte anywhere shows.
struct DriverImage {
    std::vector<uint8_t> bytes;

    explicit DriverImage(size_t length = 1024) : bytes(length)
    {
        for (size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        if (length < DriverHeader::minimumLength)
            return;
        std::memcpy(bytes.data(), kestrelSignature, kestrelSignatureLength);
        word(DriverHeader::checkEntry, 0x0300);
        word(DriverHeader::int10Handler, 0x0310);
        word(DriverHeader::int2FHandler, 0x0320);
        word(DriverHeader::needsVbeBios, 0);
        word(DriverHeader::hardwareCode, 7);
        word(DriverHeader::quantity, 1000);
        text(DriverHeader::string1, "Kestrel for DISPI");
        text(DriverHeader::string2, "Bochs DISPI");
        text(DriverHeader::string3, "4096 KB");
        version('5', '2');
    }
    void word(size_t offset, uint16_t value)
    {
        bytes[offset] = static_cast<uint8_t>(value);
        bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
    }
    uint16_t word(size_t offset) const { return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8)); }
    uint32_t dword(size_t offset) const { return word(offset) | (static_cast<uint32_t>(word(offset + 2)) << 16); }
    void text(size_t offset, const std::string& value)
    {
        std::memcpy(bytes.data() + offset, value.c_str(), value.size() + 1);
    }
    void version(char major, char minor)
    {
        bytes[DriverHeader::majorVersion] = static_cast<uint8_t>(major);
        bytes[DriverHeader::minorVersion] = static_cast<uint8_t>(minor);
    }
};

// The video BIOS behind interrupt 10h, and a resident Kestrel driver when its OEM string says so.
struct FakeBios {
    bool answers = true;             // false: 4F00h is not a function of this BIOS
    uint16_t status = 0x004F;        // ax after 4F00h
    std::string signature = "VESA";  // empty: the block keeps "VBE2"
    uint16_t version = 0x0200;
    std::string oem = "Bochs VBE Adapter";
    uint16_t cxAfter4F00 = 0x1357;  // a register 4F00h leaves behind
    // The resident driver's query 4F0Fh (answered when the OEM string is Kestrel's).
    uint16_t queryStatus = 0x004F;
    char residentMajor = '5';
    char residentMinor = '1';

    static constexpr uint16_t dataSegment = 0xC000;
    static constexpr uint16_t oemOffset = 0x0100;
    static constexpr uint16_t recordOffset = 0x0200;

    void install()
    {
        fake::realMode().onInterrupt = [this](int interrupt, RealModeRegs& regs, RealModeSegRegs& segments) {
            if (interrupt != 0x10)
                return;
            if (regs.ax == 0x4F00 && answers) {
                std::memcpy(fake::realPointer(dataSegment, oemOffset), oem.c_str(), oem.size() + 1);
                uint8_t* block = fake::realPointer(segments.es, regs.di);
                if (!signature.empty())
                    std::memcpy(block, signature.data(), 4);
                block[4] = static_cast<uint8_t>(version);
                block[5] = static_cast<uint8_t>(version >> 8);
                const uint32_t oemPointer = (uint32_t{dataSegment} << 16) | oemOffset;
                std::memcpy(block + 6, &oemPointer, 4);
                regs.ax = status;
                regs.cx = cxAfter4F00;
            } else if (regs.ax == 0x4F0F && regs.bx == 0x1234 && oem.rfind(kestrelSignature, 0) == 0) {
                ResidentDriverInfo record{};
                std::strcpy(record.string1, "resident Kestrel");
                record.majorVersion = residentMajor;
                record.minorVersion = residentMinor;
                std::memcpy(fake::realPointer(dataSegment, recordOffset), &record, sizeof record);
                regs.ax = queryStatus;
                regs.dx = dataSegment;
                regs.bx = recordOffset;
            }
        };
    }
};

// Vectors the machine has before the install.
inline constexpr uint32_t biosInt10 = 0xC000'1234;
inline constexpr uint32_t biosInt2F = 0xF000'5678;

class LoaderTest : public ::testing::Test {
protected:
    FakeBios bios;

    void SetUp() override
    {
        fake::reset();
        RM_setRMvect(0x10, biosInt10);
        RM_setRMvect(0x2F, biosInt2F);
        fake::calls().clear();
        bios.install();
        // A check entry that finds its hardware.
        fake::realMode().onFarCall = [](uint32_t, uint32_t, RealModeRegs& regs) { regs.ax = 1; };
    }
    void TearDown() override { KS_exit(); }

    // Puts the driver file on the fake disk.
    void putDriver(const DriverImage& image, const std::string& path = driverPath)
    {
        fake::files()[path] = image.bytes;
    }
    uint32_t vector(int interrupt) const
    {
        const uint8_t* entry = fake::realPointer(0, static_cast<uint16_t>(interrupt * 4));
        return entry[0] | (entry[1] << 8) | (entry[2] << 16) | (static_cast<uint32_t>(entry[3]) << 24);
    }
    static bool touchedDisk()
    {
        return !fake::callNames({"CreateFileA", "DeleteFileA", "CreateProcessA", "GetFileAttributesA"}).empty();
    }
};

}  // namespace loader_checks
