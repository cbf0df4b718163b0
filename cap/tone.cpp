// Brightness, contrast, automatic brightness, halftones and bit-depth reduction: not answered
// yet; each is TWCC_CAPUNSUPPORTED.
#include "cap/captable.h"

TW_UINT16 GetTone(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetTone(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetTone(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 GetAutoBright(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetAutoBright(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetAutoBright(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 GetHalftones(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetHalftones(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetHalftones(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 GetBitDepthReduction(TW_UINT16 , TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 SetBitDepthReductionCap(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
TW_UINT16 ResetBitDepthReduction(TW_CAPABILITY *) { return CapFail(TWCC_CAPUNSUPPORTED); }
