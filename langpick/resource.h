// Resource ids of Yarrel, shared by the program, its resource script and its tests.
#pragma once

// The one dialog, by name.
#define IDD_LANGDIALOG L"LANGDIALOG"

// Controls of LANGDIALOG (besides IDOK and IDCANCEL).
#define IDC_SCANNER 1001   // drop-down list of installed drivers and "all scanners"
#define IDC_LANGUAGE 1002  // languages of the chosen driver's localisation file

// Strings.
#define IDS_CAPTION 1       // caption of the save question (and of the dialog)
#define IDS_SAVEQUESTION 2  // the save question
#define IDS_NOSCANNER 3     // kept for translators; the all-scanners entry is always listed
#define IDS_ALLSCANNERS 4   // text of the all-scanners entry
#define IDS_DEFAULT 5       // first language entry: the user's default language
