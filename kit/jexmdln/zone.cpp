// Zones (20, 21) and their tags (22). A zone describes how an image is delivered: for reading,
// the output size (256, 257), the sense of the samples (262) and the planar configuration (284);
// for drawing, the display options 4096, 4098 and 4099.
//
// Tag 262 on a zone names the sense wanted for gray and colour rows: 0 or 2 "zero is light",
// 1 or 120 "zero is dark", 3 (palette) leaves samples as indexes. The data source asks for 1 or 0
// on gray pages and for 120 or 2 on colour pages, following the pixel flavour.
#include "jexmint.h"

#include <cstdlib>

namespace jexm {
namespace {

LONG SetTag(Zone *zone, LONG tag, LONG value) {
    switch (tag) {
    case 256:
    case 257:
        if (value < 1 || value > kMaxSide) return JEXM_ERR_BADVALUE;
        (tag == 256 ? zone->width : zone->length) = value;
        return 0;
    case 262:
        if (value != 0 && value != 1 && value != 2 && value != 3 && value != 120) return JEXM_ERR_BADVALUE;
        zone->photometric = value;
        return 0;
    case 284:
        if (value != 1) return JEXM_ERR_BADVALUE;  // separate planes are not produced
        zone->planar = value;
        return 0;
    case 4096:
        if (value != 0 && value != 1) return JEXM_ERR_BADVALUE;
        zone->smooth = value;
        return 0;
    case 4098:
        if (value < WHITE_BRUSH || value > NULL_BRUSH) return JEXM_ERR_BADVALUE;
        zone->background = value;
        return 0;
    case 4099:
        if (value != 0 && value != 1) return JEXM_ERR_BADVALUE;
        zone->fillOutside = value;
        return 0;
    default:
        return JEXM_ERR_BADTAG;
    }
}

}  // namespace
}  // namespace jexm

using namespace jexm;

// kind 1 is the only kind of zone: the same descriptor serves reading and drawing.
LONG WINAPI JexmCreateZone(HJEXMZONE *zone, LONG kind) {
    Lock lock;
    LONG r = 0;
    uint32_t token = 0;
    if (!zone || IsBadWritePtr(zone, sizeof *zone)) {
        r = JEXM_ERR_NULLARG;
    } else if ((r = InjectedFault(20)) != 0) {
        *zone = nullptr;
    } else if (kind != 1) {
        r = JEXM_ERR_BADARG;
        *zone = nullptr;
    } else {
        Zone *object = static_cast<Zone *>(calloc(1, sizeof(Zone)));
        if (!object) {
            r = JEXM_ERR_NOMEMORY;
        } else {
            object->photometric = -1;
            object->planar = 1;
            if (!(token = AddObject(kZone, object))) {
                free(object);
                r = JEXM_ERR_TOOMANY;
            }
        }
        *zone = reinterpret_cast<HJEXMZONE>((uintptr_t)token);
    }
    LogCall(20, "CreateZone", r, "-> 0x%08lx, %ld", (unsigned long)token, (long)kind);
    return r;
}

LONG WINAPI JexmFreeZone(HJEXMZONE zone) {
    Lock lock;
    void *object = RemoveObject(kZone, (uint32_t)(uintptr_t)zone);
    free(object);
    LONG r = object ? 0 : JEXM_ERR_BADZONE;
    LogCall(21, "FreeZone", r, "0x%08lx", (unsigned long)(uintptr_t)zone);
    return r;
}

// reserved must be 0 and count 1 (one value per call).
LONG WINAPI JexmSetZoneTag(HJEXMZONE zone, LONG tag, LONG reserved, LONG count, LONG value) {
    Lock lock;
    Zone *object = FindZone(zone);
    LONG r = InjectedFault(22);
    if (r) {
    } else if (!object) r = JEXM_ERR_BADZONE;
    else if (reserved != 0 || count != 1) r = JEXM_ERR_BADARG;
    else r = SetTag(object, tag, value);
    LogCall(22, "SetZoneTag", r, "0x%08lx, %ld, %ld, %ld, %ld", (unsigned long)(uintptr_t)zone, (long)tag,
            (long)reserved, (long)count, (long)value);
    return r;
}
