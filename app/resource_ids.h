// Dialog resource ids and the control ids inside them, shared by the templates and the
// dialog procedures.
#pragma once

constexpr int IDD_MAIN = 1000;
constexpr int IDD_SVGA_INFO = 1001;
constexpr int IDD_NOT_DETECTED = 1002;

// Main dialog.
constexpr int IDC_WAIT_RETRACE = 109;
constexpr int IDC_VIRTUAL_SCROLL = 110;
constexpr int IDC_PALETTE_FADE = 111;
constexpr int IDC_USE_LINEAR = 112;
constexpr int IDC_SVGA_INFO = 113;
constexpr int IDC_MODE_LIST = 114;
constexpr int IDC_DEPTH_15 = 115;
constexpr int IDC_DEPTH_8 = 116;
constexpr int IDC_DEPTH_32 = 117;
constexpr int IDC_DEPTH_24 = 118;
constexpr int IDC_DEPTH_16 = 119;
constexpr int IDC_DEPTH_4 = 120;
constexpr int IDC_TEST_MODE = 121;
constexpr int IDC_TITLE = 122;
constexpr int IDC_COPYRIGHT = 123;
constexpr int IDC_QUIT = 2;

// SuperVGA information dialog: the value controls.
constexpr int IDC_OEM_STRING = 100;
constexpr int IDC_VBE_VERSION = 101;
constexpr int IDC_VIDEO_MEMORY = 102;
constexpr int IDC_OEM_SOFTWARE_REV = 103;
constexpr int IDC_OEM_VENDOR_NAME = 104;
constexpr int IDC_OEM_PRODUCT_NAME = 105;
constexpr int IDC_OEM_PRODUCT_REV = 106;
constexpr int IDC_WIDE_DAC = 107;
constexpr int IDC_LINEAR_FRAMEBUFFER = 108;
