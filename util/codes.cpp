// TWAIN <-> ORVA driver code tables for compression and job control. The compression tables are
// deliberately not inverse for TWCP_GROUP31D: the driver has one code for both 2-D variants.
#include "twain/state.h"
#include "util/values.h"

namespace {

struct CodePair {
    TW_UINT16 twain;
    LONG driver;
};

constexpr CodePair kCompressionToDriver[] = {
    {TWCP_PACKBITS, 50006}, {TWCP_GROUP31D, 3}, {TWCP_GROUP31DEOL, 2}, {TWCP_GROUP32D, 3},
    {TWCP_GROUP4, 4},       {TWCP_JPEG, 6},     {TWCP_LZW, 5},         {TWCP_JBIG, 34661},
};
constexpr LONG kDriverNoCompression = 1;

constexpr CodePair kDriverToCompression[] = {
    {TWCP_GROUP31DEOL, 2}, {TWCP_GROUP32D, 3}, {TWCP_GROUP4, 4},       {TWCP_LZW, 5},
    {TWCP_JPEG, 6},        {TWCP_JBIG, 34661}, {TWCP_PACKBITS, 50006},
};

constexpr CodePair kJobControlToDriver[] = {
    {TWJC_NONE, 0}, {TWJC_JSIC, 1}, {TWJC_JSIS, 3}, {TWJC_JSXC, 2}, {TWJC_JSXS, 4},
};

// Driver job separators 5 and 6 are the "stop" variants of 2 and 4.
constexpr CodePair kDriverToJobControl[] = {
    {TWJC_JSIC, 1}, {TWJC_JSXC, 2}, {TWJC_JSXC, 5}, {TWJC_JSIS, 3}, {TWJC_JSXS, 4}, {TWJC_JSXS, 6},
};

}  // namespace

LONG CompressionToDriver(TW_UINT16 twainCompression) {
    for (const CodePair &p : kCompressionToDriver)
        if (p.twain == twainCompression) return p.driver;
    return kDriverNoCompression;
}

TW_UINT16 DriverToCompression(LONG driverCompression) {
    for (const CodePair &p : kDriverToCompression)
        if (p.driver == driverCompression) return p.twain;
    return TWCP_NONE;
}

TW_UINT16 JobControlToDriver(TW_UINT16 twainJobControl, LONG *driverValue) {
    for (const CodePair &p : kJobControlToDriver)
        if (p.twain == twainJobControl) {
            if (driverValue) *driverValue = p.driver;
            return TWRC_SUCCESS;
        }
    gState.ConditionCode = TWCC_BADVALUE;
    return TWRC_FAILURE;
}

TW_UINT16 DriverToJobControl(LONG driverValue) {
    for (const CodePair &p : kDriverToJobControl)
        if (p.driver == driverValue) return p.twain;
    return TWJC_NONE;
}
