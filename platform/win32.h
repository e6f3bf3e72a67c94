// The subset of the Win32 API the program calls: dialogs and controls, message boxes,
// window geometry, the mouse position, the version, the millisecond clock, the 3-D control
// library, and the kernel32 file and process calls. Paths are Windows paths.
#pragma once

#include <cstdint>

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPSTR = char*;
using LPCSTR = const char*;

struct HWND__;
struct HINSTANCE__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HANDLE = void*;

using DLGPROC = INT_PTR (*)(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

struct STARTUPINFOA {
    DWORD cb;
    uint8_t unused[64];
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

inline LPCSTR MAKEINTRESOURCEA(int id)
{
    return reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(id)));
}
constexpr WORD LOWORD(uintptr_t value)
{
    return static_cast<WORD>(value & 0xFFFF);
}
constexpr WORD HIWORD(uintptr_t value)
{
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high)
{
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}

// Messages and notifications.
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr WORD BN_CLICKED = 0;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr LRESULT LB_ERR = -1;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;

// Window, dialog and control styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_GROUPBOX = 0x0007;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD LBS_NOTIFY = 0x0001;

// Message boxes.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_TASKMODAL = 0x2000;

// System metrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// Files and processes.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// The program's GUI entry, called by the platform.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);

// kernel32
DWORD GetModuleFileNameA(HINSTANCE module, LPSTR path, DWORD size);
DWORD GetVersion(void);
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileA(LPCSTR path);
DWORD GetFileAttributesA(LPCSTR path);
BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, void* processSecurity, void* threadSecurity,
                    BOOL inheritHandles, DWORD flags, void* environment, LPCSTR currentDirectory, STARTUPINFOA* startup,
                    PROCESS_INFORMATION* process);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode);

// user32
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR text, int size);
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
BOOL EnableWindow(HWND window, BOOL enable);
LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
BOOL GetWindowRect(HWND window, RECT* rect);
HWND GetDesktopWindow(void);
int GetSystemMetrics(int index);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL GetCursorPos(POINT* point);

// winmm
DWORD timeGetTime(void);

// The common 3-D control library.
BOOL Ctl3dRegister(HINSTANCE instance);
BOOL Ctl3dAutoSubclass(HINSTANCE instance);
BOOL Ctl3dUnregister(HINSTANCE instance);
