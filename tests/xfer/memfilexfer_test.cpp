// Memory and file transfers against the pages fed and against the native DIB of the same page:
// strips of whole rows in every buffer shape an application uses, the proposed buffer sizes, and
// bitmap files byte for byte, with the bad buffers and bad names applications send.
#include "xfertest.h"

namespace {

RGBQUAD Level(int x, int y) {
    const BYTE v = static_cast<BYTE>((x * 37 + y * 11) & 0xFF);
    return RGBQUAD{v, v, v, 0};
}
RGBQUAD Colour(int x, int y) {
    return RGBQUAD{static_cast<BYTE>(x * 5), static_cast<BYTE>(y * 3), static_cast<BYTE>(x + y), 0};
}

// A scanner over one page of the test's own, set to the given mode with the frame the page's size.
struct PageScanner : Scanner {
    PageScanner(const Page &page, TW_UINT16 type, TW_UINT16 depth, const std::string &extra = "")
        : Scanner(Feed(page, extra)) {
        EXPECT_TRUE(Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
        EXPECT_TRUE(Set(ICAP_PIXELTYPE, TWTY_UINT16, type).ok());
        EXPECT_TRUE(Set(ICAP_BITDEPTH, TWTY_UINT16, depth).ok());
        FramePixels(page.width, page.height);
    }
    static std::string Feed(const Page &page, const std::string &extra) {
        const std::string dir = TestDir() + "\\pages";
        CreateDirectoryA(dir.c_str(), nullptr);
        WriteBmp(dir + "\\p1.bmp", page, 100);
        return FolderProfile(dir, extra);
    }
    TW_UINT16 Mem(TW_IMAGEMEMXFER *m) {
        rc = kit.src().Call(&app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, m);
        cc = kit.src().Status(&app);
        return rc;
    }
    TW_SETUPMEMXFER SetupMem() {
        TW_SETUPMEMXFER s{};
        rc = kit.src().Call(&app, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &s);
        return s;
    }
    TW_UINT16 SetupFile(TW_UINT16 msg, TW_SETUPFILEXFER *f) {
        rc = kit.src().Call(&app, DG_CONTROL, DAT_SETUPFILEXFER, msg, f);
        cc = kit.src().Status(&app);
        return rc;
    }
};

TW_IMAGEMEMXFER Pointer(void *p, TW_UINT32 length) {
    TW_IMAGEMEMXFER m{};
    m.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    m.Memory.Length = length;
    m.Memory.TheMem = p;
    return m;
}

// The whole page by memory transfer through buffers of the given size: rows top first.
std::vector<BYTE> MemoryPage(PageScanner &s, TW_UINT32 bufferBytes, std::vector<TW_UINT32> *rowsPerCall = nullptr,
                             TW_UINT32 *bytesPerRow = nullptr) {
    std::vector<BYTE> page, buffer(bufferBytes);
    for (int call = 0; call < 10000; ++call) {
        TW_IMAGEMEMXFER m = Pointer(buffer.data(), bufferBytes);
        const TW_UINT16 rc = s.Mem(&m);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) {
            ADD_FAILURE() << "rc " << rc << " cc " << s.cc;
            break;
        }
        EXPECT_EQ(m.YOffset * m.BytesPerRow, page.size());
        if (rowsPerCall) rowsPerCall->push_back(m.Rows);
        if (bytesPerRow) *bytesPerRow = m.BytesPerRow;
        page.insert(page.end(), buffer.begin(), buffer.begin() + m.BytesWritten);
        for (TW_UINT32 i = m.BytesWritten; i < bufferBytes; ++i)
            if (buffer[i] != 0) {
                ADD_FAILURE() << "byte " << i << " past what was written";
                break;
            }
        if (rc == TWRC_XFERDONE) break;
    }
    return page;
}

}  // namespace

