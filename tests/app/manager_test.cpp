// End to end through Wine's TWAIN manager: the source installed as the manager expects it, and
// the command-line application listing it, selecting it and scanning pages of the test's own
// through the kit's folder scanner into .bmp files that are compared pixel for pixel.
#include <wincodec.h>

#include <cstdio>
#include <functional>

#include "dstest.h"

namespace {

// Presses button on every dialog box of process pid (a person answering the source's questions).
void AnswerBoxesOf(DWORD pid, int button) {
    struct Ask {
        DWORD pid;
        int button;
    } ask{pid, button};
    EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            const Ask &a = *reinterpret_cast<const Ask *>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == a.pid && ClassOf(w) == "#32770" && IsWindowVisible(w))
                PostMessageA(w, WM_COMMAND, MAKEWPARAM(a.button, BN_CLICKED), 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ask));
}

// Runs a program of build/bin with its output in a file; returns the exit code (-1: no start).
// A program still running after 60 s is ended with 998. With answer set, its dialog boxes are
// answered with that button; with each set, it is called with the process id every 100 ms (a
// person working the program's windows).
int RunTool(const std::string &commandLine, std::string *output, int answer = 0,
            const std::function<void(DWORD)> &each = nullptr) {
    const std::string outPath = WindowsDir() + "\\manager_test.out";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    si.hStdInput = nullptr;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    BOOL started = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    if (!started) return -1;
    DWORD code = 999;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT && GetTickCount() - start < 60000)
        if (answer) AnswerBoxesOf(pi.dwProcessId, answer);
        else if (each) each(pi.dwProcessId);
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 998);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    *output = ReadFileText(outPath);
    DeleteFileA(outPath.c_str());
    return static_cast<int>(code);
}

