// DG_CONTROL / DAT_SETUPFILEXFER: the name of the file a file transfer writes. A Windows bitmap
// is the one format.
#include <cstring>

#include "cap/capstate.h"
#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/source.h"
#include "twain/state.h"
#include "xfer/pagestate.h"

namespace {

struct MessageLines {
    TW_UINT16 msg;
    const char *entry;
    const char *callerCheck;
    const char *sequence;
    const char *success;
};
constexpr MessageLines kLines[] = {
    {MSG_GET, "Called: DG_CONTROL DAT_SETUPFILEXFER MSG_GET",
     "DAT_SETUPFILEXFER MSG_GET returns TWRC_FAILURE with Condition Code==%s",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_GET returns TWRC_SUCCESS"},
    {MSG_GETDEFAULT, "Called: DG_CONTROL DAT_SETUPFILEXFER MSG_GETDEFAULT",
     "DAT_SETUPFILEXFER MSG_GETDEFAULT returns TWRC_FAILURE with Condition Code==%s",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_GETDEFAULT returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_GETDEFAULT returns TWRC_SUCCESS"},
    {MSG_SET, "Called: DG_CONTROL DAT_SETUPFILEXFER MSG_SET",
     "DAT_SETUPFILEXFER MSG_SET returns TWRC_FAILURE with Condition Code==%s",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_SET returns TWRC_SUCCESS"},
    {MSG_RESET, "Called: DG_CONTROL DAT_SETUPFILEXFER MSG_RESET",
     "DAT_SETUPFILEXFER MSG_RESET returns TWRC_FAILURE with Condition Code==%s",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_RESET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
     "DG_CONTROL DAT_SETUPFILEXFER MSG_RESET returns TWRC_SUCCESS"},
};

// The Windows directory followed by "\twain.tmp", cut so that it fits a TW_STR255.
void DefaultName(char *name) {
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, MAX_PATH);
    constexpr char kFile[] = "\\twain.tmp";
    const size_t room = sizeof(TW_STR255) - sizeof kFile;
    dir[strnlen(dir, room)] = 0;
    wsprintfA(name, "%s%s", dir, kFile);
}

// The application's name, up to its terminator or the end of the field.
void CopyName(char *to, const char *from) {
    const size_t n = strnlen(from, sizeof(TW_STR255) - 1);
    memcpy(to, from, n);
    to[n] = 0;
}

}  // namespace

TW_UINT16 DatSetupFileXfer(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!(gCaps.AllowedMechs & (1u << TWSX_FILE))) {
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_SETUPFILEXFER");
        return LogFailure("DG_CONTROL DAT_SETUPFILEXFER message returns TWRC_FAILURE with Condition Code==TWCC_BADPROTOCOL",
                          TWCC_BADPROTOCOL);
    }
    const MessageLines *lines = nullptr;
    for (const MessageLines &l : kLines)
        if (l.msg == msg) lines = &l;
    if (!lines) {
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_SETUPFILEXFER called with unknown message (%08x).  returning TWRC_FAILURE with "
                 "ConditionCode==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
    SdkPrint(kLogTwainApi, "%s", lines->entry);
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, lines->callerCheck, TwccName());
        return TWRC_FAILURE;
    }
    const bool refused = msg == MSG_RESET ? gState.bDSEnabled || gPage.bXferReady : gPage.XferState == 7;
    if (refused) return LogFailure(lines->sequence, TWCC_SEQERROR);
    auto *setup = static_cast<TW_SETUPFILEXFER *>(pData);
    if (!setup || IsBadWritePtr(setup, sizeof *setup)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_SETUPFILEXFER returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE");
        gState.ConditionCode = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    switch (msg) {
    case MSG_GET:
        CopyName(setup->FileName, gFileXfer.FileName);
        setup->Format = TWFF_BMP;
        setup->VRefNum = -1;
        break;
    case MSG_GETDEFAULT:
        DefaultName(setup->FileName);
        setup->Format = TWFF_BMP;
        setup->VRefNum = -1;
        break;
    case MSG_SET:
        if (setup->Format != TWFF_BMP)
            return LogFailure("DG_CONTROL DAT_SETUPFILEXFER MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                              TWCC_BADVALUE);
        CopyName(gFileXfer.FileName, setup->FileName);
        SdkPrint(kLogTwain, "Filename set to %s", gFileXfer.FileName);
        break;
    case MSG_RESET:
        DefaultName(setup->FileName);
        setup->Format = TWFF_BMP;
        CopyName(gFileXfer.FileName, setup->FileName);
        break;
    default:
        break;
    }
    SdkPrint(kLogTwainApi, "%s", lines->success);
    return TWRC_SUCCESS;
}
