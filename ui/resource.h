// Resource ids of the built-in user interface.
#pragma once

#define IDD_SETTINGS 103
#define IDD_BARCODES 111
#define IDD_PROGRESS 113

#define IDC_SCAN 1019
#define IDC_CLOSE 1018
#define IDC_PROGRESS_TEXT 1027

#define IDS_WARNING 28
#define IDS_NO_PAGE 29
#define IDS_MORE_PAGES 31
#define IDS_CANCEL_TITLE 80
#define IDS_SCANNING 81
#define IDS_NO_FILM 84
#define IDS_POSITION_FILM 85
