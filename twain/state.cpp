// Shared state, the caller check and the code-name tables of the log lines.
#include "twain/state.h"

#include <iterator>

#include "sdkprint/sdkprint.h"

DsState gState;

bool CheckCaller(const TW_IDENTITY *origin) {
    if (!gState.bDSOpen) {
        gState.ConditionCode = TWCC_SEQERROR;
        return false;
    }
    // A null origin cannot be the application that opened us.
    if (!origin || origin->Id != gState.AppIdentity.Id) {
        gState.ConditionCode = TWCC_MAXCONNECTIONS;
        return false;
    }
    return true;
}

namespace {

struct CodeName {
    TW_UINT16 code;
    const char *name;
};

// Each table ends with the pair that has no name.
constexpr CodeName kReturnCodes[] = {
    {0, "TWRC_SUCCESS"},       {1, "TWRC_FAILURE"},  {2, "TWRC_CHECKSTATUS"},
    {3, "TWRC_CANCEL"},        {4, "TWRC_DSEVENT"},  {5, "TWRC_NOTDSEVENT"},
    {6, "TWRC_XFERDONE"},      {7, "TWRC_ENDOFLIST"}, {8, "TWRC_INFONOTSUPPORTED"},
    {9, "TWRC_DATANOTAVAILABLE"}, {0, nullptr},
};

constexpr CodeName kConditionCodes[] = {
    {0, "TWCC_SUCCESS"},         {1, "TWCC_BUMMER"},           {2, "TWCC_LOWMEMORY"},
    {3, "TWCC_NODS"},            {4, "TWCC_MAXCONNECTIONS"},   {5, "TWCC_OPERATIONERROR"},
    {6, "TWCC_BADCAP"},          {9, "TWCC_BADPROTOCOL"},      {10, "TWCC_BADVALUE"},
    {11, "TWCC_SEQERROR"},       {12, "TWCC_BADDEST"},         {13, "TWCC_CAPUNSUPPORTED"},
    {14, "TWCC_CAPBADOPERATION"}, {15, "TWCC_CAPSEQERROR"},    {16, "TWCC_DENIED"},
    {17, "TWCC_FILEEXISTS"},     {18, "TWCC_FILENOTFOUND"},    {19, "TWCC_NOTEMPTY"},
    {20, "TWCC_PAPERJAM"},       {21, "TWCC_PAPERDOUBLEFEED"}, {22, "TWCC_FILEWRITEERROR"},
    {23, "TWCC_CHECKDEVICEONLINE"}, {0, nullptr},
};

const char *Lookup(const CodeName *table, TW_UINT16 code) {
    for (; table->name; ++table)
        if (table->code == code) return table->name;
    return nullptr;
}

}  // namespace

const char *TwrcName(TW_UINT16 code) {
    static char text[16];
    if (const char *name = Lookup(kReturnCodes, code)) return name;
    wsprintfA(text, "%u", static_cast<unsigned>(code));
    return text;
}

const char *TwccName() {
    static char text[16];
    if (const char *name = Lookup(kConditionCodes, gState.ConditionCode)) return name;
    wsprintfA(text, "%04x", gState.ConditionCode);
    return text;
}

TW_UINT16 LogFailure(const char *line, TW_UINT16 conditionCode) {
    SdkPrint(kLogTwainApi, "%s", line);
    gState.ConditionCode = conditionCode;
    return TWRC_FAILURE;
}
