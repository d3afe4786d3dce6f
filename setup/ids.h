#pragma once
// Resource and control ids, shared by setup.rc and the code.

#define IDD_LICENCE 101
#define IDD_WIZARD 102
#define IDR_PAYLOAD 103
#define IDB_HEADER_LEFT 106
#define IDB_HEADER_RIGHT 107
#define IDI_BOX_EMPTY 108
#define IDI_BOX_TICKED 109
#define IDR_LICENCE 110
#define IDI_SETUP 100

// Wizard controls.
#define IDC_DESTINATION 1000
#define IDC_BROWSE 1001
#define IDC_MAIN_TEXT 1002
#define IDC_DESCRIPTION 1003
#define IDC_NEXT 1004
#define IDC_PREVIOUS 1005
#define IDC_DESTINATION_LABEL 1011
#define IDC_START_PLAYER 1012
#define IDC_DESKTOP_LINK 1013
#define IDC_QUICK_LAUNCH_LINK 1014
#define IDC_UPPER_TEXT 1016
#define IDC_EXTENSION_LIST 1018
// Exit/Close; the dialog manager's cancel id, which Escape sends too.
#define IDC_EXIT 2

// Licence dialog controls.
#define IDC_LICENCE_TEXT 1002
#define IDC_ACCEPT 1008
#define IDC_REFUSE 2
