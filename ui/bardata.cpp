#include "ui/bardata.h"

BarDataRecord BarData;

void EmptyBarcodeEntry(BarcodeEntry *entry) {
    *entry = BarcodeEntry{-1, -1, -1, -1, -1, -1, -1, -1, -1, 0, nullptr};
}

void FreeBarData() {
    BarData.count = 0;
    for (BarcodeEntry &e : BarData.entries) {
        if (e.text) GlobalFree(e.text);
        e.text = nullptr;
    }
}

void ResetBarData() {
    FreeBarData();
    BarData.cleared = 0;
    for (BarcodeEntry &e : BarData.entries) EmptyBarcodeEntry(&e);
}
