// Acquisition: MSG_ENABLEDS without the source's dialog, the message loop that hands every
// message to DAT_EVENT until the source says a page is ready, the transfers (native, memory or
// file) written as .bmp, .png or .tif files, the bar codes of each page, and MSG_DISABLEDS on
// every path.
//
// Wine's manager queues a source's MSG_XFERREADY (sent from inside MSG_ENABLEDS here) and posts a
// message to the parent window; the next DAT_EVENT then answers TWRC_DSEVENT with TWMessage
// MSG_XFERREADY. Nothing waits without a bound: the loop gives up after --timeout seconds (and
// session.cpp's watchdog bounds each call).
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "app/twacq.h"

namespace {

// Memory flags and bar-code and patch-code names of the TWAIN protocol that twaindefs.h lacks.
constexpr TW_UINT32 kMemAppOwns = 0x0001;  // TWMF_APPOWNS
constexpr TW_UINT32 kMemPointer = 0x0008;  // TWMF_POINTER
constexpr const char *kBarcodeNames[] = {
    "TWBT_3OF9",          "TWBT_2OF5INTERLEAVED", "TWBT_2OF5NONINTERLEAVED", "TWBT_CODE93",
    "TWBT_CODE128",       "TWBT_UCC128",          "TWBT_CODABAR",            "TWBT_UPCA",
    "TWBT_UPCE",          "TWBT_EAN8",            "TWBT_EAN13",              "TWBT_POSTNET",
    "TWBT_PDF417",        "TWBT_2OF5INDUSTRIAL",  "TWBT_2OF5MATRIX",         "TWBT_2OF5DATALOGIC",
    "TWBT_2OF5IATA",      "TWBT_3OF9FULLASCII",   "TWBT_CODABARWITHSTARTSTOP", "TWBT_MAXICODE",
    "TWBT_QRCODE",
};
constexpr const char *kPatchNames[] = {"TWPCH_PATCH1", "TWPCH_PATCH2", "TWPCH_PATCH3",
                                       "TWPCH_PATCH4", "TWPCH_PATCH6", "TWPCH_PATCHT"};
constexpr TW_UINT32 kTextBytes = 256;  // one TWTY_STR255 item

// ---- Page files

struct PageFacts {
    LONG width, height;
    WORD bits;
    DWORD fileBytes;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Writes a packed DIB as a .bmp file: the file header's offset counts the info header, the colour
// masks of a 40-byte BI_BITFIELDS header and the colour table.
bool WriteBmp(HGLOBAL dib, const std::string &path, PageFacts &facts, std::string &why) {
    const SIZE_T have = GlobalSize(dib);
    const auto *base = static_cast<const BYTE *>(GlobalLock(dib));
    if (!base) {
        why = "the page's memory cannot be locked";
        return false;
    }
    DibLayout d{};
    bool ok = false;
    do {
        if (!MeasureDib(base, have, d, why)) break;
        BITMAPFILEHEADER fh{};
        fh.bfType = 0x4D42;  // "BM"
        fh.bfSize = sizeof fh + d.dibBytes;
        fh.bfOffBits = sizeof fh + d.pixelOffset;
        HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            why = "cannot create the file (error " + std::to_string(GetLastError()) + ")";
            break;
        }
        DWORD wrote1 = 0, wrote2 = 0;
        const bool written = WriteFile(f, &fh, sizeof fh, &wrote1, nullptr) &&
                             WriteFile(f, base, d.dibBytes, &wrote2, nullptr) && wrote1 == sizeof fh &&
                             wrote2 == d.dibBytes;
        const DWORD error = GetLastError();
        CloseHandle(f);
        if (!written) {
            why = "cannot write the file (error " + std::to_string(error) + ")";
            DeleteFileA(path.c_str());
            break;
        }
        facts = {d.width, d.height, d.bits, fh.bfSize};
        ok = true;
    } while (false);
    GlobalUnlock(dib);
    return ok;
}

// Reads a .bmp file (the file transfer's) back as a packed DIB in a new global block.
bool ReadBmpFile(const std::string &path, HGLOBAL &dib, DWORD &fileBytes, std::string &why) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return why = "the source wrote no file " + path, false;
    fileBytes = GetFileSize(f, nullptr);
    BITMAPFILEHEADER fh{};
    DWORD got = 0;
    bool ok = false;
    if (fileBytes == INVALID_FILE_SIZE || fileBytes <= sizeof fh || fileBytes > 0x7FFFFFF0u ||
        !ReadFile(f, &fh, sizeof fh, &got, nullptr) || got != sizeof fh || fh.bfType != 0x4D42) {
        why = "the source's file is not a .bmp";
    } else if ((dib = GlobalAlloc(GMEM_MOVEABLE, fileBytes - sizeof fh)) == nullptr) {
        why = "out of memory for the page";
    } else {
        void *p = GlobalLock(dib);
        ok = ReadFile(f, p, fileBytes - sizeof fh, &got, nullptr) && got == fileBytes - sizeof fh;
        DibLayout d{};
        ok = ok && MeasureDib(static_cast<const BYTE *>(p), got, d, why);
        if (ok && fh.bfOffBits != sizeof fh + d.pixelOffset) {
            why = "the source's file has its pixels at " + std::to_string(fh.bfOffBits);
            ok = false;
        }
        GlobalUnlock(dib);
        if (!ok) {
            if (why.empty()) why = "cannot read the source's file";
            GlobalFree(dib);
            dib = nullptr;
        }
    }
    CloseHandle(f);
    return ok;
}

