// The bar-code result dialog, driven as a person does: Next, the number edit, the fields of each
// code, Done, and a second opening.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "twain/state.h"
#include "win_helpers.h"
#include "ui/barcodedlg.h"
#include "ui/bardata.h"
#include "ui/uistate.h"

namespace {

void AddCode(SHORT type, const char *text, LONG x = -1, LONG y = -1, LONG w = -1, LONG h = -1) {
    BarcodeEntry &e = BarData.entries[BarData.count++];
    EmptyBarcodeEntry(&e);
    e.type = type;
    e.x = x, e.y = y, e.width = w, e.height = h;
    e.text = GlobalAlloc(GHND, 256);
    lstrcpyA(static_cast<char *>(GlobalLock(e.text)), text);
    GlobalUnlock(e.text);
}

std::string Text(int id) {
    char t[300] = {};
    GetDlgItemTextA(gUi.hBarcodeDlg, id, t, sizeof t);
    return t;
}

void Command(int id, int code) {
    SendMessageA(gUi.hBarcodeDlg, WM_COMMAND, MAKEWPARAM(id, code),
                 reinterpret_cast<LPARAM>(GetDlgItem(gUi.hBarcodeDlg, id)));
}

struct Codes {
    Codes() {
        gState.hOwnInstance = GetModuleHandleA(nullptr);  // the dialog and its texts are linked in
        ResetBarData();
    }
    ~Codes() {
        CloseBarcodeDialog();
        ResetBarData();
    }
};

}  // namespace

TEST(BarcodeDialog, NextAndTheNumberEdit) {
    Codes codes;
    AddCode(3, "KIT-0001", 10, 20, 300, 40);
    AddCode(99, "second", 5, 6);
    AddCode(2, "4006381333931");
    OpenBarcodeDialog(nullptr);
    ASSERT_NE(gUi.hBarcodeDlg, nullptr);
    char title[100] = {};
    GetWindowTextA(gUi.hBarcodeDlg, title, sizeof title);
    EXPECT_STREQ(title, "Bar Codes : <Bar code found>");
    EXPECT_EQ(Text(1005), "KIT-0001");
    EXPECT_EQ(Text(1006), "Type CODE 39");
    EXPECT_EQ(Text(1007), "(x,y,w,h) (10, 20, 300, 40)");
    EXPECT_EQ(Text(1009), "Unknown");
    EXPECT_EQ(Text(1008), "") << "not known";
    PumpFor(100);
    SaveScreenshot(gUi.hBarcodeDlg, "barcode-dialog");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(gUi.hBarcodeDlg, 1004)));
    // Next cycles 0, 1, 2, 0.
    const char *texts[] = {"second", "4006381333931", "KIT-0001"};
    for (const char *t : texts) {
        Command(1004, BN_CLICKED);
        EXPECT_EQ(Text(1005), t);
    }
    Command(1004, BN_CLICKED);
    EXPECT_EQ(Text(1003), "1");
    EXPECT_EQ(Text(1006), "Unknown") << "a type not in the table";
    EXPECT_EQ(Text(1007), "(x,y) (5, 6)");
    // Typing 9 shows the last entry.
    SetDlgItemTextA(gUi.hBarcodeDlg, 1003, "9");
    EXPECT_EQ(Text(1005), "4006381333931");
    EXPECT_EQ(Text(1006), "Type EAN-13");
    EXPECT_EQ(Text(1007), "");
    // Done hides it; opening again replaces it.
    HWND first = gUi.hBarcodeDlg;
    Command(IDOK, BN_CLICKED);
    EXPECT_FALSE(IsWindowVisible(first));
    OpenBarcodeDialog(nullptr);
    EXPECT_FALSE(IsWindow(first)) << "the old dialog is not left behind";
    EXPECT_TRUE(IsWindow(gUi.hBarcodeDlg));
}

TEST(BarcodeDialog, OneCodeOrNone) {
    Codes codes;
    OpenBarcodeDialog(nullptr);
    EXPECT_EQ(gUi.hBarcodeDlg, nullptr) << "nothing to show";
    AddCode(1, "only");
    OpenBarcodeDialog(nullptr);
    ASSERT_NE(gUi.hBarcodeDlg, nullptr);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(gUi.hBarcodeDlg, 1004)));
    EXPECT_EQ(Text(1006), "Type EAN-8");
    // The list emptied under the open dialog: typing shows nothing and breaks nothing.
    BarData.count = 0;
    SetDlgItemTextA(gUi.hBarcodeDlg, 1003, "3");
    Command(1004, BN_CLICKED);
    EXPECT_EQ(Text(1005), "only");
}
