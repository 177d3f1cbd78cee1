// Resource ids of the tray program, shared by zelquoiuc.rc and the code. The numbers are fixed:
// the automated GUI tests address windows and controls by them.
#pragma once

// The hidden frame window (its title is string 128).
#define IDR_MAINFRAME 128

// Tray icons: the usual one, and the one shown while a request is under way.
#define IDI_IDLE 129
#define IDI_BUSY 144

// The tray menu (one pop-up); its number is also the tray icon's id.
#define IDR_TRAY_MENU 134
#define ID_OPEN_MAIN_PANEL 32773
#define ID_PURCHASE_DOMAIN 32784
#define ID_ADD_HOSTNAME 32781
#define ID_OPEN_CONTROL_PANEL 32782
#define ID_CONTACT_SUPPORT 32779
#define ID_DOCUMENTATION 32776
#define ID_APP_EXIT 32774

// The settings window. Its tab control is created at run time.
#define IDD_SETTINGS 151
#define IDC_USERNAME 1074
#define IDC_PASSWORD 1075
#define IDC_STATUS 1076
#define IDC_LOCATION 1077
#define IDC_PAGE_TABS 1200

// Pages of the settings window.
#define IDD_ACTIVITY_PAGE 102
#define IDC_ACTIVITY_LOG 1000

// The program's message box.
#define IDD_MESSAGE 153
#define IDC_MESSAGE_TEXT 1001

// Strings.
#define IDS_PRODUCT_NAME IDR_MAINFRAME

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