DWORD FileBytes(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a) ? a.nFileSizeLow : 0;
}

struct Run {
    Session &s;
    TW_IDENTITY &source;
    const std::string &folder;
    const Options &opts;
    int pages = 0;
    ULONGLONG bytes = 0;
    bool palette = false;  // ICAP_PIXELTYPE is TWPT_PALETTE: memory pages take DAT_PALETTE8's colours
    bool vanilla = false;  // ICAP_PIXELFLAVOR is TWPF_VANILLA: 0 is white in 1-bit memory pages
    ImageFile tiff;        // --format tiff: the run's pages.tif, created with the first page
};

// Ends the pending pages at the source after a failure, so that MSG_DISABLEDS is accepted.
void DropPending(Run &run) {
    TW_PENDINGXFERS pending{};
    Call(run.s, &run.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

// Reports a transfer call that did not end in TWRC_XFERDONE (or did without an image).
int TransferFailed(Run &run, int number, TW_UINT16 rc, const char *what) {
    if (rc == TWRC_XFERDONE)
        fprintf(stderr, "twacq: page %d: the source answered TWRC_XFERDONE without an image (%s)\n", number, what);
    else if (rc == TWRC_CANCEL)
        fprintf(stderr, "twacq: page %d: the transfer was cancelled (%s, condition code %s)\n", number, what,
                ConditionText(Status(run.s, &run.source)).c_str());
    else
        fprintf(stderr, "twacq: page %d: the transfer failed (%s): rc %u, condition code %s\n", number, what, rc,
                ConditionText(Status(run.s, &run.source)).c_str());
    return kExitTransfer;
}

int NativeTransfer(Run &run, int number, HGLOBAL &dib) {
    TW_UINT32 handle = 0;  // TW_HANDLE in a 32-bit field, as the transfer hands it over
    const TW_UINT16 rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc == TWRC_XFERDONE && handle) {
        dib = reinterpret_cast<HGLOBAL>(static_cast<UINT_PTR>(handle));
        return kExitOk;
    }
    return TransferFailed(run, number, rc, "DAT_IMAGENATIVEXFER");
}

// The colour table of a one-sample memory page: the source's palette for a palette page, black
// and white in the pixel flavour's order for 1 bit, else the gray ramp of the depth.
bool MemoryColours(Run &run, const TW_IMAGEINFO &info, int number, RGBQUAD *table, DWORD entries) {
    if (run.palette || info.PixelType == TWPT_PALETTE) {
        TW_PALETTE8 pal{};
        const TW_UINT16 rc = Call(run.s, &run.source, DG_IMAGE, DAT_PALETTE8, MSG_GET, &pal);
        if (rc != TWRC_SUCCESS) {
            fprintf(stderr, "twacq: page %d: no colour table for the memory transfer (DAT_PALETTE8): rc %u, "
                            "condition code %s\n",
                    number, rc, ConditionText(Status(run.s, &run.source)).c_str());
            return false;
        }
        for (DWORD i = 0; i < entries && i < pal.NumColors && i < 256; ++i)
            table[i] = {pal.Colors[i].Channel3, pal.Colors[i].Channel2, pal.Colors[i].Channel1, 0};
        return true;
    }
    for (DWORD i = 0; i < entries; ++i) {
        BYTE v = static_cast<BYTE>(i * 255 / (entries - 1));
        if (entries == 2 && run.vanilla) v = static_cast<BYTE>(255 - v);
        table[i] = {v, v, v, 0};
    }
    return true;
}

// Fills a DIB from strips of rows (top row first, colour in red-green-blue order, one-sample rows
// padded as the DIB's) until TWRC_XFERDONE, into a buffer of the size the source prefers.
int MemoryTransfer(Run &run, const TW_IMAGEINFO &info, bool haveInfo, int number, HGLOBAL &dib) {
    const LONG width = info.ImageWidth, height = info.ImageLength;
    const int bits = info.BitsPerPixel;
    if (!haveInfo || width <= 0 || height <= 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        fprintf(stderr, "twacq: page %d: the memory transfer needs the page's size and a depth of 1, 4, 8 or 24 "
                        "bits (DAT_IMAGEINFO: %ld x %ld, %d bits)\n",
                number, static_cast<long>(width), static_cast<long>(height), bits);
        return kExitTransfer;
    }
    TW_SETUPMEMXFER setup{};
    TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    if (rc != TWRC_SUCCESS) return TransferFailed(run, number, rc, "DAT_SETUPMEMXFER");
    const DWORD rowBytes = (static_cast<DWORD>(width) * bits + 31) / 32 * 4;
    const DWORD entries = bits <= 8 ? 1u << bits : 0;
    const ULONGLONG dibBytes = sizeof(BITMAPINFOHEADER) + entries * 4ull + static_cast<ULONGLONG>(rowBytes) * height;
    // A buffer of at least one row: a source may propose nothing for rows wider than its limit.
    const DWORD bufferBytes = setup.Preferred >= rowBytes ? setup.Preferred : rowBytes;
    if (dibBytes > 0x7FFFFFF0u) return TransferFailed(run, number, TWRC_FAILURE, "a page too large for memory");
    dib = GlobalAlloc(GHND, static_cast<SIZE_T>(dibBytes));
    std::vector<BYTE> buffer(bufferBytes);
    if (!dib) {
        fprintf(stderr, "twacq: page %d: out of memory for the page\n", number);
        return kExitTransfer;
    }
    auto *base = static_cast<BYTE *>(GlobalLock(dib));
    auto *bi = reinterpret_cast<BITMAPINFOHEADER *>(base);
    // The header as the source's own DIBs have it, so that every mechanism writes the same file.
    const LONG perMeter = static_cast<LONG>(info.XResolution.Whole * 100 / 2.54);
    *bi = {sizeof *bi, width, height, 1, static_cast<WORD>(bits), BI_RGB, rowBytes * static_cast<DWORD>(height),
           perMeter, perMeter, entries, 0};
    BYTE *pixels = base + sizeof *bi + entries * 4;
    bool ok = !entries || MemoryColours(run, info, number, reinterpret_cast<RGBQUAD *>(base + sizeof *bi), entries);
    int stalls = 0;  // calls in a row that delivered no rows
    for (rc = TWRC_SUCCESS; ok && rc == TWRC_SUCCESS;) {
        TW_IMAGEMEMXFER x{};
        x.Compression = TWON_DONTCARE16;
        x.BytesPerRow = x.Columns = x.Rows = x.XOffset = x.YOffset = x.BytesWritten = TWON_DONTCARE32;
        x.Memory = {kMemAppOwns | kMemPointer, bufferBytes, buffer.data()};
        rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) break;
        const ULONGLONG strip = static_cast<ULONGLONG>(x.Rows) * x.BytesPerRow;
        const DWORD need = bits == 24 ? static_cast<DWORD>(width) * 3 : rowBytes;
        if (x.Rows && (strip > bufferBytes || x.BytesPerRow < need || x.YOffset >= static_cast<DWORD>(height) ||
                       x.Rows > static_cast<DWORD>(height) - x.YOffset)) {
            fprintf(stderr, "twacq: page %d: the source's strip does not fit the page: rows %lu from %lu of %lu "
                            "bytes\n",
                    number, static_cast<unsigned long>(x.Rows), static_cast<unsigned long>(x.YOffset),
                    static_cast<unsigned long>(x.BytesPerRow));
            ok = false;
            break;
        }
        stalls = x.Rows ? 0 : stalls + 1;
        if (rc == TWRC_SUCCESS && stalls >= 3) {
            fprintf(stderr, "twacq: page %d: the memory transfer delivers no rows\n", number);
            ok = false;
            break;
        }
        for (DWORD r = 0; r < x.Rows; ++r) {
            const BYTE *from = buffer.data() + static_cast<size_t>(r) * x.BytesPerRow;
            BYTE *to = pixels + static_cast<size_t>(height - 1 - static_cast<LONG>(x.YOffset + r)) * rowBytes;
            if (bits != 24) {
                memcpy(to, from, rowBytes);
                continue;
            }
            for (LONG c = 0; c < width; ++c) {
                to[c * 3] = from[c * 3 + 2];
                to[c * 3 + 1] = from[c * 3 + 1];
                to[c * 3 + 2] = from[c * 3];
            }
        }
    }
    GlobalUnlock(dib);
    if (ok && rc == TWRC_XFERDONE) return kExitOk;
    GlobalFree(dib);
    dib = nullptr;
    return ok ? TransferFailed(run, number, rc, "DAT_IMAGEMEMXFER") : kExitTransfer;
}

