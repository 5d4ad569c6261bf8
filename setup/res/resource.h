/*
 * Identifiers of the setup program's resources: bitmaps, accelerators, icon,
 * dialogs, commands, dialog controls and strings. Shared by the resource
 * script and every part of the program; plain #defines so that the resource
 * compiler can read it too. Include it after <windows.h>.
 */
#ifndef SETUP_RES_RESOURCE_H
#define SETUP_RES_RESOURCE_H

/* Bitmaps, accelerators, icon, dialogs */
#define IDB_SPLASH              101
#define IDR_ACCEL               103
#define IDI_SETUP               104
#define IDD_OPTIONS             106
#define IDD_LICENSE             116
#define IDD_USERINFO            118
#define IDB_USERPICTURE         125

/* Commands of the main window */
#define IDM_INIT                1
#define IDM_INSTALL             40001
#define IDM_RELEASENOTES        40002
#define IDM_WEBSITE             40003
#define IDM_EXIT                40004

/* Controls that no code addresses */
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

/* IDD_OPTIONS */
#define IDC_BROWSE              1008
#define IDC_DESKTOPDIR          1009
#define IDC_FILMBOOK            1038
#define IDC_NEWSBOOK            1039
#define IDC_CUSTOMBOOK          1040

/* IDD_LICENSE. <winuser.h> names a standard cursor IDC_NO: include this
   header after <windows.h>, and the dialog's control id replaces it. */
#undef IDC_NO
#define IDC_YES                 1014
#define IDC_NO                  1015
#define IDC_LICENSE_TEXT        1016

/* IDD_USERINFO */
#define IDC_NAME                1019
#define IDC_COMPANY             1020
#define IDC_ADDRESS             1021
#define IDC_CITY                1022
#define IDC_STATE               1023
#define IDC_PHONE               1024
#define IDC_POSTALCODE          1026
#define IDC_FAX                 1028
#define IDC_COUNTRY             1029

/* Strings */
#define IDS_BTN_INSTALL         1
#define IDS_BTN_RELEASENOTES    3
#define IDS_BTN_WEBSITE         4
#define IDS_BTN_EXIT            5
#define IDS_TITLE               6
#define IDS_FOOTER              7
#define IDS_LICENSE_HEAD        8
#define IDS_ERR_NODLL           9
#define IDS_INSTALLED           10
#define IDS_SETUP_ERROR         11
#define IDS_SETUP_COMPLETED     12
#define IDS_NOBROWSER_CAPTION   14
#define IDS_NOBROWSER           15
#define IDS_LICENSE_FIRST       16
#define IDS_LICENSE_LAST        30
#define IDS_ALREADY_INSTALLED   31
#define IDS_SUGGESTION          32
#define IDS_ERR_CPUTYPE         35
#define IDS_ERR_NOCONNECT       36
#define IDS_ERR_NOSPACE         39
#define IDS_ERR_INCOMPLETE      40
#define IDS_PRODUCT_NUMBER      48
#define IDS_DEFAULT_NAME        49
#define IDS_BROWSE_TITLE        50
#define IDS_WEB_ADDRESS         51

#endif
