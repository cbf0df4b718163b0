// The paper-source operations shared by negotiation, the dialogs and the transfers. Failures set
// ConditionCode: TWCC_CAPUNSUPPORTED for a source the driver never offers, TWCC_CAPSEQERROR for one
// it offers only in its other single-page mode or a write of tag 1300 that fails.
#pragma once

#include "twain/twaindefs.h"

TW_UINT16 FeederPresent(bool *present);
bool FeederSelected();   // tag 1300 is not the flatbed; false when unreadable
bool DuplexSelected();   // tag 1300 is both sides; false when unreadable
TW_UINT16 SelectPaperSource(bool feeder, bool duplex);
