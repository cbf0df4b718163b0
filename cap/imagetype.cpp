// (being written)
#include "cap/captable.h"

TW_UINT16 GetPixelType(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetPixelType(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetPixelType(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 GetBitDepth(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetBitDepth(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetBitDepth(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
