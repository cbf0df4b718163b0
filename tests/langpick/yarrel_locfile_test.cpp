// Yarrel's localisation file reader: the languages found in UTF-16 texts of every shape a file
// on disk may have (mark or not, CR or CR LF, lines around the numbered run, odd sizes, over-long
// lines, huge files), fed at once, byte by byte and from files.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "locfile.h"
#include "win_helpers.h"

namespace {

using Languages = std::vector<std::pair<long, std::wstring>>;

// UTF-16 LE bytes of text, written out unit by unit.
std::string Utf16(const std::wstring &text, bool mark = false) {
    std::string bytes;
    if (mark) bytes += "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

void Collect(void *context, long number, const wchar_t *name) {
    static_cast<Languages *>(context)->emplace_back(number, name);
}

Languages ReadAtOnce(const std::string &bytes) {
    Languages found;
    LocReader reader;
    LocReaderInit(&reader, Collect, &found);
    LocReaderFeed(&reader, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    LocReaderFinish(&reader);
    return found;
}

// The same bytes one at a time: every unit is split across two pieces.
Languages ReadByteByByte(const std::string &bytes) {
    Languages found;
    LocReader reader;
    LocReaderInit(&reader, Collect, &found);
    for (char b : bytes) {
        const unsigned char byte = static_cast<unsigned char>(b);
        if (!LocReaderFeed(&reader, &byte, 1)) break;
    }
    LocReaderFinish(&reader);
    return found;
}

std::wstring TempPath(const wchar_t *name) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + name;
}

void WriteBytes(const std::wstring &path, const std::string &bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

// Removes the file when the test ends, whatever happens.
struct TempFile {
    std::wstring path;
    explicit TempFile(const wchar_t *name) : path(TempPath(name)) {}
    ~TempFile() { DeleteFileW(path.c_str()); }
};

struct Case {
    const char *what;
    std::string bytes;
    Languages expected;
};

const std::wstring kLong300(300, L'x');

TEST(YarrelLocReader, FindsTheFirstRunOfNumberedLines) {
    const Case cases[] = {
        // what                              bytes                                                  languages
        {"empty", "", {}},
        {"mark only", "\xFF\xFE", {}},
        {"with mark, CR LF", Utf16(L"1033=English\r\n1041=日本語\r\n", true), {{1033, L"English"}, {1041, L"日本語"}}},
        {"without mark", Utf16(L"1033=English\r\n1041=日本語\r\n"), {{1033, L"English"}, {1041, L"日本語"}}},
        {"reversed mark skipped", "\xFE\xFF" + Utf16(L"7=Seven\r\n"), {{7, L"Seven"}}},
        {"CR alone", Utf16(L"1=One\r2=Two\r", true), {{1, L"One"}, {2, L"Two"}}},
        {"CR alone and CR LF mixed", Utf16(L"1=One\r2=Two\r\n3=Three"), {{1, L"One"}, {2, L"Two"}, {3, L"Three"}}},
        {"no line end at all", Utf16(L"1033=English"), {{1033, L"English"}}},
        {"header before, text after",
         Utf16(L"; header\r\n[Languages]\r\n1=One\r\n2=Two\r\n[Texts]\r\n3=Not a language\r\n", true),
         {{1, L"One"}, {2, L"Two"}}},
        {"empty line ends the run", Utf16(L"1=One\r\n\r\n2=Two\r\n"), {{1, L"One"}}},
        {"empty lines before the run", Utf16(L"\r\n\r\n1=One\r\n"), {{1, L"One"}}},
        {"digit line without = stays in the run", Utf16(L"1=One\r\n2 no name\r\n3=Three\r\nend\r\n4=Four"),
         {{1, L"One"}, {3, L"Three"}}},
        {"name keeps later =", Utf16(L"5=a=b\r\n"), {{5, L"a=b"}}},
        {"empty name", Utf16(L"6=\r\n"), {{6, L""}}},
        {"number as atol reads it", Utf16(L"0=Zero\r\n007=Bond\r\n12abc=Mixed\r\n"),
         {{0, L"Zero"}, {7, L"Bond"}, {12, L"Mixed"}}},
        {"huge number saturates", Utf16(L"99999999999999999999=Big\r\n"), {{LONG_MAX, L"Big"}}},
        {"full-width digits are not digits", Utf16(L"１=Wide\r\n2=Two\r\n"), {{2, L"Two"}}},
        {"odd trailing byte ignored", Utf16(L"1=One\r\n2=Two") + "A", {{1, L"One"}, {2, L"Two"}}},
        {"odd single byte", "1", {}},
        {"line cut at 255 characters", Utf16(L"1=" + kLong300 + L"\r\n2=Two\r\n"),
         {{1, std::wstring(253, L'x')}, {2, L"Two"}}},
        // The dropped rest of a long line must not become a line of its own.
        {"rest of a long header line dropped", Utf16(std::wstring(255, L'h') + L"9=Bogus\r\n1=One\r\n"), {{1, L"One"}}},
        {"rest of a long run line dropped", Utf16(L"1=" + std::wstring(253, L'y') + L"end\r\n2=Two"),
         {{1, std::wstring(253, L'y')}, {2, L"Two"}}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ReadAtOnce(c.bytes), c.expected) << c.what;
        EXPECT_EQ(ReadByteByByte(c.bytes), c.expected) << c.what << " (byte by byte)";
    }
}

TEST(YarrelLocReader, StopsAtTheLanguageLimitAndReportsTheEnd) {
    // The limit is what a list box is sure to hold: 32767 entries.
    std::wstring text;
    for (int i = 0; i < 40000; ++i) text += std::to_wstring(i) + L"=L" + std::to_wstring(i) + L"\r\n";
    const Languages found = ReadAtOnce(Utf16(text));
    ASSERT_EQ(found.size(), 32767u);
    EXPECT_EQ(found.front(), (std::pair<long, std::wstring>{0, L"L0"}));
    EXPECT_EQ(found.back(), (std::pair<long, std::wstring>{32766, L"L32766"}));

    // Feed tells the caller when nothing more is wanted: right after the run ends.
    Languages seen;
    LocReader reader;
    LocReaderInit(&reader, Collect, &seen);
    const std::string run = Utf16(L"1=One\r\n");
    const std::string after = Utf16(L"text\r\n2=Two\r\n");
    EXPECT_TRUE(LocReaderFeed(&reader, reinterpret_cast<const unsigned char *>(run.data()), run.size()));
    EXPECT_FALSE(LocReaderFeed(&reader, reinterpret_cast<const unsigned char *>(after.data()), after.size()));
    EXPECT_FALSE(LocReaderFeed(&reader, nullptr, 10));  // null bytes: nothing read, no crash
    LocReaderFinish(&reader);
    EXPECT_EQ(seen, (Languages{{1, L"One"}}));
}

TEST(YarrelLocReader, ReadsFilesOfAnyShape) {
    Languages found;
    EXPECT_FALSE(ReadLocFile(TempPath(L"yarrel-missing.loc").c_str(), Collect, &found));
    EXPECT_FALSE(ReadLocFile(nullptr, Collect, &found));
    EXPECT_TRUE(found.empty());

    TempFile empty(L"yarrel-empty.loc");
    WriteBytes(empty.path, "");
    EXPECT_TRUE(ReadLocFile(empty.path.c_str(), Collect, &found));
    EXPECT_TRUE(found.empty());

    TempFile odd(L"yarrel-odd.loc");
    WriteBytes(odd.path, Utf16(L"1041=日本語\r", true) + "\x01");
    EXPECT_TRUE(ReadLocFile(odd.path.c_str(), Collect, &found));
    EXPECT_EQ(found, (Languages{{1041, L"日本語"}}));
}

// 10 MB files: a run that never ends, and a header without any line end before the run. Both
// must come back quickly with a bounded result.
TEST(YarrelLocReader, HugeFilesAreReadInBoundedTimeAndMemory) {
    TempFile numbered(L"yarrel-huge-run.loc");
    {
        std::wstring text;
        for (int i = 0; text.size() < 5 * 1024 * 1024; ++i) text += std::to_wstring(i) + L"=Language\r\n";
        WriteBytes(numbered.path, Utf16(text, true));
    }
    Languages found;
    ULONGLONG start = ThreadCpuMs();
    EXPECT_TRUE(ReadLocFile(numbered.path.c_str(), Collect, &found));
    EXPECT_LT(ThreadCpuMs() - start, 5000u);
    EXPECT_EQ(found.size(), 32767u);

    TempFile oneLine(L"yarrel-huge-line.loc");
    WriteBytes(oneLine.path, Utf16(std::wstring(5 * 1024 * 1024, L'h') + L"\r\n1=One\r\n2=Two"));
    found.clear();
    start = ThreadCpuMs();
    EXPECT_TRUE(ReadLocFile(oneLine.path.c_str(), Collect, &found));
    EXPECT_LT(ThreadCpuMs() - start, 5000u);
    EXPECT_EQ(found, (Languages{{1, L"One"}, {2, L"Two"}}));
}

}  // namespace