// The source writes the page to path; it is read back for the page line and the other formats.
int FileTransfer(Run &run, int number, const std::string &path, HGLOBAL &dib, DWORD &fileBytes) {
    TW_SETUPFILEXFER setup{};
    if (path.size() >= sizeof setup.FileName) {
        fprintf(stderr, "twacq: page %d: %s is longer than the 255 characters a file transfer takes\n", number,
                path.c_str());
        return kExitOutput;
    }
    memcpy(setup.FileName, path.c_str(), path.size() + 1);
    setup.Format = TWFF_BMP;
    TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
    if (rc != TWRC_SUCCESS) return TransferFailed(run, number, rc, "DAT_SETUPFILEXFER");
    rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    if (rc != TWRC_XFERDONE) return TransferFailed(run, number, rc, "DAT_IMAGEFILEXFER");
    std::string why;
    if (!ReadBmpFile(path, dib, fileBytes, why)) {
        fprintf(stderr, "twacq: page %d: %s\n", number, why.c_str());
        return kExitTransfer;
    }
    return kExitOk;
}

// ---- Bar codes

// One DAT_EXTIMAGEINFO call for the items of ids; each answered item's handle is freed after
// its values are read (4-byte numbers in Item itself when there is one, else in the handle).
struct ItemValues {
    bool answered = false;
    std::vector<TW_UINT32> numbers;
    std::vector<std::string> texts;
};

