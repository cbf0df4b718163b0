// Every sample profile that the build copies to bin\profiles goes through what the data source
// does at open and close (73, 29, 70, 30, 74): the fault profiles fail at the step they name,
// every other one loads, shows the scanner it describes, and leaves no driver loaded.
#include "kit_driver_fixture.h"

#include <algorithm>
#include <functional>

namespace {

std::vector<std::string> ProfileFiles(std::string *folder) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    *folder = exe;
    *folder = folder->substr(0, folder->rfind('\\')) + "\\profiles";
    std::vector<std::string> files;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((*folder + "\\*.ini").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return files;
    do files.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(files.begin(), files.end());
    return files;
}

struct Expectation {
    const char *file;
    LONG startError, loadError, initError;     // the step that fails, if any
    std::function<void(JEXDRIVER &)> check;     // what the loaded scanner must show
};

LONG Status(const JEXDRIVER &d) {
    LONG s = -1;
    EXPECT_EQ(0, Msg(d, 0x604, 1, reinterpret_cast<LONG>(&s)));
    return s;
}

// The long a message writes to its value word (0 when it fails).
LONG Word(const JEXDRIVER &d, LONG msg, LONG tag) {
    LONG v = 0;
    EXPECT_EQ(0, Msg(d, msg, tag, reinterpret_cast<LONG>(&v))) << "msg " << msg << " tag " << (tag & 0xFFFF);
    return v;
}
std::pair<LONG, LONG> Rational(const JEXDRIVER &d, LONG msg, LONG tag) {
    LONG r[2] = {};
    EXPECT_EQ(0, Msg(d, msg, tag, reinterpret_cast<LONG>(r)));
    return {r[0], r[1]};
}

const Expectation kProfiles[] = {
    {"ORVAVS.ini", 0, 0, 0, [](JEXDRIVER &d) { EXPECT_EQ(0x10003, GetLong(d, 1283)); }},
    {"flatbed.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(2, GetLong(d, 1283));                          // flatbed only, no sensors
         EXPECT_EQ((std::vector<LONG>{2}), Choices(d, 1300));
         EXPECT_EQ(0, Status(d));
         LONG v;
         EXPECT_EQ(-4502, Msg(d, 0x310, 1293, reinterpret_cast<LONG>(&v)));  // no automatic feed
     }},
    {"feeder-duplex.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(0x10001, GetLong(d, 1283));                    // feeder and stack sensor
         EXPECT_EQ((std::vector<LONG>{3, 4}), Choices(d, 1300));
         EXPECT_EQ(2, Status(d));
     }},
    {"single-page.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(1, GetLong(d, 5363));                          // starts in single-page mode
         EXPECT_EQ((std::vector<LONG>{2}), Choices(d, 1300));
         EXPECT_EQ(0, Msg(d, 0x321, 5363, 0));
         EXPECT_EQ((std::vector<LONG>{2, 3, 4}), Choices(d, 1300));
     }},
    {"no-page-sizes.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         char t[64];
         EXPECT_EQ(-4502, Msg(d, 0x312, 1294 | (64 << 16), reinterpret_cast<LONG>(t)));
         EXPECT_EQ(2200 * 200 / 254 / 8 * 8, GetLong(d, 256));   // the whole 220 mm at 200 dpi
         EXPECT_EQ(3000 * 200 / 254, GetLong(d, 257));
     }},
    {"endorser-text.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ((std::vector<LONG>{0, 1}), Choices(d, 4204));
         EXPECT_EQ(0, Msg(d, 0x320, 1411, reinterpret_cast<LONG>("No. 1")));
     }},
    {"endorser-counter.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ((std::vector<LONG>{0, 3}), Choices(d, 4204));
         EXPECT_EQ(0, Msg(d, 0x321, 1412, 500));
         LONG v;
         EXPECT_EQ(-4502, Msg(d, 0x310, 1411, reinterpret_cast<LONG>(&v)));
     }},
    {"own-dialog.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(1, GetLong(d, 1680));
         LONG word = 0;
         EXPECT_EQ(0, Msg(d, 0x315, 6001, reinterpret_cast<LONG>(&word)));
         EXPECT_EQ(0x8101, word);
     }},
    {"paper-jam.ini", 0, 0, 0, [](JEXDRIVER &d) { EXPECT_EQ(0x10003, GetLong(d, 1283)); }},
    {"folder.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(2, Status(d));                                 // the sample pages are there
         EXPECT_EQ(0, Msg(d, 0x321, 1300, 3));
         EXPECT_EQ(0, Msg(d, 0x321, 256, 80));
         EXPECT_EQ(0, Msg(d, 0x321, 257, 40));
         EXPECT_EQ(0, ScanIntoCollector(d));
         EXPECT_EQ(40, g_got.rows);
     }},
    {"driver-tags.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         for (auto [tag, kind] : std::vector<std::pair<LONG, LONG>>{{6001, 1}, {6002, 4}, {6003, 3}, {6004, 5}, {6007, 2}})
             EXPECT_EQ(kind, Word(d, 0x342, tag)) << tag;
         EXPECT_EQ(0x18103, Word(d, 0x315, 6003));               // bit 16: read only
         EXPECT_EQ(-4505, Msg(d, 0x321, 6003, 1));
         EXPECT_EQ(4711, GetLong(d, 6003));
         // a listed rational is matched as a fraction and kept as the list writes it
         LONG r[2] = {44, 20};
         EXPECT_EQ(0, Msg(d, 0x322, 6004, reinterpret_cast<LONG>(r)));
         EXPECT_EQ((std::pair<LONG, LONG>{22, 10}), Rational(d, 0x311, 6004));
         EXPECT_EQ((std::pair<LONG, LONG>{5, 2}), Rational(d, 0x412, 6004 | (0xFFFE << 16)));  // the largest
         LONG two[2] = {2, 1};
         EXPECT_EQ(-4503, Msg(d, 0x322, 6004, reinterpret_cast<LONG>(two)));
         // in a range, the whole value fitted onto the steps
         LONG odd[2] = {650, 2};
         EXPECT_EQ(0, Msg(d, 0x322, 6005, reinterpret_cast<LONG>(odd)));
         EXPECT_EQ((std::pair<LONG, LONG>{300, 1}), Rational(d, 0x311, 6005));
         EXPECT_EQ((std::pair<LONG, LONG>{600, 1}), Rational(d, 0x331, 6005));
         char text[256] = {};
         EXPECT_EQ(0, Msg(d, 0x312, 6007 | (256 << 16), reinterpret_cast<LONG>(text)));
         EXPECT_GT(strlen(text), 64u);
     }},
    {"many-capabilities.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         LONG count = Word(d, 0x314, 0);
         std::vector<LONG> words;
         for (LONG i = 0; i < count; ++i)
             if (LONG w = Word(d, 0x315, Word(d, 0x310, i << 16))) words.push_back(w);
         ASSERT_EQ(120u, words.size());
         EXPECT_EQ(0x8200, words.front());
         EXPECT_EQ(0x8277, words.back());
         EXPECT_EQ(50, GetLong(d, 7120));
     }},
    {"choice-shapes.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(0x20000, Word(d, 0x415, 258));
         EXPECT_EQ((std::vector<LONG>{1, 8, 1}), (std::vector<LONG>{Word(d, 0x411, 258 | (0xFFFF << 16)),
                                                                    Word(d, 0x411, 258 | (0xFFFE << 16)),
                                                                    Word(d, 0x411, 258 | (0xFFFD << 16))}));
         EXPECT_EQ(0, Msg(d, 0x321, 258, 6));
         EXPECT_EQ(4, GetLong(d, 258));                           // the depth below that is produced
         EXPECT_EQ(0x40000, Word(d, 0x415, 256));
         EXPECT_EQ(8, Word(d, 0x411, 256 | (0xFFFD << 16)));      // a list with a step
         EXPECT_EQ((std::vector<LONG>{80, 1160, 1648, 1696}), Choices(d, 256));
         EXPECT_EQ(-4503, Msg(d, 0x321, 256, 1000));
         EXPECT_EQ(0x20000, Word(d, 0x415, 1447));
         EXPECT_EQ((std::vector<LONG>{1, 4, 5, 50006}), Choices(d, 259));
         EXPECT_EQ(1, Word(d, 0x330, 259));
     }},
    {"many-barcodes.ini", 0, 0, 0,
     [](JEXDRIVER &d) {
         EXPECT_EQ(0, ScanIntoCollector(d));                      // page 1
         ASSERT_EQ(10u, g_got.codes.size());
         EXPECT_EQ("3:CODE-01", g_got.codes.front());
         EXPECT_EQ("2:4006381333931", g_got.codes.back());
     }},
    {"fail-start.ini", -4533, 0, 0, nullptr},
    {"fail-load.ini", 0, -4512, 0, nullptr},
    {"fail-init.ini", 0, 0, -4535, nullptr},
};

