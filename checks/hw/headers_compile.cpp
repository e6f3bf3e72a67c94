// The vocabulary headers compile with the project's warnings, together and twice over.
#include "hw/cirrus.h"
#include "hw/dispi.h"
#include "hw/palisade_ext.h"
#include "hw/pci.h"
#include "hw/s3.h"
#include "hw/uart.h"
#include "hw/vbe.h"
#include "hw/vga.h"
