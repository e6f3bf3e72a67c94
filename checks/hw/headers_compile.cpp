// The vocabulary headers compile with the project's warnings, together and twice over.
#include "hw/vbe.h"
#include "hw/pci.h"
#include "hw/palisade_ext.h"
#include "hw/dispi.h"
#include "hw/vga.h"
#include "hw/vbe.h"
