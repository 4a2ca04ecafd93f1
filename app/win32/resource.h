// Resource and control ids of the Win32 window, for the resource script
// and the code alike (the resource compiler reads #define only).
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDB_BACKGROUND 132
#define IDB_COPY 136
#define IDB_COPY_HOVER 137
#define IDB_RESET_HOVER 142
#define IDB_RESET 143

#define IDC_ZIP_LIST 1003
#define IDC_BANNER 1004
#define IDC_INPUT 1005
#define IDC_OUTPUT 1006
#define IDC_ZIP_QUERY 1007
#define IDC_COPY_INPUT 1008
#define IDC_COPY_OUTPUT 1009
#define IDC_COPY_QUERY 1010
#define IDC_RESET 1011
#define IDC_ZIP_NOTE 1012
