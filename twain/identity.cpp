// DG_CONTROL / DAT_IDENTITY: the source's identity.
#include <cstdlib>
#include <cstring>

#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/hoststrings.h"
#include "twain/state.h"
#include "twain/version.h"

int LoadHostString(UINT id, char *buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = 0;
    if (!gState.hHostInstance) return 0;
    int n = LoadStringA(gState.hHostInstance, id, buffer, size);
    buffer[size - 1] = 0;
    return n;
}

namespace {

// DG_CONTROL / DAT_IDENTITY / MSG_GET: works in every state; the Id field is the manager's.
TW_UINT16 IdentityGet(TW_IDENTITY *id) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_IDENTITY MSG_GET");
    if (!id) {
        gState.ConditionCode = TWCC_BADVALUE;
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_GET returning TWRC_FAILURE with Condition Code==%s",
                 TwccName());
        return TWRC_FAILURE;
    }
    const char *version = TWJEX_VERSION_TEXT;
    const char *point = strchr(version, '.');
    id->Version.MajorNum = static_cast<TW_UINT16>(atoi(version));
    id->Version.MinorNum = static_cast<TW_UINT16>(point ? atoi(point + 1) : 0);
    id->Version.Language = TWLG_USA;
    id->Version.Country = TWCY_USA;
    lstrcpynA(id->Version.Info, version, sizeof id->Version.Info);
    id->ProtocolMajor = TWJEX_PROTOCOL_MAJOR;
    id->ProtocolMinor = TWJEX_PROTOCOL_MINOR;
    id->SupportedGroups = DG_CONTROL | DG_IMAGE;
    LoadHostString(kHostManufacturer, id->Manufacturer, sizeof id->Manufacturer);
    LoadHostString(kHostProductFamily, id->ProductFamily, sizeof id->ProductFamily);
    LoadHostString(kHostProductName, id->ProductName, sizeof id->ProductName);
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_GET returning TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 DatIdentity(TW_IDENTITY * /*origin*/, TW_UINT16 msg, TW_MEMREF pData) {
    switch (msg) {
    case MSG_GET:
        return IdentityGet(static_cast<TW_IDENTITY *>(pData));
    default:
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_IDENTITY unknown message (%08x) returns TWRC_FAILURE with Condition "
                 "Code==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