bool IsHandleItem(const TW_INFO &info) {
    return info.ItemType == TWTY_STR255 || info.ItemType == TWTY_STR128 || info.ItemType == TWTY_STR64 ||
           info.ItemType == TWTY_STR32 || info.NumItems > 1;
}

void AskExtImageInfo(Run &run, const TW_UINT16 *ids, size_t n, std::vector<ItemValues> &out) {
    out.assign(n, ItemValues{});
    std::vector<BYTE> block(sizeof(TW_EXTIMAGEINFO) + (n - 1) * sizeof(TW_INFO));
    auto *ext = reinterpret_cast<TW_EXTIMAGEINFO *>(block.data());
    ext->NumInfos = static_cast<TW_UINT32>(n);
    for (size_t i = 0; i < n; ++i) ext->Info[i] = {ids[i], 0, 0, TWRC_FAILURE, 0};
    if (Call(run.s, &run.source, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, ext) != TWRC_SUCCESS) return;
    for (size_t i = 0; i < n; ++i) {
        const TW_INFO &info = ext->Info[i];
        if (info.ReturnCode != TWRC_SUCCESS) continue;
        ItemValues &v = out[i];
        v.answered = true;
        if (!IsHandleItem(info)) {
            if (info.NumItems == 1) v.numbers.push_back(info.Item);
            continue;
        }
        HGLOBAL h = reinterpret_cast<HGLOBAL>(static_cast<UINT_PTR>(info.Item));
        if (!h) continue;
        const SIZE_T size = GlobalSize(h);
        const auto *p = static_cast<const BYTE *>(GlobalLock(h));
        for (TW_UINT16 k = 0; p && k < info.NumItems; ++k) {
            if (info.ItemType == TWTY_STR255) {
                if ((k + 1ull) * kTextBytes > size) break;
                const char *t = reinterpret_cast<const char *>(p + k * kTextBytes);
                v.texts.emplace_back(t, strnlen(t, kTextBytes));
            } else if (info.ItemType != TWTY_STR128 && info.ItemType != TWTY_STR64 && info.ItemType != TWTY_STR32) {
                if ((k + 1ull) * 4 > size) break;
                TW_UINT32 value;
                memcpy(&value, p + k * 4, 4);
                v.numbers.push_back(value);
            }
        }
        if (p) GlobalUnlock(h);
        GlobalFree(h);
    }
}

