// Localisation file reader: a small state machine over UTF-16 units, so that the file can be
// read in fixed-size pieces. See locfile.h for the format.
#include "locfile.h"

#include <windows.h>

#include <climits>

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The leading decimal digits of text as a number, as atol reads them, but saturated instead of
// overflowing.
long LeadingNumber(const wchar_t *text) {
    long value = 0;
    for (; IsDigit(*text); ++text) {
        const int digit = *text - L'0';
        if (value > (LONG_MAX - digit) / 10) return LONG_MAX;
        value = value * 10 + digit;
    }
    return value;
}

void EndLine(LocReader *r) {
    r->line[r->length] = L'\0';
    const size_t length = r->length;
    r->length = 0;
    if (length == 0 || !IsDigit(r->line[0])) {
        if (r->inRun) r->done = true;
        return;
    }
    r->inRun = true;
    for (size_t i = 0; i < length; ++i) {
        if (r->line[i] != L'=') continue;
        r->onLanguage(r->context, LeadingNumber(r->line), r->line + i + 1);
        if (++r->languages >= kLocMaxLanguages) r->done = true;
        return;
    }
}

void Unit(LocReader *r, wchar_t unit) {
    if (!r->started) {
        r->started = true;
        if (unit == 0xFEFF || unit == 0xFFFE) return;
    }
    if (r->afterCr) {
        r->afterCr = false;
        if (unit == L'\n') return;
    }
    if (unit == L'\r') {
        EndLine(r);
        r->afterCr = true;
        return;
    }
    if (r->length < kLocMaxLine) r->line[r->length++] = unit;
}

}  // namespace

void LocReaderInit(LocReader *reader, LocLanguageFn onLanguage, void *context) {
    *reader = LocReader{};
    reader->onLanguage = onLanguage;
    reader->context = context;
}

bool LocReaderFeed(LocReader *r, const unsigned char *bytes, size_t count) {
    if (!bytes) count = 0;
    size_t i = 0;
    if (r->haveByte && count > 0 && !r->done) {
        r->haveByte = false;
        Unit(r, static_cast<wchar_t>(r->byte | (bytes[0] << 8)));
        i = 1;
    }
    for (; i + 1 < count && !r->done; i += 2) Unit(r, static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    if (i < count && !r->done) {
        r->haveByte = true;
        r->byte = bytes[i];
    }
    return !r->done;
}

void LocReaderFinish(LocReader *r) {
    if (!r->done && r->length > 0) EndLine(r);
    r->done = true;
}

bool ReadLocFile(const wchar_t *path, LocLanguageFn onLanguage, void *context) {
    if (!path || !onLanguage) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LocReader reader;
    LocReaderInit(&reader, onLanguage, context);
    unsigned char buffer[32768];
    unsigned long total = 0;
    DWORD got = 0;
    while (total < kLocMaxBytes && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        total += got;
        if (!LocReaderFeed(&reader, buffer, got)) break;
    }
    CloseHandle(file);
    LocReaderFinish(&reader);
    return true;
}