const Expectation *ExpectationFor(const std::string &file) {
    for (const Expectation &e : kProfiles)
        if (file == e.file) return &e;
    return nullptr;
}

}  // namespace

TEST(KitProfiles, EverySampleProfileOpensAndClosesAsItSays) {
    std::string folder;
    std::vector<std::string> files = ProfileFiles(&folder);
    for (const Expectation &e : kProfiles)
        EXPECT_NE(files.end(), std::find(files.begin(), files.end(), e.file)) << e.file << " missing in " << folder;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        const Expectation *e = ExpectationFor(file);
        static const Expectation kLoads = {"", 0, 0, 0, nullptr};
        if (!e) e = &kLoads;  // a new sample profile must at least load cleanly
        SetEnvironmentVariableA("JEXKIT_PROFILE", (folder + "\\" + file).c_str());
        k.resetCalls();
        JEXDRIVER scanner{};
        LONG rc = k.init();
        EXPECT_EQ(e->startError, rc);
        if (rc != 0) {
            EXPECT_EQ((std::vector<std::string>{"73 JexdfltInit() = " + std::to_string(rc)}), Calls());
            continue;
        }
        rc = k.load(0, "ORVAVS", &scanner, 2);
        EXPECT_EQ(e->loadError, rc);
        if (rc == 0) {
            LONG init = k.initDriver(&scanner, "ORVAVS", nullptr);
            EXPECT_EQ(e->initError, init);
            if (init == 0 && e->check) e->check(scanner);
            EXPECT_EQ(1, k.liveDrivers());
            EXPECT_EQ(0, k.unload(&scanner));
            EXPECT_EQ(nullptr, scanner.entry);
        } else {
            EXPECT_EQ(nullptr, scanner.entry);
            char text[256] = {};
            EXPECT_EQ(0, k.errorText(0, nullptr, rc, text, sizeof text));
            EXPECT_STRNE("", text);
        }
        EXPECT_EQ(0, k.done());
        EXPECT_EQ(0, k.liveDrivers());
        // the lines the data source's tests match
        std::vector<std::string> calls = Calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ("73 JexdfltInit() = 0", calls.front());
        EXPECT_EQ("29 JexdfltLoadDriver(0, \"ORVAVS\", kind 2) = " + std::to_string(e->loadError), calls[1]);
        if (e->loadError == 0) {
            EXPECT_EQ("70 JexdfltInitDriver(ORVAVS, \"ORVAVS\", 0) = " + std::to_string(e->initError), calls[2]);
            EXPECT_EQ("30 JexdfltUnloadDriver(ORVAVS) = 0", calls[calls.size() - 2]);
        }
        EXPECT_EQ("74 JexdfltDone() = 0", calls.back());
    }
    SetEnvironmentVariableA("JEXKIT_PROFILE", nullptr);
}