std::string CodeName(const char *const *names, size_t n, TW_UINT32 value) {
    char text[64];
    if (value < n) snprintf(text, sizeof text, "%s (%lu)", names[value], static_cast<unsigned long>(value));
    else snprintf(text, sizeof text, "type %ld", static_cast<long>(static_cast<TW_INT32>(value)));
    return text;
}

// The lines about the bar codes and patch codes the source read on the page just transferred.
std::vector<std::string> ReadBarcodes(Run &run) {
    std::vector<std::string> lines;
    if (!run.s.extImageInfo) return lines;
    std::vector<ItemValues> count;
    const TW_UINT16 countId = TWEI_BARCODECOUNT;
    AskExtImageInfo(run, &countId, 1, count);
    if (count[0].numbers.empty() || static_cast<TW_INT32>(count[0].numbers[0]) <= 0) return lines;
    const TW_UINT32 n = count[0].numbers[0];
    const TW_UINT16 ids[] = {TWEI_BARCODETYPE, TWEI_BARCODETEXT, TWEI_PATCHCODE};
    std::vector<ItemValues> items;
    AskExtImageInfo(run, ids, std::size(ids), items);
    for (TW_UINT32 i = 0; i < n; ++i) {
        std::string line = "  bar code " + std::to_string(i + 1) + " of " + std::to_string(n) + ":";
        if (i < items[0].numbers.size())
            line += " " + CodeName(kBarcodeNames, std::size(kBarcodeNames), items[0].numbers[i]);
        if (i < items[1].texts.size()) line += " \"" + items[1].texts[i] + "\"";
        lines.push_back(line);
    }
    for (size_t i = 0; i < items[2].numbers.size(); ++i)
        lines.push_back("  patch code " + std::to_string(i + 1) + ": " +
                        CodeName(kPatchNames, std::size(kPatchNames), items[2].numbers[i]));
    return lines;
}

// ---- One page

std::string PageName(int number, const char *extension) {
    char name[32];
    snprintf(name, sizeof name, "page%04d.%s", number, extension);
    return name;
}

