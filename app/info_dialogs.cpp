#include "app/info_dialogs.h"

#include <cstdio>
#include <initializer_list>

#include "app/center_window.h"
#include "app/globals.h"
#include "app/resource_ids.h"
#include "platform/display.h"

namespace {

constexpr int TEXT_BUFFER_SIZE = 100;
constexpr uint16_t VBE_2_0 = 0x0200;
constexpr int KB_PER_MEMORY_BLOCK = 64;

// A library that found no VBE may leave a string field empty: show nothing rather than fault.
const char* blockString(uint32_t field)
{
    const char* text = vbeInfoString(field);
    return text ? text : "";
}

void showControllerInfo(HWND dialog)
{
    VbeInfoBlock block{};
    VBE_detect(&block);  // asked afresh on every opening; whatever came back is shown
    char text[TEXT_BUFFER_SIZE];

    SetDlgItemTextA(dialog, IDC_OEM_STRING, blockString(block.OemStringPtr));
    std::snprintf(text, sizeof text, "%d.%d", block.VbeVersion >> 8, block.VbeVersion & 0xFF);
    SetDlgItemTextA(dialog, IDC_VBE_VERSION, text);
    std::snprintf(text, sizeof text, "%d Kb", block.TotalMemory * KB_PER_MEMORY_BLOCK);
    SetDlgItemTextA(dialog, IDC_VIDEO_MEMORY, text);

    // The VBE 2.0 fields are valid only in a block that says it is 2.0 or later.
    if (block.VbeVersion < VBE_2_0) {
        for (int id : {IDC_OEM_SOFTWARE_REV, IDC_OEM_VENDOR_NAME, IDC_OEM_PRODUCT_NAME, IDC_OEM_PRODUCT_REV})
            SetDlgItemTextA(dialog, id, "N/A");
        SetDlgItemTextA(dialog, IDC_LINEAR_FRAMEBUFFER, "No");
    } else {
        std::snprintf(text, sizeof text, "0x%04X", block.OemSoftwareRev);
        SetDlgItemTextA(dialog, IDC_OEM_SOFTWARE_REV, text);
        SetDlgItemTextA(dialog, IDC_OEM_VENDOR_NAME, blockString(block.OemVendorNamePtr));
        SetDlgItemTextA(dialog, IDC_OEM_PRODUCT_NAME, blockString(block.OemProductNamePtr));
        SetDlgItemTextA(dialog, IDC_OEM_PRODUCT_REV, blockString(block.OemProductRevPtr));
        if (displayContext->lfbAddress != 0) {
            std::snprintf(text, sizeof text, "Yes (located at %u Mb)", displayContext->lfbAddress >> 20);
            SetDlgItemTextA(dialog, IDC_LINEAR_FRAMEBUFFER, text);
        } else if (displayContext->virtualLfbAvailable != 0) {
            SetDlgItemTextA(dialog, IDC_LINEAR_FRAMEBUFFER, "No (virtualised in software)");
        } else {
            SetDlgItemTextA(dialog, IDC_LINEAR_FRAMEBUFFER, "No");
        }
    }
    SetDlgItemTextA(dialog, IDC_WIDE_DAC, displayContext->wideDacAvailable ? "Yes" : "No");
}

// Only the button (or Enter, which presses it) closes these dialogs.
void closeOnButton(HWND dialog, WPARAM wParam)
{
    if (LOWORD(wParam) == IDOK)
        EndDialog(dialog, 1);
}

}  // namespace

INT_PTR SVGAInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog, nullptr, FALSE);
        showControllerInfo(dialog);
        return TRUE;
    case WM_COMMAND: closeOnButton(dialog, wParam); return FALSE;
    default: return FALSE;
    }
}

INT_PTR NotDetectedDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: CenterWindow(dialog, nullptr, FALSE); return TRUE;
    case WM_COMMAND: closeOnButton(dialog, wParam); return FALSE;
    default: return FALSE;
    }
}