TEST(Manager, ApplicationListsAndSelectsTheSource) {
    std::string out;
    ASSERT_EQ(RunTool("twacq.exe --list", &out), 0) << out;
    EXPECT_NE(out.find("\"JEX Virtual Scanner\" family \"JEX Scanners\" by \"Quilmet Systems, Inc.\" version 1.78 "
                       "(1.78) protocol 1.8 groups 0x3"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("selected: \"JEX Virtual Scanner\""), std::string::npos) << out;
    // Opened through the manager over the virtual scanner, asked, and closed; nothing scanned.
    EXPECT_NE(out.find("opened: Id="), std::string::npos) << out;
    EXPECT_NE(out.find("capabilities: 40: 0x8100 0x1007"), std::string::npos) << out;
    EXPECT_NE(out.find("closed: rc 0"), std::string::npos) << out;
    EXPECT_EQ(out.find("scanned:"), std::string::npos) << out;
}

TEST(Manager, UnknownSourceNameFails) {
    std::string out;
    EXPECT_EQ(RunTool("twacq.exe --source \"No Such Scanner\"", &out), 2) << out;
    EXPECT_NE(out.find("no source named"), std::string::npos) << out;
}

// ---- Pages of the test's own

struct Rgb {
    BYTE r, g, b;
    bool operator==(const Rgb &) const = default;
};
// Top row first.
struct Picture {
    LONG width = 0, height = 0;
    std::vector<Rgb> px;
    Rgb at(LONG x, LONG y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// 1.25 x 0.75 inches at 100 dpi: an odd width, so rows of both depths carry padding, and a size
// that inches in FIX32 give exactly.
constexpr LONG kWidth = 125, kHeight = 75, kDpi = 100;

Picture ColourPage() {
    Picture p{kWidth, kHeight, {}};
    for (LONG y = 0; y < kHeight; ++y)
        for (LONG x = 0; x < kWidth; ++x)
            p.px.push_back({static_cast<BYTE>(x * 2), static_cast<BYTE>(y * 3 + x), static_cast<BYTE>((x ^ y) * 5)});
    return p;
}

Picture GrayPage() {
    Picture p{kWidth, kHeight, {}};
    for (LONG y = 0; y < kHeight; ++y)
        for (LONG x = 0; x < kWidth; ++x) {
            const BYTE v = static_cast<BYTE>(255 - x - y * 2);
            p.px.push_back({v, v, v});
        }
    return p;
}

// Writes a bottom-up BI_RGB file: 24 bits, or 8 bits with a gray ramp (the picture's red).
bool WriteBmp(const std::string &path, const Picture &p, int bits) {
    const DWORD row = (p.width * bits / 8 + 3) & ~3u;
    const DWORD colours = bits == 8 ? 256 : 0;
    BITMAPINFOHEADER ih{sizeof ih, p.width, p.height, 1, static_cast<WORD>(bits), BI_RGB, row * p.height,
                        (kDpi * 10000 + 127) / 254, (kDpi * 10000 + 127) / 254, colours, 0};
    const DWORD off = sizeof(BITMAPFILEHEADER) + sizeof ih + colours * 4;
    BITMAPFILEHEADER fh{0x4D42, off + ih.biSizeImage, 0, 0, off};
    std::string data(reinterpret_cast<const char *>(&fh), sizeof fh);
    data.append(reinterpret_cast<const char *>(&ih), sizeof ih);
    for (DWORD i = 0; i < colours; ++i) data += {char(i), char(i), char(i), 0};
    for (LONG y = p.height - 1; y >= 0; --y) {
        std::string line(row, '\0');
        for (LONG x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            if (bits == 8) line[x] = static_cast<char>(c.r);
            else line.replace(x * 3, 3, {char(c.b), char(c.g), char(c.r)});
        }
        data += line;
    }
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

// Reads a BI_RGB file of 1, 4, 8 or 24 bits through its colour table, checking the file
// header against the info header (offset, size) as a viewer relies on them.
bool ReadBmp(const std::string &path, Picture &p, std::string &why) {
    const std::string d = ReadFileText(path);
    if (d.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return why = "no file or too short", false;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    memcpy(&fh, d.data(), sizeof fh);
    memcpy(&ih, d.data() + sizeof fh, sizeof ih);
    const int bits = ih.biBitCount;
    const DWORD colours = bits <= 8 ? (ih.biClrUsed ? ih.biClrUsed : 1u << bits) : 0;
    const DWORD row = (ih.biWidth * bits + 31) / 32 * 4;
    const LONG rows = ih.biHeight < 0 ? -ih.biHeight : ih.biHeight;
    if (fh.bfType != 0x4D42 || ih.biCompression != BI_RGB || (bits != 1 && bits != 4 && bits != 8 && bits != 24))
        return why = "not a BI_RGB bitmap of 1, 4, 8 or 24 bits", false;
    if (fh.bfOffBits != sizeof fh + ih.biSize + colours * 4)
        return why = "bfOffBits " + std::to_string(fh.bfOffBits), false;
    if (fh.bfSize != d.size() || d.size() < fh.bfOffBits + row * rows) return why = "bfSize or file size", false;
    const BYTE *table = reinterpret_cast<const BYTE *>(d.data()) + sizeof fh + ih.biSize;
    p = Picture{ih.biWidth, rows, {}};
    for (LONG y = 0; y < rows; ++y) {
        const LONG stored = ih.biHeight < 0 ? y : rows - 1 - y;
        const BYTE *line = reinterpret_cast<const BYTE *>(d.data()) + fh.bfOffBits + row * stored;
        for (LONG x = 0; x < ih.biWidth; ++x) {
            if (bits == 24) {
                p.px.push_back({line[x * 3 + 2], line[x * 3 + 1], line[x * 3]});
                continue;
            }
            const DWORD index = (line[x * bits / 8] >> (8 - bits - x * bits % 8)) & ((1u << bits) - 1);
            if (index >= colours) return why = "colour index " + std::to_string(index) + " past the table", false;
            p.px.push_back({table[index * 4 + 2], table[index * 4 + 1], table[index * 4]});
        }
    }
    return true;
}

// The kit's gray of a colour sample, at 8 bits.
Rgb Luminance(Rgb c) {
    const BYTE l = static_cast<BYTE>((299 * c.r + 587 * c.g + 114 * c.b) / 1000);
    return {l, l, l};
}
Rgb AsIs(Rgb c) { return c; }

// A folder of pages, a profile that feeds them and a folder for twacq's files, all removed at the end.
class OwnPages : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "twacq_test_" + std::to_string(GetCurrentProcessId());
        pages_ = root_ + "\\pages";
        empty_ = root_ + "\\empty";
        out_ = root_ + "\\out";
        CreateDirectoryA(root_.c_str(), nullptr);
        CreateDirectoryA(pages_.c_str(), nullptr);
        CreateDirectoryA(empty_.c_str(), nullptr);
        ASSERT_TRUE(WriteBmp(pages_ + "\\p1-colour.bmp", ColourPage(), 24));
        ASSERT_TRUE(WriteBmp(pages_ + "\\p2-gray.bmp", GrayPage(), 8));
        SetEnvironmentVariableA("JEXKIT_SETTINGS", (root_ + "\\settings.ini").c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("JEXKIT_PROFILE", nullptr);
        SetEnvironmentVariableA("JEXKIT_SETTINGS", nullptr);
        for (const std::string &dir : {pages_, empty_, out_}) {
            WIN32_FIND_DATAA fd;
            HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
            for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &fd))
                DeleteFileA((dir + "\\" + fd.cFileName).c_str());
            if (h != INVALID_HANDLE_VALUE) FindClose(h);
            RemoveDirectoryA(dir.c_str());
        }
        DeleteFileA((root_ + "\\profile.ini").c_str());
        DeleteFileA((root_ + "\\settings.ini").c_str());
        for (const char *name : {"\\saved.txt", "\\mine.bmp", "\\theirs.bmp"}) DeleteFileA((root_ + name).c_str());
        RemoveDirectoryA(root_.c_str());
    }
    // A feeder (and flatbed) scanner at 100 and 200 dpi whose pages are the files of folder.
    void UseProfile(const std::string &folder) {
        const std::string path = root_ + "\\profile.ini";
        FILE *f = fopen(path.c_str(), "w");
        ASSERT_TRUE(f);
        fprintf(f, "[Scanner]\nName=Test Folder Scanner\nFlatbed=yes\nFeeder=yes\nDuplex=no\nStackSensor=yes\n"
                   "WidthStep=1\nResolutions=100,200\nDefaultResolution=200\nGrayDepths=4,8\n\n[Paper]\nFolder=%s\n",
                folder.c_str());
        fclose(f);
        SetEnvironmentVariableA("JEXKIT_PROFILE", path.c_str());
    }
    int Twacq(const std::string &args, std::string *out, int answer = 0,
              const std::function<void(DWORD)> &each = nullptr) {
        return RunTool("twacq.exe --out \"" + out_ + "\" --timeout 20 " + args, out, answer, each);
    }
    std::string root_, pages_, empty_, out_;
};

struct ScanRow {
    int line;
    const char *args;
    int pages;             // written: page0001.bmp ... and no more
    int bits;              // of every page written
    Rgb (*expect)(Rgb);    // a fed pixel as it should come back
};

// The pages come back at their own resolution over the whole frame: pixel for pixel the files fed
// (the gray page through its ramp), in the type asked for.
TEST_F(OwnPages, ScannedPagesAreThePagesFed) {
    UseProfile(pages_);
    const Picture fed[] = {ColourPage(), GrayPage()};
    const std::string frame = " --feeder --resolution 100 --frame 0,0,1.25,0.75 --indicators off ";
    static const ScanRow rows[] = {
        // line      args                                      pages bits expect
        {__LINE__, "--pixeltype rgb --bitdepth 24",              2,   24,  AsIs},
        {__LINE__, "--pixeltype gray --bitdepth 8",              2,   8,   Luminance},
        {__LINE__, "--pixeltype rgb --bitdepth 24 --count 1",    1,   24,  AsIs},
    };
    for (const ScanRow &row : rows) {
        SCOPED_TRACE(testing::Message() << "row of line " << row.line << ": " << row.args);
        std::string out;
        ASSERT_EQ(Twacq(frame + row.args, &out), 0) << out;
        EXPECT_NE(out.find("pages go to " + out_), std::string::npos) << out;
        EXPECT_NE(out.find("scanned: " + std::to_string(row.pages) + " pages"), std::string::npos) << out;
        for (int n = 0; n < 3; ++n) {
            char name[32];
            snprintf(name, sizeof name, "\\page%04d.bmp", n + 1);
            const std::string path = out_ + name;
            if (n >= row.pages) {
                EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << name;
                continue;
            }
            Picture got;
            std::string why;
            ASSERT_TRUE(ReadBmp(path, got, why)) << name << ": " << why << "\n" << out;
            ASSERT_EQ(got.width, kWidth) << name;
            ASSERT_EQ(got.height, kHeight) << name;
            int wrong = 0;
            for (LONG y = 0; y < kHeight; ++y)
                for (LONG x = 0; x < kWidth; ++x) {
                    const Rgb want = row.expect(fed[n].at(x, y)), have = got.at(x, y);
                    if (!(want == have) && ++wrong <= 3)
                        ADD_FAILURE() << name << " (" << x << "," << y << "): " << int(have.r) << "," << int(have.g)
                                      << "," << int(have.b) << " for " << int(want.r) << "," << int(want.g) << ","
                                      << int(want.b);
                }
            EXPECT_EQ(wrong, 0) << name;
            const std::string bitsText = ", " + std::to_string(row.bits) + " bits,";
            EXPECT_NE(out.find("page " + std::to_string(n + 1) + ": 125 x 75" + bitsText), std::string::npos) << out;
            DeleteFileA(path.c_str());
        }
    }
}

struct FailRow {
    int line;
    const char *args;
    bool noPaper;      // the profile's folder is empty
    int answer;        // the button pressed on the source's boxes (0: nobody answers)
    int exitCode;
    const char *says;  // in the output
};

// Mistakes on the command line stop before the manager; settings the scanner cannot do stop at
// negotiation naming the capability; a feeder without paper stops at the enable, or, when the
// source waits for someone to load paper, at the time-out. Never a page.
TEST_F(OwnPages, RefusalsEndWithTheirExitCode) {
    static const FailRow rows[] = {
        // line      args                                 empty  answer   exit says
        {__LINE__, "--pixeltype cmyk",                    false, 0,        9, "--pixeltype cmyk: bw, gray, palette or rgb"},
        {__LINE__, "--frame 1,0,0.5,1",                   false, 0,        9, "left < right"},
        {__LINE__, "--feeder --flatbed",                  false, 0,        9, "one of --feeder and --flatbed"},
        {__LINE__, "--count",                             false, 0,        9, "needs a value"},
        {__LINE__, "--scan-faster",                       false, 0,        9, "unknown option"},
        {__LINE__, "--mech tape",                         false, 0,        9, "--mech tape: native, memory or file"},
        {__LINE__, "--format jpeg",                       false, 0,        9, "--format jpeg: bmp, png or tiff"},
        {__LINE__, "--load-settings C:\\no\\such.txt",    false, 0,        9, "cannot open the file"},
        {__LINE__, "--resolution 150",                    false, 0,        4, "refused ICAP_XRESOLUTION (0x1118) = 150"},
        {__LINE__, "--pixeltype gray --bitdepth 2",       false, 0,        4, "refused ICAP_BITDEPTH (0x112b) = 2"},
        {__LINE__, "--resolution 100 --frame 0,0,30,30",  false, 0,        4, "(DAT_IMAGELAYOUT): rc 1, condition code 10"},
        // The source asks for paper in a box: Cancel fails the enable; unanswered, the watchdog ends it.
        {__LINE__, "--feeder",                            true,  IDCANCEL, 5, "(MSG_ENABLEDS): rc 1"},
        {__LINE__, "--feeder --timeout 2",                true,  0,        6, "has not answered for 2 s"},
    };
    for (const FailRow &row : rows) {
        SCOPED_TRACE(testing::Message() << "row of line " << row.line << ": " << row.args);
        UseProfile(row.noPaper ? empty_ : pages_);
        std::string out;
        EXPECT_EQ(Twacq(row.args, &out, row.answer), row.exitCode) << out;
        EXPECT_NE(out.find(row.says), std::string::npos) << out;
        if (row.exitCode == 4 || row.exitCode == 5) {
            EXPECT_NE(out.find("closed: rc 0"), std::string::npos) << out;
        }
        EXPECT_EQ(GetFileAttributesA((out_ + "\\page0001.bmp").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

// The page files of out_ named page0001.bmp ... as long as they follow on, read and removed.
std::vector<std::string> TakePages(const std::string &folder, const char *extension) {
    std::vector<std::string> files;
    for (int n = 1;; ++n) {
        char name[32];
        snprintf(name, sizeof name, "\\page%04d.%s", n, extension);
        const std::string path = folder + name;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return files;
        files.push_back(ReadFileText(path));
        DeleteFileA(path.c_str());
    }
}

std::string PixelBytes(const std::string &bmp) {
    BITMAPFILEHEADER fh{};
    if (bmp.size() < sizeof fh) return {};
    memcpy(&fh, bmp.data(), sizeof fh);
    return fh.bfOffBits < bmp.size() ? bmp.substr(fh.bfOffBits) : std::string{};
}

// Until the source carries out a mechanism, twacq says which triplet it refused and stops.
bool SourceLacks(int code, const std::string &out, const char *triplet) {
    return code == 7 && out.find(std::string("(") + triplet + "): rc 1, condition code 9 TWCC_BADPROTOCOL") !=
                            std::string::npos;
}

struct MechRow {
    int line;
    const char *args;
};

// Native, memory and file transfer of the same pages give the same files: the pixels byte for
// byte and the colours each pixel shows.
TEST_F(OwnPages, EveryMechanismWritesTheSamePages) {
    UseProfile(pages_);
    const std::string frame = " --feeder --resolution 100 --frame 0,0,1.25,0.75 --indicators off ";
    static const MechRow rows[] = {
        {__LINE__, "--pixeltype rgb --bitdepth 24"},
        {__LINE__, "--pixeltype gray --bitdepth 8"},
        {__LINE__, "--pixeltype gray --bitdepth 4"},
    };
    const struct {
        const char *mech, *triplet;
    } mechs[] = {{"native", ""}, {"memory", "DAT_SETUPMEMXFER"}, {"file", "DAT_SETUPFILEXFER"}};
    std::string lacking;
    for (const MechRow &row : rows) {
        std::vector<std::string> native;
        for (const auto &m : mechs) {
            SCOPED_TRACE(testing::Message() << "row of line " << row.line << ": " << row.args << " --mech " << m.mech);
            std::string out;
            const int code = Twacq(frame + row.args + " --mech " + m.mech, &out);
            if (*m.triplet && SourceLacks(code, out, m.triplet)) {
                lacking += std::string(" ") + m.mech;
                EXPECT_EQ(TakePages(out_, "bmp").size(), 0u);
                continue;
            }
            ASSERT_EQ(code, 0) << out;
            EXPECT_NE(out.find("scanned: 2 pages"), std::string::npos) << out;
            const std::vector<std::string> files = TakePages(out_, "bmp");
            ASSERT_EQ(files.size(), 2u) << out;
            if (native.empty()) {
                native = files;
                continue;
            }
            for (size_t i = 0; i < files.size(); ++i) {
                SCOPED_TRACE(testing::Message() << "page " << i + 1);
                EXPECT_EQ(files[i].size(), native[i].size());
                EXPECT_TRUE(PixelBytes(files[i]) == PixelBytes(native[i]));
                const std::string mine = root_ + "\\mine.bmp", theirs = root_ + "\\theirs.bmp";
                FILE *f = fopen(mine.c_str(), "wb");
                ASSERT_TRUE(f);
                fwrite(files[i].data(), 1, files[i].size(), f);
                fclose(f);
                f = fopen(theirs.c_str(), "wb");
                ASSERT_TRUE(f);
                fwrite(native[i].data(), 1, native[i].size(), f);
                fclose(f);
                Picture a, b;
                std::string why;
                EXPECT_TRUE(ReadBmp(mine, a, why)) << why;
                EXPECT_TRUE(ReadBmp(theirs, b, why)) << why;
                DeleteFileA(mine.c_str());
                DeleteFileA(theirs.c_str());
                EXPECT_TRUE(a.px == b.px && a.width == b.width) << "the colours differ";
            }
        }
    }
    if (!lacking.empty()) GTEST_SKIP() << "the source refuses transfer by" << lacking << " (TWCC_BADPROTOCOL)";
}

// Every frame of an image file decoded through the imaging component as 32-bit BGRA (the target
// Wine's converter reaches from every format), with the
// horizontal resolution of the first.
bool DecodeImage(const std::string &path, std::vector<Picture> &frames, double &dpi, std::string &why) {
    frames.clear();
    IWICImagingFactory *factory = nullptr;
    IWICBitmapDecoder *decoder = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void **>(&factory));
    std::wstring wide(path.begin(), path.end());
    if (SUCCEEDED(hr))
        hr = factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder);
    if (FAILED(hr)) why = "the decoder";
    UINT count = 0;
    if (SUCCEEDED(hr)) hr = decoder->GetFrameCount(&count);
    for (UINT i = 0; SUCCEEDED(hr) && i < count; ++i) {
        IWICBitmapFrameDecode *frame = nullptr;
        IWICBitmapSource *bgr = nullptr;
        hr = decoder->GetFrame(i, &frame);
        if (FAILED(hr)) why = "the frame";
        if (SUCCEEDED(hr) && i == 0) {
            double dpiY = 0;
            hr = frame->GetResolution(&dpi, &dpiY);
            if (FAILED(hr)) why = "the resolution";
        }
        const char *step = "the conversion to 32-bit BGRA";
        if (SUCCEEDED(hr)) {
            hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &bgr);
            if (FAILED(hr)) why = step;
        }
        UINT w = 0, h = 0;
        if (SUCCEEDED(hr)) hr = bgr->GetSize(&w, &h);
        const UINT stride = w * 4;
        std::vector<BYTE> data(static_cast<size_t>(stride) * h);
        if (SUCCEEDED(hr)) hr = bgr->CopyPixels(nullptr, stride, static_cast<UINT>(data.size()), data.data());
        if (FAILED(hr) && why.empty()) why = "the pixels";
        if (SUCCEEDED(hr)) {
            Picture p{static_cast<LONG>(w), static_cast<LONG>(h), {}};
            for (UINT y = 0; y < h; ++y)
                for (UINT x = 0; x < w; ++x) {
                    const BYTE *q = &data[y * stride + x * 4];
                    p.px.push_back({q[2], q[1], q[0]});
                }
            frames.push_back(p);
        }
        if (bgr) bgr->Release();
        if (frame) frame->Release();
    }
    if (decoder) decoder->Release();
    if (factory) factory->Release();
    char code[16];
    snprintf(code, sizeof code, "%#lx", static_cast<unsigned long>(hr));
    if (FAILED(hr)) why = "decoding failed" + (why.empty() ? "" : " at " + why) + " with HRESULT " + code;
    return SUCCEEDED(hr);
}

// The PNG pages and the frames of the run's TIFF show the pixels of the .bmp pages of the same
// scan, at the scan's resolution, and no .bmp is left beside them.
TEST_F(OwnPages, PngAndTiffPagesAreTheBmpPages) {
    UseProfile(pages_);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::string frame = " --feeder --resolution 100 --frame 0,0,1.25,0.75 --indicators off ";
    static const MechRow rows[] = {
        {__LINE__, "--pixeltype rgb --bitdepth 24"},
        {__LINE__, "--pixeltype gray --bitdepth 8"},
        {__LINE__, "--pixeltype gray --bitdepth 4"},
    };
    for (const MechRow &row : rows) {
        SCOPED_TRACE(testing::Message() << "row of line " << row.line << ": " << row.args);
        std::string out;
        ASSERT_EQ(Twacq(frame + row.args, &out), 0) << out;
        std::vector<Picture> bmp;
        for (int n = 1; n <= 2; ++n) {
            char name[32];
            snprintf(name, sizeof name, "\\page%04d.bmp", n);
            Picture p;
            std::string why;
            ASSERT_TRUE(ReadBmp(out_ + name, p, why)) << why;
            bmp.push_back(p);
        }
        TakePages(out_, "bmp");

        ASSERT_EQ(Twacq(frame + row.args + " --format png", &out), 0) << out;
        EXPECT_EQ(out.find("as 24-bit colour"), std::string::npos) << "the encoder refused the page's format\n" << out;
        for (int n = 1; n <= 2; ++n) {
            char name[32];
            snprintf(name, sizeof name, "\\page%04d.png", n);
            std::vector<Picture> got;
            double dpi = 0;
            std::string why;
            ASSERT_TRUE(DecodeImage(out_ + name, got, dpi, why)) << name << ": " << why;
            ASSERT_EQ(got.size(), 1u);
            EXPECT_NEAR(dpi, 100.0, 0.5) << name;
            EXPECT_TRUE(got[0].px == bmp[n - 1].px && got[0].width == kWidth) << name;
            DeleteFileA((out_ + name).c_str());
        }
        EXPECT_EQ(TakePages(out_, "bmp").size(), 0u);

        ASSERT_EQ(Twacq(frame + row.args + " --format tiff", &out), 0) << out;
        EXPECT_NE(out.find("pages.tif: 2 pages"), std::string::npos) << out;
        EXPECT_NE(out.find("page 2: 125 x 75"), std::string::npos) << out;
        std::vector<Picture> got;
        double dpi = 0;
        std::string why;
        const std::string tif = out_ + "\\pages.tif";
        ASSERT_TRUE(DecodeImage(tif, got, dpi, why)) << why;
        DeleteFileA(tif.c_str());
        ASSERT_EQ(got.size(), 2u);
        EXPECT_NEAR(dpi, 100.0, 0.5);
        for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].px == bmp[i].px) << "frame " << i + 1;
    }
    CoUninitialize();
}

// Settings saved after negotiation come back through --load-settings before it.
TEST_F(OwnPages, SavedSettingsLoadBack) {
    UseProfile(pages_);
    const std::string file = root_ + "\\saved.txt";
    std::string out;
    const int code = Twacq("--list --save-settings \"" + file + "\"", &out);
    if (code == 4 && out.find("(DAT_CUSTOMDSDATA MSG_GET): rc 1, condition code 9") != std::string::npos) {
        EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
        GTEST_SKIP() << "the source does not give its settings (TWCC_BADPROTOCOL)";
    }
    ASSERT_EQ(code, 0) << out;
    const std::string saved = ReadFileText(file);
    EXPECT_EQ(saved.rfind("Version=1.78:", 0), 0u) << saved;
    EXPECT_EQ(Twacq("--list --load-settings \"" + file + "\"", &out), 0) << out;
    EXPECT_NE(out.find("settings: loaded"), std::string::npos) << out;
    DeleteFileA(file.c_str());
}

}  // namespace

// The source's own dialog in another program: the one of process pid with the Scan button.
HWND SettingsDialogOf(DWORD pid) {
    struct Find {
        DWORD pid;
        HWND found;
    } find{pid, nullptr};
    EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            auto &f = *reinterpret_cast<Find *>(lp);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == f.pid && IsWindowVisible(w) && GetDlgItem(w, 1019) && GetDlgItem(w, 1006)) f.found = w;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// A person presses Scan in the source's dialog, the pages arrive through the manager, and
// closing the dialog ends the program.
TEST_F(OwnPages, ScanFromTheSourcesDialog) {
    UseProfile(pages_);
    int step = 0;
    std::string out;
    const int code = Twacq("--ui --resolution 100", &out, 0, [&](DWORD pid) {
        HWND dialog = SettingsDialogOf(pid);
        if (!dialog) return;
        if (step == 0) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1019, BN_CLICKED), 0);
            step = 1;
        } else if (step == 1 && GetFileAttributesA((out_ + "\\page0002.bmp").c_str()) != INVALID_FILE_ATTRIBUTES) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(1018, BN_CLICKED), 0);
            step = 2;
        }
    });
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(step, 2) << out;
    EXPECT_EQ(TakePages(out_, "bmp").size(), 2u) << out;
}
