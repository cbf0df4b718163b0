// The generated test chart. Deterministic and resolution-aware, so that a test can compute any
// pixel on its own (kit/README.md gives the same formula): a binary page-number code in the top
// left corner, black lines every quarter inch, and colour gradients elsewhere.
#include "kit/drivers/orva/orva.h"

void OrvaChartPixel(LONG page, LONG u, LONG v, LONG xdpi, LONG ydpi, BYTE rgb[3]) {
    if (xdpi <= 0) xdpi = 1;
    if (ydpi <= 0) ydpi = 1;
    LONG mx = static_cast<LONG>(static_cast<LONGLONG>(u) * 1000 / xdpi);  // thousandths of an inch
    LONG my = static_cast<LONG>(static_cast<LONGLONG>(v) * 1000 / ydpi);
    if (my < 250 && mx < 1000) {
        LONG bit = 15 - mx * 16 / 1000;
        BYTE c = ((page >> bit) & 1) ? 0 : 255;
        rgb[0] = rgb[1] = rgb[2] = c;
        return;
    }
    LONG qx = xdpi / 4 > 0 ? xdpi / 4 : 1, qy = ydpi / 4 > 0 ? ydpi / 4 : 1;
    if (u % qx == 0 || v % qy == 0) {
        rgb[0] = rgb[1] = rgb[2] = 0;
        return;
    }
    rgb[0] = static_cast<BYTE>((mx / 8) & 255);
    rgb[1] = static_cast<BYTE>((my / 8) & 255);
    rgb[2] = static_cast<BYTE>((page * 40 + (mx + my) / 16) & 255);
}
