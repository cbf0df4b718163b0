// Resource ids of TWJEX32's own strings.
#pragma once

#define IDS_TRANSFER_FILE 4    // default file-transfer name in the Windows directory
#define IDS_SCANNER_ERROR 6    // caption of driver error boxes
