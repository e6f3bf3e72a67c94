#include "app/main_dialog.h"

#include <cstdio>

#include "app/center_window.h"
#include "app/globals.h"
#include "app/info_dialogs.h"
#include "app/resource_ids.h"
#include "platform/display.h"
#include "platform/fullscreen.h"
#include "tests/test_run.h"

uint16_t modeNumbers[MODE_TABLE_SIZE];

const char* const releaseMajor = "6";
const char* const releaseMinor = "0";
const char* const copyrightNotice = "Copyright (C) 2026 The Palisade developers";

namespace {

constexpr int TEXT_BUFFER_SIZE = 100;
constexpr int PROGRAM_BITS = 32;
constexpr int FADE_WAIT = 256;
constexpr uint16_t MODE_LIST_END = 0xFFFF;

struct DepthButton {
    int id;
    uint16_t bitsPerPixel;
};

// In the order they are asked which one is checked.
constexpr DepthButton depthButtons[] = {
    {IDC_DEPTH_4, 4}, {IDC_DEPTH_8, 8}, {IDC_DEPTH_15, 15}, {IDC_DEPTH_16, 16}, {IDC_DEPTH_24, 24}, {IDC_DEPTH_32, 32},
};

// Modes in the list box and in modeNumbers; the two grow together.
int listedModes = 0;

bool isChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

uint16_t checkedDepth(HWND dialog)
{
    for (const DepthButton& button : depthButtons)
        if (isChecked(dialog, button.id))
            return button.bitsPerPixel;
    return 0;
}

void initDialog(HWND dialog)
{
    CenterWindow(dialog, nullptr, FALSE);

    // The title control holds a printf template of our own resources.
    char titleFormat[TEXT_BUFFER_SIZE] = {};
    char title[TEXT_BUFFER_SIZE] = {};
    GetDlgItemTextA(dialog, IDC_TITLE, titleFormat, TEXT_BUFFER_SIZE);
    std::snprintf(title, sizeof title, titleFormat, PROGRAM_BITS, releaseMajor, releaseMinor);
    SetDlgItemTextA(dialog, IDC_TITLE, title);
    SetDlgItemTextA(dialog, IDC_COPYRIGHT, copyrightNotice);

    CheckDlgButton(dialog, IDC_DEPTH_4, BST_CHECKED);
    if (displayContext->lfbAddress != 0 || displayContext->virtualLfbAvailable != 0)
        CheckDlgButton(dialog, IDC_USE_LINEAR, BST_CHECKED);
    else
        EnableWindow(GetDlgItem(dialog, IDC_USE_LINEAR), FALSE);
    CheckDlgButton(dialog, IDC_WAIT_RETRACE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_VIRTUAL_SCROLL, BST_CHECKED);
    CheckDlgButton(dialog, IDC_PALETTE_FADE, BST_CHECKED);
    FillModeList(dialog);
}

void onCommand(HWND dialog, WORD id, WORD notification)
{
    switch (id) {
    case IDC_QUIT: EndDialog(dialog, 1); break;
    case IDC_USE_LINEAR:
    case IDC_DEPTH_15:
    case IDC_DEPTH_8:
    case IDC_DEPTH_32:
    case IDC_DEPTH_24:
    case IDC_DEPTH_16:
    case IDC_DEPTH_4: FillModeList(dialog); break;
    case IDC_SVGA_INFO:
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SVGA_INFO), dialog, SVGAInfoDlgProc, 0);
        break;
    case IDC_MODE_LIST:
        if (notification == LBN_DBLCLK)
            TestSelectedMode(dialog);
        break;
    case IDC_TEST_MODE: TestSelectedMode(dialog); break;
    default: break;
    }
}

}  // namespace

void FillModeList(HWND dialog)
{
    const int32_t useLinear = isChecked(dialog, IDC_USE_LINEAR) ? 1 : 0;
    const uint16_t depth = checkedDepth(dialog);

    SendDlgItemMessageA(dialog, IDC_MODE_LIST, LB_RESETCONTENT, 0, 0);
    listedModes = 0;

    const uint16_t* mode = displayContext->modeList;
    for (; mode != nullptr && *mode != MODE_LIST_END && listedModes < MODE_TABLE_SIZE; ++mode) {
        ModeInfo info{};
        if (!GX_getModeInfo(*mode, &info) || info.bitsPerPixel != depth)
            continue;
        char name[TEXT_BUFFER_SIZE] = {};
        const uint16_t setWith = static_cast<uint16_t>(GX_getModeName(name, &info, *mode, useLinear));
        if (setWith == 0)
            continue;
        // An entry the list box refused has no number either.
        if (SendDlgItemMessageA(dialog, IDC_MODE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name)) < 0)
            continue;
        modeNumbers[listedModes++] = setWith;
    }
    SendDlgItemMessageA(dialog, IDC_MODE_LIST, LB_SETCURSEL, 0, 0);
}

void TestSelectedMode(HWND dialog)
{
    const int paletteFade = isChecked(dialog, IDC_PALETTE_FADE);
    const int virtualScroll = isChecked(dialog, IDC_VIRTUAL_SCROLL);
    const int waitRetrace = isChecked(dialog, IDC_WAIT_RETRACE);
    const int useLinear = isChecked(dialog, IDC_USE_LINEAR);

    if (SendDlgItemMessageA(dialog, IDC_MODE_LIST, LB_GETCOUNT, 0, 0) <= 0)
        return;
    const LRESULT index = SendDlgItemMessageA(dialog, IDC_MODE_LIST, LB_GETCURSEL, 0, 0);
    if (index < 0 || index >= listedModes)
        return;

    PL_startFullScreen(dialog, 640, 480);
    testMode(modeNumbers[index], paletteFade, virtualScroll, waitRetrace, FADE_WAIT, displayContext->wideDacAvailable,
             useLinear);
    PL_restoreGDI();
}

INT_PTR MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: initDialog(dialog); return TRUE;  // the dialog manager focuses the first tab stop, the list
    case WM_COMMAND: onCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return FALSE;
    default: return FALSE;
    }
}
