// Resource identifiers of the Windows program (dialogs, controls, menus, strings, pictures).
#pragma once

// Dialog templates
#define IDD_MAIN 102
#define IDD_BASIC_PAGE 135
#define IDD_ADVANCED_PAGE 136
#define IDD_ABOUT_PAGE 137
#define IDD_CONNECTION_POPUP 151
#define IDD_UPDATE 155
#define IDD_MORE_ADDRESSES 157

// Menus
#define IDR_TRAY_MENU 130

// Icons
#define IDI_MAIN 128
#define IDI_TRAY 129
#define IDI_SERVICE_OFF 138
#define IDI_SERVICE_ON 139
#define IDI_PAGE_ABOUT 140
#define IDI_PAGE_ABOUT_CHECKED 141
#define IDI_PAGE_ADVANCED 144
#define IDI_PAGE_ADVANCED_CHECKED 145
#define IDI_PAGE_BASIC 146
#define IDI_PAGE_BASIC_CHECKED 147
#define IDI_CLOSE 153
#define IDI_MINIMISE 154
#define IDI_POPUP_CLOSE 161

// Bitmaps
#define IDB_LOGO 143

// Cursors
#define IDC_HAND_LINK 149
#define IDC_PEN 160

// Strings
#define IDS_CONNECTED 158
#define IDS_DISCONNECTED 159
#define IDS_MULTIPLE_ADDRESSES 160
#define IDS_WIRELESS_NETWORK 161
#define IDS_NETCARD_NAME 162
#define IDS_ABOUT_TEXT 163
#define IDS_VERSION 164
#define IDS_UPDATE_QUESTION 165

// Tray menu commands
#define ID_TRAY_SHUTDOWN 32773
#define ID_TRAY_CONFIG 32774
#define ID_TRAY_ABOUT 32775

// Main window controls (besides IDOK 1 and IDCANCEL 2, the two hide buttons)
#define IDC_PAGE_BASIC 1000
#define IDC_PAGE_ADVANCED 1002
#define IDC_PAGE_ABOUT 1003
#define IDC_LINK 1014

// Basic page
#define IDC_SERVICE_BUTTON 1004
#define IDC_COMPUTER_NAME 1007
#define IDC_PASSWORD 1008
#define IDC_HIDE_PASSWORD 1011
#define IDC_ADDRESS_TEXT 1020
#define IDC_ADDRESS_DETAILS 1021
#define IDC_FIREWALL_NOTE 1023

// Advanced page
#define IDC_HORIZONTAL_SLIDER 1005
#define IDC_VERTICAL_SLIDER 1006
#define IDC_LOCK 1009
#define IDC_AUTOSTART 1010
#define IDC_HORIZONTAL_VALUE 1012
#define IDC_VERTICAL_VALUE 1013

// About page
#define IDC_ABOUT_TEXT 1015
#define IDC_VERSION_LINE 1019

// More-addresses dialog
#define IDC_ADDRESS_LIST 1022

// Connection popup
#define IDC_POPUP_CLOSE 1024
#define IDC_POPUP_TEXT 1025

// Update window
#define IDC_UPDATE_PROGRESS 1017
#define IDC_UPDATE_TEXT 1018
