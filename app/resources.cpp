// The program's dialog templates, as its resource script would bind them. Template order
// is tab order; WS_GROUP marks where arrow-key navigation stops.
#include "platform/resources.h"
#include "app/resource_ids.h"

namespace {

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD DIALOG = DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | WS_POPUP;
constexpr WORD FONT_POINTS = 8;
constexpr const char* FONT_FACE = "MS Sans Serif";

constexpr DialogItemTemplate mainItems[] = {
    {"LISTBOX", "", CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY, 9, 47, 214, 99, IDC_MODE_LIST},
    // The six depth buttons are one group: the first starts it, check box 112 ends it.
    {"BUTTON", "4 bit", CHILD | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 19, 161, 34, 12, IDC_DEPTH_4},
    {"BUTTON", "8 bit", CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP, 19, 177, 31, 12, IDC_DEPTH_8},
    {"BUTTON", "15 bit", CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP, 19, 193, 31, 12, IDC_DEPTH_15},
    {"BUTTON", "16 bit", CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP, 53, 161, 31, 12, IDC_DEPTH_16},
    {"BUTTON", "24 bit", CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP, 53, 177, 31, 12, IDC_DEPTH_24},
    {"BUTTON", "32 bit", CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP, 53, 193, 31, 12, IDC_DEPTH_32},
    {"BUTTON", "Use linear framebuffer", CHILD | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 107, 160, 93, 12,
     IDC_USE_LINEAR},
    {"BUTTON", "Palette fade test", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 107, 172, 93, 12, IDC_PALETTE_FADE},
    {"BUTTON", "Virtual scroll test", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 107, 184, 97, 12, IDC_VIRTUAL_SCROLL},
    {"BUTTON", "Wait for vertical retrace", CHILD | BS_AUTOCHECKBOX | WS_TABSTOP, 107, 196, 106, 12, IDC_WAIT_RETRACE},
    {"BUTTON", "Test mode", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 13, 221, 50, 14, IDC_TEST_MODE},
    {"BUTTON", "SVGA Info", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 93, 221, 46, 14, IDC_SVGA_INFO},
    {"BUTTON", "Quit", CHILD | BS_PUSHBUTTON | WS_TABSTOP, 167, 221, 50, 14, IDC_QUIT},
    {"STATIC", "Video mode to test:", CHILD | SS_LEFT, 10, 35, 178, 8, IDC_STATIC},
    {"BUTTON", " Color Depth ", CHILD | BS_GROUPBOX | WS_GROUP, 13, 150, 75, 63, IDC_STATIC},
    {"BUTTON", " Options ", CHILD | BS_GROUPBOX | WS_GROUP, 100, 150, 117, 63, IDC_STATIC},
    // A printf template, formatted with the build width and the release at start.
    {"STATIC", "Palisade %d bit Test Program - Release %s.%s", CHILD | SS_CENTER, 23, 8, 186, 8, IDC_TITLE},
    {"STATIC", "Copyright", CHILD | SS_CENTER, 14, 19, 204, 8, IDC_COPYRIGHT},
};

constexpr DWORD LABEL = CHILD | SS_LEFT | WS_GROUP;
constexpr DWORD VALUE = CHILD | SS_LEFT | WS_GROUP;

constexpr DialogItemTemplate infoItems[] = {
    {"BUTTON", " SuperVGA Information ", CHILD | BS_GROUPBOX, 8, 6, 273, 83, IDC_STATIC},
    {"BUTTON", " Capabilities", CHILD | BS_GROUPBOX, 8, 91, 273, 40, IDC_STATIC},
    {"STATIC", "VBE Oem String:", LABEL, 15, 19, 80, 8, IDC_STATIC},
    {"STATIC", "", VALUE, 98, 19, 175, 8, IDC_OEM_STRING},
    {"STATIC", "", VALUE, 98, 28, 175, 8, IDC_VBE_VERSION},
    {"STATIC", "", VALUE, 98, 37, 175, 8, IDC_VIDEO_MEMORY},
    {"STATIC", "", VALUE, 98, 46, 175, 8, IDC_OEM_SOFTWARE_REV},
    {"STATIC", "", VALUE, 98, 55, 175, 8, IDC_OEM_VENDOR_NAME},
    {"STATIC", "", VALUE, 98, 64, 175, 8, IDC_OEM_PRODUCT_NAME},
    {"STATIC", "", VALUE, 98, 73, 175, 8, IDC_OEM_PRODUCT_REV},
    {"STATIC", "", VALUE, 98, 104, 175, 8, IDC_WIDE_DAC},
    {"STATIC", "", VALUE, 98, 113, 175, 8, IDC_LINEAR_FRAMEBUFFER},
    {"STATIC", "VBE Version:", LABEL, 15, 28, 80, 8, IDC_STATIC},
    {"STATIC", "Video Memory:", LABEL, 15, 37, 80, 8, IDC_STATIC},
    {"STATIC", "Oem Software Revision:", LABEL, 15, 46, 80, 8, IDC_STATIC},
    {"STATIC", "Oem Vendor Name:", LABEL, 15, 55, 80, 8, IDC_STATIC},
    {"STATIC", "Oem Product Name:", LABEL, 15, 64, 80, 8, IDC_STATIC},
    {"STATIC", "Oem Product Revision:", LABEL, 15, 73, 80, 8, IDC_STATIC},
    {"STATIC", "8 bit wide DAC:", LABEL, 15, 104, 80, 8, IDC_STATIC},
    {"STATIC", "Linear framebuffer:", LABEL, 15, 114, 80, 8, IDC_STATIC},
    {"BUTTON", "OK", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 120, 140, 50, 14, IDOK},
};

constexpr DialogItemTemplate notDetectedItems[] = {
    {"BUTTON", "Ok", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 77, 36, 50, 14, IDOK},
    {"STATIC", "VESA VBE 1.2 or higher SuperVGA interface not detected - please install Kestrel",
     CHILD | SS_CENTER | WS_GROUP, 25, 12, 155, 18, IDC_STATIC},
};

template <int N>
constexpr int countOf(const DialogItemTemplate (&)[N])
{
    return N;
}

constexpr DialogTemplate mainDialog{
    IDD_MAIN, DIALOG, 27, 29, 233, 243, nullptr, FONT_POINTS, FONT_FACE, mainItems, countOf(mainItems)};

constexpr DialogTemplate infoDialog{
    IDD_SVGA_INFO, DIALOG, 26, 39, 290, 161, nullptr, FONT_POINTS, FONT_FACE, infoItems, countOf(infoItems)};

constexpr DialogTemplate notDetectedDialog{IDD_NOT_DETECTED,
                                           DIALOG | WS_CAPTION | WS_SYSMENU,
                                           23,
                                           40,
                                           205,
                                           59,
                                           "No VESA VBE detected!",
                                           FONT_POINTS,
                                           FONT_FACE,
                                           notDetectedItems,
                                           countOf(notDetectedItems)};

constexpr const DialogTemplate* dialogs[] = {&mainDialog, &infoDialog, &notDetectedDialog};

}  // namespace

extern const ModuleResources programResources{dialogs, 3};
