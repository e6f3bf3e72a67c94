// Dialog resources, as the resource compiler would have bound them into the program file.
// The program defines its module's resources (programResources); the dialog manager finds
// a template by the instance handle and the resource id.
#pragma once

#include "win32.h"

struct DialogItemTemplate {
    const char* windowClass;  // "BUTTON", "STATIC" or "LISTBOX"
    const char* text;
    DWORD style;         // WS_*, BS_*, SS_*, LBS_*
    short x, y, cx, cy;  // dialog units
    int id;              // IDC_STATIC for none
};

struct DialogTemplate {
    int resourceId;
    DWORD style;          // WS_*, DS_*
    short x, y, cx, cy;   // dialog units
    const char* caption;  // null or "" for none
    WORD pointSize;
    const char* typeface;
    const DialogItemTemplate* items;  // template order, which is also the tab order
    int itemCount;
};

struct ModuleResources {
    const DialogTemplate* const* dialogs;
    int dialogCount;
};

// Bound into the program by app/.
extern const ModuleResources programResources;

inline const DialogTemplate* findDialogTemplate(const ModuleResources& module, int resourceId)
{
    for (int i = 0; i < module.dialogCount; ++i)
        if (module.dialogs[i]->resourceId == resourceId)
            return module.dialogs[i];
    return nullptr;
}
