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

#define IDD_DOMAIN_NAMES_PAGE 149
#define IDC_DOMAIN_LIST 1055
#define IDC_ADD_DOMAIN 1052
#define IDC_REMOVE_DOMAIN 1053
#define IDC_REMOVE_ALL_DOMAINS 1054
#define IDC_ALIAS_LIST 1048
#define IDC_ADD_ALIAS 1049
#define IDC_REMOVE_ALIAS 1050
#define IDC_REMOVE_ALL_ALIASES 1051

#define IDD_CONNECTION_TYPE_PAGE 140
#define IDC_CLIENT_SIDE 1020
#define IDC_SERVER_SIDE 1021
#define IDC_BOTH_SIDES 1022
#define IDC_STATIC_ADDRESS 1023
#define IDC_STATIC_ADDRESS_IP 1019
#define IDC_ALTERNATIVE_PORT 1037
#define IDC_UPDATE_IPV6 1061
#define IDC_USE_HTTPS 1062

#define IDD_IGNORE_IP_PAGE 137
#define IDC_IGNORE_LIST 1001
#define IDC_IGNORE_ENTRY 1032
#define IDC_ADD_IP 1010
#define IDC_REMOVE_IP 1011

#define IDD_SIGN_OFF_PAGE 141
#define IDC_SIGN_OFF_OFFLINE_MESSAGE 1017
#define IDC_SIGN_OFF_NO_CHANGE 1016
#define IDC_SIGN_OFF_ZERO_ADDRESS 1015
#define IDC_SIGN_OFF_GIVEN_ADDRESS 1025
#define IDC_SIGN_OFF_ADDRESS_IP 1024

#define IDD_MISC_PAGE 146
#define IDC_SERVICE_INSTALL 1048
#define IDC_SERVICE_START 1044
#define IDC_SERVICE_STOP 1046
#define IDC_SERVICE_RESTART 1045
#define IDC_SERVICE_LIGHT 1047
#define IDC_SERVICE_STATE 1052
#define IDC_EXECUTE_COMMAND 1057
#define IDC_COMMAND 1058
#define IDC_POLL_INTERVAL 1033
#define IDC_AUTORUN 1060
#define IDC_MISC_SAVE 1059
// The status light's strip of four 16 x 16 images: stopped, running, paused, not installed.
#define IDB_SERVICE_LIGHTS 155

// The Domain Names page's small dialogs. Their edits share numbers with the page's buttons.
#define IDD_NEW_DOMAIN 152
#define IDC_NEW_DOMAIN_NAME 1054
#define IDD_NEW_ALIAS 150
#define IDC_NEW_ALIAS_LABEL 1050
#define IDC_NEW_ALIAS_DOMAIN_NAME 1051

// The program's message box.
#define IDD_MESSAGE 153
#define IDC_MESSAGE_TEXT 1001

// Strings.
#define IDS_PRODUCT_NAME IDR_MAINFRAME

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
