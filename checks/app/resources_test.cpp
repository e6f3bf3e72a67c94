// The dialog templates: frames, fonts, and every control's id, text, place and style, in tab
// order; and how the radio group behaves under the dialog manager's rules.
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_dialog.h"
#include "fake/fake.h"
#include "platform/resources.h"

namespace {

enum Kind { LIST, RADIO, CHECK, DEFBUTTON, BUTTON, TEXT, CTEXT, GROUPBOX };

struct Item {
    int id;
    Kind kind;
    const char* text;
    short x, y, cx, cy;
    bool group;
};

struct DialogCase {
    int resourceId;
    DWORD style;
    short x, y, cx, cy;
    const char* caption;
    std::vector<Item> items;
};

DWORD kindStyle(Kind kind)
{
    switch (kind) {
    case LIST: return WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
    case RADIO: return BS_AUTORADIOBUTTON | WS_TABSTOP;
    case CHECK: return BS_AUTOCHECKBOX | WS_TABSTOP;
    case DEFBUTTON: return BS_DEFPUSHBUTTON | WS_TABSTOP;
    case BUTTON: return BS_PUSHBUTTON | WS_TABSTOP;
    case TEXT: return SS_LEFT;
    case CTEXT: return SS_CENTER;
    case GROUPBOX: return BS_GROUPBOX;
    }
    return 0;
}

const char* kindClass(Kind kind)
{
    switch (kind) {
    case LIST: return "LISTBOX";
    case TEXT:
    case CTEXT: return "STATIC";
    default: return "BUTTON";
    }
}

constexpr DWORD FRAME = DS_MODALFRAME | DS_SETFONT | DS_3DLOOK | WS_POPUP;
constexpr int NONE = IDC_STATIC;

const DialogCase DIALOGS[] = {
    {1000,
     FRAME,
     27,
     29,
     233,
     243,
     "",
     {
         {114, LIST, "", 9, 47, 214, 99, false},
         {120, RADIO, "4 bit", 19, 161, 34, 12, true},
         {116, RADIO, "8 bit", 19, 177, 31, 12, false},
         {115, RADIO, "15 bit", 19, 193, 31, 12, false},
         {119, RADIO, "16 bit", 53, 161, 31, 12, false},
         {118, RADIO, "24 bit", 53, 177, 31, 12, false},
         {117, RADIO, "32 bit", 53, 193, 31, 12, false},
         {112, CHECK, "Use linear framebuffer", 107, 160, 93, 12, true},
         {111, CHECK, "Palette fade test", 107, 172, 93, 12, false},
         {110, CHECK, "Virtual scroll test", 107, 184, 97, 12, false},
         {109, CHECK, "Wait for vertical retrace", 107, 196, 106, 12, false},
         {121, DEFBUTTON, "Test mode", 13, 221, 50, 14, false},
         {113, BUTTON, "SVGA Info", 93, 221, 46, 14, false},
         {2, BUTTON, "Quit", 167, 221, 50, 14, false},
         {NONE, TEXT, "Video mode to test:", 10, 35, 178, 8, false},
         {NONE, GROUPBOX, " Color Depth ", 13, 150, 75, 63, true},
         {NONE, GROUPBOX, " Options ", 100, 150, 117, 63, true},
         {122, CTEXT, "Palisade %d bit Test Program - Release %s.%s", 23, 8, 186, 8, false},
         {123, CTEXT, nullptr, 14, 19, 204, 8, false},
     }},
    {1001,
     FRAME,
     26,
     39,
     290,
     161,
     "",
     {
         {NONE, GROUPBOX, " SuperVGA Information ", 8, 6, 273, 83, false},
         {NONE, GROUPBOX, " Capabilities", 8, 91, 273, 40, false},
         {NONE, TEXT, "VBE Oem String:", 15, 19, 80, 8, true},
         {100, TEXT, "", 98, 19, 175, 8, true},
         {101, TEXT, "", 98, 28, 175, 8, true},
         {102, TEXT, "", 98, 37, 175, 8, true},
         {103, TEXT, "", 98, 46, 175, 8, true},
         {104, TEXT, "", 98, 55, 175, 8, true},
         {105, TEXT, "", 98, 64, 175, 8, true},
         {106, TEXT, "", 98, 73, 175, 8, true},
         {107, TEXT, "", 98, 104, 175, 8, true},
         {108, TEXT, "", 98, 113, 175, 8, true},
         {NONE, TEXT, "VBE Version:", 15, 28, 80, 8, true},
         {NONE, TEXT, "Video Memory:", 15, 37, 80, 8, true},
         {NONE, TEXT, "Oem Software Revision:", 15, 46, 80, 8, true},
         {NONE, TEXT, "Oem Vendor Name:", 15, 55, 80, 8, true},
         {NONE, TEXT, "Oem Product Name:", 15, 64, 80, 8, true},
         {NONE, TEXT, "Oem Product Revision:", 15, 73, 80, 8, true},
         {NONE, TEXT, "8 bit wide DAC:", 15, 104, 80, 8, true},
         {NONE, TEXT, "Linear framebuffer:", 15, 114, 80, 8, true},
         {1, DEFBUTTON, "OK", 120, 140, 50, 14, false},
     }},
    {1002,
     FRAME | WS_CAPTION | WS_SYSMENU,
     23,
     40,
     205,
     59,
     "No VESA VBE detected!",
     {
         {1, DEFBUTTON, "Ok", 77, 36, 50, 14, false},
         {NONE, CTEXT, "VESA VBE 1.2 or higher SuperVGA interface not detected - please install Kestrel", 25, 12, 155,
          18, true},
     }},
};

TEST(DialogResources, EveryTemplateHasItsFrameFontAndControlsInTabOrder)
{
    for (const DialogCase& c : DIALOGS) {
        const DialogTemplate* t = findDialogTemplate(programResources, c.resourceId);
        ASSERT_NE(t, nullptr) << c.resourceId;
        EXPECT_EQ(t->style, c.style) << c.resourceId;
        EXPECT_EQ((std::vector<short>{t->x, t->y, t->cx, t->cy}), (std::vector<short>{c.x, c.y, c.cx, c.cy}))
            << c.resourceId;
        EXPECT_STREQ(t->caption ? t->caption : "", c.caption) << c.resourceId;
        EXPECT_EQ(t->pointSize, 8) << c.resourceId;
        EXPECT_STREQ(t->typeface, "MS Sans Serif") << c.resourceId;
        ASSERT_EQ(t->itemCount, static_cast<int>(c.items.size())) << c.resourceId;
        for (int i = 0; i < t->itemCount; ++i) {
            const DialogItemTemplate& item = t->items[i];
            const Item& want = c.items[i];
            const std::string where = std::to_string(c.resourceId) + " item " + std::to_string(i);
            EXPECT_EQ(item.id, want.id) << where;
            EXPECT_STREQ(item.windowClass, kindClass(want.kind)) << where;
            if (want.text) {
                EXPECT_STREQ(item.text, want.text) << where;
            }
            EXPECT_EQ((std::vector<short>{item.x, item.y, item.cx, item.cy}),
                      (std::vector<short>{want.x, want.y, want.cx, want.cy}))
                << where;
            const DWORD style = WS_CHILD | WS_VISIBLE | kindStyle(want.kind) | (want.group ? WS_GROUP : 0);
            EXPECT_EQ(item.style, style) << where << " " << (item.text ? item.text : "");
        }
    }
}

// A click on a depth button clears the other five and nothing else.
TEST(DialogResources, TheSixDepthButtonsAreOneGroup)
{
    fake::reset();
    displayContext = &fake::display().context;
    displayContext->lfbAddress = 0xE0000000;
    const int radios[] = {120, 116, 115, 119, 118, 117};
    fake::onDialog(1000, [&](fake::Dialog& d) {
        for (int clicked : radios) {
            d.click(clicked);
            for (int radio : radios)
                EXPECT_EQ(d.control(radio)->checked, radio == clicked) << clicked << " " << radio;
            for (int check : {109, 110, 111, 112})
                EXPECT_TRUE(d.control(check)->checked) << clicked << " " << check;
        }
    });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1000), nullptr, MainDlgProc, 0);
}

}  // namespace
