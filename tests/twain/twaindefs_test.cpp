// The project's TWAIN header against the published lists of values and structure sizes.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "dstest.h"

struct NamedValue {
    const char *name;
    long long value;
};
#include "twaindefs_table.inc"

namespace {

// Reads NAME<TAB>VALUE lines; empty when the file is not there.
std::map<std::string, long long> ReadTsv(const std::string &file) {
    std::map<std::string, long long> values;
    const char *dir = getenv("TWJEX_SHARED_DIR");
    if (!dir) return values;
    std::string path = std::string("Z:") + dir + "/" + file;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        values[line.substr(0, tab)] = std::strtoll(line.c_str() + tab + 1, nullptr, 10);
    }
    return values;
}

// The lists lie beside the project, not in it: a checkout without them skips these checks, but
// under CI (CI=true), where they are always laid out, their absence is a failure.
bool UnderCi() {
    const char *ci = getenv("CI");
    return ci && std::string(ci) == "true";
}
void ListMissing(const char *file) {
    const char *dir = getenv("TWJEX_SHARED_DIR");
    if (UnderCi()) FAIL() << file << " not found in " << (dir ? dir : "(TWJEX_SHARED_DIR unset)");
    GTEST_SKIP() << file << " not found beside the project";
}

TEST(TwainDefs, ConstantsMatchPublishedValues) {
    auto published = ReadTsv("twain-constants.tsv");
    if (published.empty()) return ListMissing("twain-constants.tsv");
    int checked = 0;
    for (const NamedValue &c : kConstants) {
        auto it = published.find(c.name);
        ASSERT_NE(it, published.end()) << c.name << " is not a published TWAIN constant";
        EXPECT_EQ(c.value, it->second) << c.name;
        ++checked;
    }
    EXPECT_GT(checked, 200);
}

TEST(TwainDefs, StructureSizesMatchPublishedSizes) {
    auto published = ReadTsv("twain-sizes.tsv");
    if (published.empty()) return ListMissing("twain-sizes.tsv");
    for (const NamedValue &s : kStructSizes) {
        auto it = published.find(s.name);
        ASSERT_NE(it, published.end()) << s.name << " is not a published TWAIN structure";
        EXPECT_EQ(s.value, it->second) << s.name;
    }
    EXPECT_EQ(sizeof(TW_IDENTITY), 156u);
}

}  // namespace