// Writes the page in the format asked for and prints its line; a file the source wrote itself
// stays as it is for .bmp and is replaced by the other formats.
int WritePage(Run &run, HGLOBAL dib, const TW_IMAGEINFO &info, int number, double ms, DWORD sourceFileBytes) {
    const std::string bmpPath = run.folder + "\\" + PageName(number, "bmp");
    std::string why, shown;
    PageFacts facts{};
    bool ok = false, converted = false;
    {
        DibLayout d{};
        const auto *base = static_cast<const BYTE *>(GlobalLock(dib));
        if (base && MeasureDib(base, GlobalSize(dib), d, why)) facts = {d.width, d.height, d.bits, 0};
        GlobalUnlock(dib);
    }
    const double dpiX = info.XResolution.Whole > 0 ? info.XResolution.Whole : 72;
    const double dpiY = info.YResolution.Whole > 0 ? info.YResolution.Whole : dpiX;
    std::string path = bmpPath;
    if (run.opts.format == PageFormat::kBmp) {
        shown = PageName(number, "bmp");
        if (sourceFileBytes) {
            facts.fileBytes = sourceFileBytes;
            ok = facts.width > 0;
        } else {
            ok = WriteBmp(dib, bmpPath, facts, why);
        }
    } else if (run.opts.format == PageFormat::kPng) {
        shown = PageName(number, "png");
        path = run.folder + "\\" + shown;
        ImageFile png;
        ok = png.Create(path, PageFormat::kPng, why) && png.AddPage(dib, dpiX, dpiY, converted, why) &&
             png.Commit(why);
        facts.fileBytes = FileBytes(path);
    } else {
        path = run.folder + "\\pages.tif";
        shown = "pages.tif frame " + std::to_string(run.tiff.Frames() + 1);
        ok = (run.tiff.Frames() || run.tiff.Create(path, PageFormat::kTiff, why)) &&
             run.tiff.AddPage(dib, dpiX, dpiY, converted, why);
        facts.fileBytes = 0;  // counted once the file is written out
    }
    if (sourceFileBytes && run.opts.format != PageFormat::kBmp) DeleteFileA(bmpPath.c_str());
    if (!ok) {
        fprintf(stderr, "twacq: page %d: %s: %s\n", number, path.c_str(), why.c_str());
        return kExitOutput;
    }
    run.pages = number;
    run.bytes += facts.fileBytes;
    printf("page %d: %ld x %ld, %u bits, %d dpi, ", number, facts.width, facts.height, facts.bits,
           info.XResolution.Whole);
    if (run.opts.format != PageFormat::kTiff) printf("%lu bytes, ", static_cast<unsigned long>(facts.fileBytes));
    printf("%.0f ms, %s%s\n", ms, shown.c_str(), converted ? " (as 24-bit colour)" : "");
    return kExitOk;
}

