// Identifiers of the library's resources.
#pragma once

#define IDS_SOCKETS_INIT_FAILED   101
#define IDS_USAGE                 102
#define IDS_NO_UPDATE_FOUND       103
#define IDS_DOWNLOADING_WAIT      1008
#define IDS_NEW_VERSION_FOUND     1009
#define IDS_DOWNLOADING           1010
#define IDS_DOWNLOADING_UPDATE    1011
#define IDS_CLOSE_AND_RETRY       1012
#define IDS_INSTALL_COMPLETE      1013
#define IDS_PROGRAM_QUITS         1014
#define IDS_PACKAGE_REFUSED       1015
#define IDS_DESCRIPTION_REFUSED   1016
#define IDS_UPGRADE_PROFESSION    1017
#define IDS_FILE_ERROR            1018
#define IDS_DOWNLOAD_PROGRESS     1019

#define IDI_UPDATE                1001

#define IDD_UPDATE_STATUS         1012
#define IDC_BROWSER               1002
#define IDC_STATUS_TEXT           1001
#define IDC_NEWS_TEXT             1005
#define IDC_PROGRESS              1019
