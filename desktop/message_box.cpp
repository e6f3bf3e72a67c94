// The message box: its layout from the text, and its procedure.
#include "desktop/message_box.h"

#include <algorithm>

#include "desktop/dialog_geometry.h"
#include "desktop/font.h"
#include "desktop/session.h"

namespace desktop {

namespace {

INT_PTR messageBoxProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        EndDialog(dialog, IDOK);
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

}  // namespace

Dialog messageBox(const std::string& text, const std::string& caption, UINT type)
{
    Font& font = dialogFont();
    const int iconSpace = (type & 0xF0) ? 32 + 16 : 0;
    const int maxText = 420;
    const auto lines = font.wrap(text, maxText);
    int textWidth = 0;
    for (const auto& line : lines)
        textWidth = std::max(textWidth, font.textWidth(line));
    const int clientWidth = std::max(std::max(textWidth + iconSpace + 24, 100), font.textWidth(caption) + 60);
    const int textHeight = int(lines.size()) * font.height();
    const int clientHeight = std::max(textHeight, 32) + 24 + 23 + 12;

    Dialog box;
    box.name = "message box";
    box.caption = caption;
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    box.look3d = messageBoxLooks3d();
    box.exclamation = (type & 0xF0) == MB_ICONEXCLAMATION;
    box.procedure = messageBoxProcedure;
    box.clientX = kDialogFrame;
    box.clientY = kDialogFrame + kCaptionHeight;
    box.width = clientWidth + 2 * kDialogFrame;
    box.height = clientHeight + box.clientY + kDialogFrame;
    box.x = (session().desktopWidth() - box.width) / 2;
    box.y = (session().desktopHeight() - box.height) / 2;
    Control label;
    label.kind = ControlKind::Static;
    label.text = text;
    label.x = 12 + iconSpace;
    label.y = 12 + std::max(0, (32 - textHeight) / 2);
    label.width = textWidth + 2;
    label.height = textHeight;
    Control ok;
    ok.kind = ControlKind::PushButton;
    ok.id = IDOK;
    ok.text = "OK";
    ok.style = WS_TABSTOP | BS_DEFPUSHBUTTON | WS_GROUP;
    ok.width = 75;
    ok.height = 23;
    ok.x = (clientWidth - ok.width) / 2;
    ok.y = clientHeight - ok.height - 12;
    box.controls = {label, ok};
    return box;
}

}  // namespace desktop