// One page: image info, the transfer by the mechanism asked for, the bar codes, the file,
// MSG_ENDXFER. Returns kExitOk and the pages still pending in *more, or an exit code (the pending
// pages then dropped).
int TransferOne(Run &run, bool &more) {
    more = false;
    TW_IMAGEINFO info{};
    TW_UINT16 rc = Call(run.s, &run.source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    const bool haveInfo = rc == TWRC_SUCCESS;
    if (!haveInfo)
        fprintf(stderr, "twacq: DAT_IMAGEINFO failed: rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
    const int number = run.pages + 1;
    HGLOBAL dib = nullptr;
    DWORD sourceFileBytes = 0;
    const LARGE_INTEGER t0 = Now();
    int result;
    if (run.opts.mech == TWSX_MEMORY)
        result = MemoryTransfer(run, info, haveInfo, number, dib);
    else if (run.opts.mech == TWSX_FILE)
        result = FileTransfer(run, number, run.folder + "\\" + PageName(number, "bmp"), dib, sourceFileBytes);
    else
        result = NativeTransfer(run, number, dib);
    const double ms = Seconds(t0, Now()) * 1000.0;
    // The codes are the page's only until MSG_ENDXFER.
    const std::vector<std::string> codes = result == kExitOk ? ReadBarcodes(run) : std::vector<std::string>{};
    if (result == kExitOk) {
        result = WritePage(run, dib, info, number, ms, sourceFileBytes);
        for (const std::string &line : codes) printf("%s\n", line.c_str());
    }
    if (dib) GlobalFree(dib);
    TW_PENDINGXFERS pending{};
    rc = Call(run.s, &run.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: MSG_ENDXFER failed: rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
        return result != kExitOk ? result : kExitTransfer;
    }
    if (result != kExitOk) {
        if (pending.Count != 0) DropPending(run);
        return result;
    }
    more = pending.Count != 0;
    return kExitOk;
}

int TransferAll(Run &run) {
    for (bool more = true; more;) {
        const int rc = TransferOne(run, more);
        if (rc != kExitOk) return rc;
    }
    return kExitOk;
}

enum class Wait { kReady, kClose, kTimeout };

// Feeds every message of this thread to DAT_EVENT until the source reports a page ready or asks
// to be closed, or timeoutMs passes. Messages the source does not take are dispatched as usual.
Wait WaitForSource(Run &run, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TW_EVENT event{&msg, MSG_NULL};
            const TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
            if (event.TWMessage == MSG_XFERREADY) return Wait::kReady;
            if (event.TWMessage == MSG_CLOSEDSREQ) return Wait::kClose;
            if (rc != TWRC_DSEVENT) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return Wait::kTimeout;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
    }
}

// Keeps the source enabled for the guard's lifetime: MSG_DISABLEDS on every way out.
class Enabled {
public:
    Enabled(Session &s, TW_IDENTITY &source) : s_(s), source_(source) {}
    ~Enabled() {
        TW_USERINTERFACE ui{FALSE, FALSE, s_.parent};
        Call(s_, &source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    Enabled(const Enabled &) = delete;
    Enabled &operator=(const Enabled &) = delete;

private:
    Session &s_;
    TW_IDENTITY &source_;
};

int AcquireEnabled(Run &run, const Options &opts) {
    TW_USERINTERFACE ui{static_cast<TW_BOOL>(opts.ui), FALSE, run.s.parent};
    const TW_UINT16 rc = Call(run.s, &run.source, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    // Also after a failure: the source may count itself enabled after a half-done enable.
    Enabled enabled(run.s, run.source);
    if (rc != TWRC_SUCCESS) {
        fprintf(stderr, "twacq: the scan did not start (MSG_ENABLEDS): rc %u, condition code %s\n", rc,
                ConditionText(Status(run.s, &run.source)).c_str());
        return kExitEnable;
    }
    // A manager that only queues the notification still gets a message to answer it with.
    PostMessageA(run.s.parent, WM_NULL, 0, 0);
    if (opts.ui) {
        // The person scans from the dialog as often as they like; closing it ends the run.
        printf("scan from the source's dialog; close it to finish\n");
        for (;;) {
            if (WaitForSource(run, INFINITE) == Wait::kClose) return kExitOk;
            if (const int rc = TransferAll(run); rc != kExitOk) return rc;
        }
    }
    switch (WaitForSource(run, static_cast<DWORD>(opts.timeoutSeconds) * 1000)) {
    case Wait::kReady:
        return TransferAll(run);
    case Wait::kClose:
        printf("the source asked to be closed\n");
        return run.pages ? kExitOk : kExitTransfer;
    case Wait::kTimeout:
        break;
    }
    fprintf(stderr, "twacq: no page was ready within %d s\n", opts.timeoutSeconds);
    return kExitTimeout;
}

}  // namespace

bool MeasureDib(const BYTE *base, SIZE_T have, DibLayout &d, std::string &why) {
    // A DIB shorter than its header says is refused rather than read past its end.
    const auto *bi = reinterpret_cast<const BITMAPINFOHEADER *>(base);
    if (have < sizeof(BITMAPINFOHEADER) || bi->biSize < sizeof(BITMAPINFOHEADER) || bi->biSize > have)
        return why = "the page is not a DIB", false;
    const DWORD masks = bi->biCompression == BI_BITFIELDS && bi->biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    const DWORD colours = bi->biClrUsed ? bi->biClrUsed : bi->biBitCount <= 8 ? 1u << bi->biBitCount : 0;
    const LONG rows = bi->biHeight < 0 ? -bi->biHeight : bi->biHeight;
    const ULONGLONG rowBytes = (static_cast<ULONGLONG>(bi->biWidth) * bi->biBitCount + 31) / 32 * 4;
    const bool plain = bi->biCompression == BI_RGB || bi->biCompression == BI_BITFIELDS;
    const ULONGLONG pixels = plain ? rowBytes * rows : bi->biSizeImage;
    const ULONGLONG head = bi->biSize + masks + colours * 4ull;
    if (bi->biWidth <= 0 || colours > 256 || head + pixels > have || head + pixels > 0x7FFFFFF0u)
        return why = "the page's DIB is shorter than its header says", false;
    d = {bi->biWidth, rows, bi->biHeight > 0, bi->biBitCount, colours, static_cast<DWORD>(head),
         static_cast<DWORD>(rowBytes), static_cast<DWORD>(head + pixels), plain && bi->biCompression == BI_RGB};
    return true;
}

bool PrepareOutput(const Options &opts, std::string &folder) {
    std::string name = opts.outDir;
    if (name.empty()) {
        // A new folder each run, so that an earlier run's pages are never overwritten.
        for (int n = 1; n < 1000 && name.empty(); ++n) {
            const std::string candidate = n == 1 ? "scans" : "scans-" + std::to_string(n);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) name = candidate;
            else if (GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
        if (name.empty()) {
            fprintf(stderr, "twacq: cannot create a folder for the pages in the current folder\n");
            return false;
        }
    } else {
        // Every missing folder along the path, as mkdir -p does.
        for (size_t i = 0; i <= name.size(); ++i)
            if (i == name.size() || ((name[i] == '\\' || name[i] == '/') && i > 0 && name[i - 1] != ':'))
                CreateDirectoryA(name.substr(0, i).c_str(), nullptr);
    }
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fprintf(stderr, "twacq: cannot create the folder %s\n", name.c_str());
        return false;
    }
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
    folder = n && n < MAX_PATH ? full : name;
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    printf("pages go to %s\n", folder.c_str());
    return true;
}

int Acquire(Session &s, TW_IDENTITY &source, const Options &opts, const std::string &folder) {
    Run run{s, source, folder, opts, 0, 0, false, false, {}};
    // Read before the enable: memory pages build their colour tables from them.
    TW_UINT32 value = 0;
    run.palette = CurrentValue(s, source, ICAP_PIXELTYPE, value) && value == TWPT_PALETTE;
    run.vanilla = CurrentValue(s, source, ICAP_PIXELFLAVOR, value) && value == TWPF_VANILLA;
    const bool com = opts.format != PageFormat::kBmp && SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const LARGE_INTEGER t0 = Now();
    int result = AcquireEnabled(run, opts);
    if (run.tiff.Frames()) {
        const std::string path = folder + "\\pages.tif";
        std::string why;
        if (run.tiff.Commit(why)) {
            run.bytes = FileBytes(path);
            printf("wrote %s: %d pages, %llu bytes\n", path.c_str(), run.tiff.Frames(), run.bytes);
        } else {
            fprintf(stderr, "twacq: %s: %s\n", path.c_str(), why.c_str());
            run.pages = 0;
            if (result == kExitOk) result = kExitOutput;
        }
    }
    run.tiff.Discard();  // an encoder that got no page; nothing of COM may outlive CoUninitialize
    if (com) CoUninitialize();
    const double seconds = Seconds(t0, Now());
    printf("scanned: %d pages, %llu bytes, %.2f s, %.2f pages/s\n", run.pages, run.bytes, seconds,
           seconds > 0 ? run.pages / seconds : 0.0);
    return result;
}
