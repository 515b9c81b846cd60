// Resource and command identifiers shared by the resource script and the code.
// Plain #defines only: windres reads this file too.
#ifndef QVX_RESOURCE_IDS_H
#define QVX_RESOURCE_IDS_H

// Commands: control bar (4..6), File and Help (100..108), Window (200..203), Option (301..304).
#define IDM_ZOOM_IN     4
#define IDM_ZOOM_OUT    5
#define IDM_INVERT      6
#define IDM_ABOUT       100
#define IDM_OPEN        101
#define IDM_SAVE_AS     102
#define IDM_INFO        103
#define IDM_EXIT        104
#define IDM_HELP        105
#define IDM_COPY        107
#define IDM_PASTE       108
#define IDM_CASCADE     200
#define IDM_HORIZONTAL  201
#define IDM_TILE        202
#define IDM_VIEWER      203
#define IDM_LETTER      301
#define IDM_PHOTO_HARD  302
#define IDM_PHOTO_SOFT  303
#define IDM_FAST        304

// Child window ids: panes (1, 2) and control-bar controls (3..9; 5 is unused).
#define ID_SOURCE_PANE     1
#define ID_RESULT_PANE     2
#define ID_DENSITY_BAR     3
#define ID_ZOOM_SPIN       4
#define ID_INVERT_BUTTON   6
#define ID_DENSITY_LABEL   7
#define ID_SCALE_FRAME     8
#define ID_SCALE_LABEL     9

// String table (English texts).
#define IDS_TOO_LARGE_TO_SHOW  0
#define IDS_FILE_TOO_LARGE     1
#define IDS_READ_FAILED        16
#define IDS_READ_ERROR         17
#define IDS_CANT_OPEN_FILE     32
#define IDS_NO_MEMORY          33
#define IDS_NO_FILE_HEADER     48
#define IDS_NOT_BITMAP         64
#define IDS_NO_INFO_HEADER     80
#define IDS_UNSUPPORTED        96

// Dialog controls. Info: value fields 1..11 (row k has id k + 1, the first shares
// id 1 with OK), colour cells 13..20 and 21..28, the two headings. About: its lines.
#define IDC_INFO_HEADER_HEADING  30
#define IDC_INFO_COLOUR_HEADING  31
#define IDC_ABOUT_VERSION        101
#define IDC_ABOUT_BUILD_TOOL     102
#define IDC_ABOUT_WORD_SIZE      103
#define IDC_ABOUT_DISPLAY        104
#define IDC_ABOUT_CREDIT         105
#define IDC_ABOUT_DISTRIBUTION   106
// The 3-D look item both dialogs add to their system menus.
#define IDM_3D_LOOK              106

#endif
