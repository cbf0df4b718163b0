// Palette objects (83 create, 93 size, 84 fill from an image, 85 finish, 95 read, 86 free): a
// colour table taken from a page image, read back in index order or handed to RectGetEx inside
// a format code. The calls must come in that order: size (optional before filling: the fill then
// takes the image's table size), fill, finish; reading and RectGetEx need a finished object.
#include "jexmint.h"

#include <cstdlib>
#include <cstring>

using namespace jexm;

namespace {

constexpr LONG kAttrEntries = 1824;

uint32_t Token(HJEXMPAL palette) { return (uint32_t)(uintptr_t)palette; }

LONG Fill(Palette *p, HJEXM image) {
    Image *object = FindImage(image);
    if (!object) return JEXM_ERR_BADIMAGE;
    if (!object->hasPage) return JEXM_ERR_NOPAGE;
    if (p->finished) return JEXM_ERR_PALSTATE;
    BYTE table[3 * 256];
    LONG entries = 0;
    if (!ImageTable(*object, table, &entries)) return JEXM_ERR_NOCOLORMAP;
    if (p->entries == 0) p->entries = entries;
    // Entries beyond the image's table stay black.
    memset(p->map, 0, sizeof p->map);
    LONG n = p->entries < entries ? p->entries : entries;
    for (int c = 0; c < 3; ++c) memcpy(p->map + c * p->entries, table + c * entries, (size_t)n);
    p->filled = true;
    return 0;
}

}  // namespace

LONG WINAPI JexmPaletteCreate(LONG reserved, HJEXMPAL *palette) {
    Lock lock;
    LONG r = 0;
    uint32_t token = 0;
    if (!palette || IsBadWritePtr(palette, sizeof *palette)) {
        r = JEXM_ERR_NULLARG;
    } else if ((r = InjectedFault(83)) != 0) {
        *palette = nullptr;
    } else if (reserved != 0) {
        r = JEXM_ERR_BADARG;
        *palette = nullptr;
    } else {
        Palette *object = static_cast<Palette *>(calloc(1, sizeof(Palette)));
        if (!object) {
            r = JEXM_ERR_NOMEMORY;
        } else if (!(token = AddObject(kPalette, object))) {
            free(object);
            r = JEXM_ERR_TOOMANY;
        }
        *palette = reinterpret_cast<HJEXMPAL>((uintptr_t)token);
    }
    LogCall(83, "PaletteCreate", r, "%ld, -> 0x%08lx", (long)reserved, (unsigned long)token);
    return r;
}

LONG WINAPI JexmPaletteSetAttr(HJEXMPAL palette, LONG attribute, LONG value) {
    Lock lock;
    Palette *p = FindPalette(Token(palette));
    LONG r = InjectedFault(93);
    if (r) {
    } else if (!p) r = JEXM_ERR_BADPALETTE;
    else if (attribute != kAttrEntries) r = JEXM_ERR_BADTAG;
    else if (value < 1 || value > 256) r = JEXM_ERR_BADVALUE;
    else if (p->filled) r = JEXM_ERR_PALSTATE;
    else p->entries = value;
    LogCall(93, "PaletteSetAttr", r, "0x%08lx, %ld, %ld", (unsigned long)Token(palette), (long)attribute,
            (long)value);
    return r;
}

LONG WINAPI JexmPaletteFill(HJEXMPAL palette, HJEXM image) {
    Lock lock;
    Palette *p = FindPalette(Token(palette));
    LONG r = InjectedFault(84);
    if (r == 0) r = p ? Fill(p, image) : JEXM_ERR_BADPALETTE;
    LogCall(84, "PaletteFill", r, "0x%08lx, 0x%08lx", (unsigned long)Token(palette),
            (unsigned long)(uintptr_t)image);
    return r;
}

LONG WINAPI JexmPaletteFinish(HJEXMPAL palette) {
    Lock lock;
    Palette *p = FindPalette(Token(palette));
    LONG r = InjectedFault(85);
    if (r) {
    } else if (!p) r = JEXM_ERR_BADPALETTE;
    else if (!p->filled) r = JEXM_ERR_PALSTATE;
    else p->finished = true;
    LogCall(85, "PaletteFinish", r, "0x%08lx", (unsigned long)Token(palette));
    return r;
}

// Colours first .. first+count-1, as tag 320 lays them out: count reds, count greens, count blues.
LONG WINAPI JexmPaletteGetColors(HJEXMPAL palette, LONG first, LONG count, BYTE *map) {
    Lock lock;
    Palette *p = FindPalette(Token(palette));
    LONG r = InjectedFault(95);
    if (r) {
    } else if (!p) r = JEXM_ERR_BADPALETTE;
    else if (!p->finished) r = JEXM_ERR_PALSTATE;
    else if (first < 0 || count < 0 || first > p->entries || count > p->entries - first) r = JEXM_ERR_BADARG;
    else if (count && (!map || IsBadWritePtr(map, (UINT_PTR)(3 * count)))) r = JEXM_ERR_NULLARG;
    else
        for (int c = 0; c < 3; ++c) memcpy(map + c * count, p->map + c * p->entries + first, (size_t)count);
    LogCall(95, "PaletteGetColors", r, "0x%08lx, %ld, %ld, %s", (unsigned long)Token(palette), (long)first,
            (long)count, Ptr(map));
    return r;
}

LONG WINAPI JexmPaletteFree(HJEXMPAL palette) {
    Lock lock;
    void *object = RemoveObject(kPalette, Token(palette));
    free(object);
    LONG r = object ? 0 : JEXM_ERR_BADPALETTE;
    LogCall(86, "PaletteFree", r, "0x%08lx", (unsigned long)Token(palette));
    return r;
}