// Rows top first in red-green-blue order, one-sample rows padded with zeros to 4 bytes; the
// same page whatever the buffer (a few rows, more than 32 KB, a handle) and a 64 KB boundary.
TEST(MemoryXfer, StripsAreThePageFed) {
    struct Row {
        const char *name;
        TW_UINT16 type, depth;
        RGBQUAD (*colour)(int, int);
    };
    const Row rows[] = {{"rgb", TWPT_RGB, 24, Colour}, {"gray", TWPT_GRAY, 8, Level}};
    for (const Row &r : rows) {
        const Page page = MakePage(33, 41, r.colour);
        for (TW_UINT32 buffer : {7u * 100, 1u << 20}) {
            PageScanner s(page, r.type, r.depth);
            ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
            TW_UINT32 bpr = 0;
            const std::vector<BYTE> got = MemoryPage(s, buffer, nullptr, &bpr);
            EXPECT_EQ(bpr, r.type == TWPT_RGB ? 99u : 36u) << r.name;
            ASSERT_EQ(got.size(), bpr * 41) << r.name;
            int wrong = 0;
            for (int y = 0; y < 41; ++y)
                for (int x = 0; x < 33; ++x) {
                    const RGBQUAD c = page.at(x, y);
                    const BYTE *p = &got[y * bpr + x * (r.type == TWPT_RGB ? 3 : 1)];
                    if (r.type == TWPT_RGB ? (p[0] != c.rgbRed || p[1] != c.rgbGreen || p[2] != c.rgbBlue) : p[0] != c.rgbRed)
                        ++wrong;
                }
            EXPECT_EQ(wrong, 0) << r.name << " buffer " << buffer;
            if (r.type == TWPT_GRAY) {
                for (int y = 0; y < 41; ++y) EXPECT_EQ(got[y * bpr + 33] | got[y * bpr + 34] | got[y * bpr + 35], 0);
            }
            EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
            EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
            EXPECT_EQ(s.kit.LiveImageObjects(), 0);
        }
    }
    // Handle buffers and a pointer buffer across a 64 KB boundary deliver the same bytes.
    const Page page = MakePage(33, 41, Level);
    std::vector<BYTE> plain;
    {
        PageScanner s(page, TWPT_GRAY, 8);
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        plain = MemoryPage(s, 1 << 16);
    }
    PageScanner s(page, TWPT_GRAY, 8);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    HGLOBAL h = GlobalAlloc(GHND, 360);
    TW_IMAGEMEMXFER m{};
    m.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_HANDLE, 360, h};
    ASSERT_EQ(s.Mem(&m), TWRC_SUCCESS);
    EXPECT_EQ(m.Rows, 10u);
    EXPECT_EQ(memcmp(GlobalLock(h), plain.data(), 360), 0);
    GlobalUnlock(h);
    // A Length beyond the handle's block is refused, not believed.
    m.Memory.Length = 100000;
    EXPECT_EQ(s.Mem(&m), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_OPERATIONERROR);
    GlobalFree(h);
    BYTE *region = static_cast<BYTE *>(VirtualAlloc(nullptr, 1 << 17, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    BYTE *across = region + (1 << 16) - 100;
    memset(across, 0xEE, 400);
    m = Pointer(across, 400);  // 11 rows of 36: 396 bytes written, the last 4 left alone
    ASSERT_EQ(s.Mem(&m), TWRC_SUCCESS);
    EXPECT_EQ(m.YOffset, 10u);
    EXPECT_EQ(memcmp(across, plain.data() + 360, 396), 0);
    EXPECT_EQ(across[396], 0xEE);
    VirtualFree(region, 0, MEM_RELEASE);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

TEST(MemoryXfer, RowsPerCallAndBuffersSmallerThanARow) {
    const Page page = MakePage(40, 1000, Level);
    PageScanner s(page, TWPT_GRAY, 8);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    std::vector<BYTE> tiny(39);
    TW_IMAGEMEMXFER m = Pointer(tiny.data(), 39);
    EXPECT_EQ(s.Mem(&m), TWRC_SUCCESS);
    EXPECT_EQ(m.Rows, 0u);
    EXPECT_EQ(m.BytesWritten, 0u);
    std::vector<TW_UINT32> rows;
    MemoryPage(s, 300 * 40, &rows);
    EXPECT_EQ(rows, (std::vector<TW_UINT32>{300, 300, 300, 100}));
    // Once the page is done there is nothing more to deliver, and nothing is scanned.
    m = Pointer(tiny.data(), 39);
    EXPECT_EQ(s.Mem(&m), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_OPERATIONERROR);
    EXPECT_EQ(s.Scans(), 1);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

TEST(MemoryXfer, ProposedSizesAndBadBuffers) {
    struct Row {
        int width;
        TW_UINT16 type, depth;
        TW_UINT32 preferred;
    };
    // 13 bytes a row: 16380; 3000: 15000; a row wider than 16384 bytes: one row; 5 pixels of 1 bit;
    // a gray row of 10001 bytes is delivered padded to 10004, and one such row must fit.
    for (const Row &r : {Row{100, TWPT_BW, 1, 16380}, Row{1000, TWPT_RGB, 24, 15000}, Row{6000, TWPT_RGB, 24, 18000},
                         Row{5, TWPT_BW, 1, 16384}, Row{10001, TWPT_GRAY, 8, 10004}}) {
        PageScanner s(MakePage(r.width, 3, Colour), r.type, r.depth);
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        const TW_SETUPMEMXFER setup = s.SetupMem();
        EXPECT_EQ(setup.Preferred, r.preferred) << r.width;
        EXPECT_EQ(setup.MinBufSize, r.preferred);
        EXPECT_EQ(setup.MaxBufSize, 2 * r.preferred);
        EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    }
    PageScanner s(MakePage(40, 20, Level), TWPT_GRAY, 8);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    std::vector<BYTE> buffer(400);
    for (TW_UINT32 flags : {0u, TWMF_POINTER | TWMF_HANDLE}) {
        for (TW_UINT32 length : {400u, 10u}) {  // also a buffer too small for a row
            TW_IMAGEMEMXFER m = Pointer(buffer.data(), length);
            m.Memory.Flags = flags;
            EXPECT_EQ(s.Mem(&m), TWRC_FAILURE) << flags;
            EXPECT_EQ(s.cc, TWCC_OPERATIONERROR);
            EXPECT_EQ(m.Rows, 0u) << "nothing claimed for a buffer refused";
        }
    }
    TW_IMAGEMEMXFER m = Pointer(nullptr, 400);
    EXPECT_EQ(s.Mem(&m), TWRC_FAILURE);
    m = Pointer(reinterpret_cast<void *>(0x10), 400);
    EXPECT_EQ(s.Mem(&m), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, nullptr), TWRC_FAILURE);
    // Nothing was lost: the page comes whole.
    EXPECT_EQ(MemoryPage(s, 400).size(), 40u * 20);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

TEST(MemoryXfer, AFailedScanZeroesTheStrip) {
    PageScanner s(MakePage(40, 20, Level), TWPT_GRAY, 8, "[Faults]\njam=page 1, PaperJam\n");
    EXPECT_TRUE(s.Set(CCAP_QUIETERRORS, TWTY_BOOL, TRUE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    std::vector<BYTE> buffer(400);
    TW_IMAGEMEMXFER m = Pointer(buffer.data(), 400);
    m.Rows = m.Columns = 7;
    EXPECT_EQ(s.Mem(&m), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_DRIVERERROR);
    EXPECT_EQ(m.Rows | m.Columns | m.BytesWritten | m.Memory.Length, 0u);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
}

namespace {

std::string FileBytes(const std::string &path) { return ReadFileText(path); }

}  // namespace

// The file is the native DIB behind a 14-byte header, byte for byte.
TEST(FileXfer, TheFileIsTheNativeDib) {
    const Page page = MakePage(1001, 10, Level);
    std::string native;
    {
        PageScanner s(page, TWPT_GRAY, 8);
        ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
        TW_UINT32 handle = 0;
        ASSERT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
        HGLOBAL h = reinterpret_cast<HGLOBAL>(handle);
        native.assign(static_cast<const char *>(GlobalLock(h)), GlobalSize(h));
        GlobalUnlock(h);
        GlobalFree(h);
        s.Disable();
    }
    PageScanner s(page, TWPT_GRAY, 8);
    TW_SETUPFILEXFER f{};
    ASSERT_EQ(s.SetupFile(MSG_GET, &f), TWRC_SUCCESS);
    EXPECT_NE(std::string(f.FileName).rfind("\\TWAIN001.TMP"), std::string::npos) << f.FileName;
    EXPECT_EQ(f.Format, TWFF_BMP);
    ASSERT_EQ(s.SetupFile(MSG_GETDEFAULT, &f), TWRC_SUCCESS);
    EXPECT_NE(std::string(f.FileName).rfind("\\twain.tmp"), std::string::npos) << f.FileName;
    const std::string path = TestDir() + "\\page.bmp";
    lstrcpyA(f.FileName, path.c_str());
    f.Format = TWFF_TIFF;
    EXPECT_EQ(s.SetupFile(MSG_SET, &f), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    f.Format = TWFF_BMP;
    ASSERT_EQ(s.SetupFile(MSG_SET, &f), TWRC_SUCCESS);
    EXPECT_TRUE(s.Set(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_EQ(s.SetupFile(MSG_RESET, &f), TWRC_FAILURE) << "not while a run is under way";
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
    const std::string file = FileBytes(path);
    ASSERT_EQ(file.size(), 11118u);
    const auto *fh = reinterpret_cast<const BITMAPFILEHEADER *>(file.data());
    EXPECT_EQ(fh->bfType, 0x4D42);
    EXPECT_EQ(fh->bfSize, 11118u);
    EXPECT_EQ(fh->bfOffBits, 1078u);
    EXPECT_EQ(file.substr(14), native);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    DeleteFileA(path.c_str());
}

// Names too long for the field are cut, a missing folder fails the transfer without a file, and
// a reset of the run deletes the target.
TEST(FileXfer, BadNamesAndTheResetOfARun) {
    PageScanner s(MakePage(40, 20, Level), TWPT_GRAY, 8, "StackSensor=yes\n");
    TW_SETUPFILEXFER f{};
    memset(f.FileName, 'a', sizeof f.FileName);  // no terminator anywhere
    f.Format = TWFF_BMP;
    ASSERT_EQ(s.SetupFile(MSG_SET, &f), TWRC_SUCCESS);
    TW_SETUPFILEXFER back{};
    ASSERT_EQ(s.SetupFile(MSG_GET, &back), TWRC_SUCCESS);
    EXPECT_EQ(std::string(back.FileName), std::string(255, 'a'));
    const std::string missing = TestDir() + "\\no such folder\\page.bmp";
    lstrcpyA(f.FileName, missing.c_str());
    ASSERT_EQ(s.SetupFile(MSG_SET, &f), TWRC_SUCCESS);
    EXPECT_TRUE(s.Set(ICAP_XFERMECH, TWTY_UINT16, TWSX_FILE).ok());
    EXPECT_TRUE(s.Set(CAP_FEEDERENABLED, TWTY_BOOL, FALSE).ok());  // the flatbed keeps its page
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_EQ(s.kit.src().Call(&s.app, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(s.kit.src().Status(&s.app), TWCC_OPERATIONERROR);
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(s.kit.LiveImageObjects(), 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    // The run's reset deletes the target, written or not.
    const std::string path = TestDir() + "\\target.bmp";
    WriteText(path, "old");
    lstrcpyA(f.FileName, path.c_str());
    ASSERT_EQ(s.SetupFile(MSG_SET, &f), TWRC_SUCCESS);
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    s.Pending(MSG_RESET);
    EXPECT_EQ(s.rc, TWRC_SUCCESS);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}
