// Texts of the errors of the virtual jexmdln, for the error-text ordinal of jexdfltn and for tests.
#include "jexmint.h"

namespace {

struct ErrorText {
    LONG code;
    const char *text;
};

constexpr ErrorText kErrors[] = {
    {JEXM_ERR_NULLARG, "JEXM: a required pointer argument is missing"},
    {JEXM_ERR_BADIMAGE, "JEXM: the image handle does not name a live image"},
    {JEXM_ERR_BADZONE, "JEXM: the zone handle does not name a live zone"},
    {JEXM_ERR_BADPALETTE, "JEXM: the palette handle does not name a live palette object"},
    {JEXM_ERR_NOPAGE, "JEXM: the image holds no page yet"},
    {JEXM_ERR_BADTAG, "JEXM: this tag or attribute is not supported here"},
    {JEXM_ERR_BADVALUE, "JEXM: the value is out of range"},
    {JEXM_ERR_BADFORMAT, "JEXM: the format code is unknown or inconsistent"},
    {JEXM_ERR_BADRECT, "JEXM: the rectangle lies outside the image"},
    {JEXM_ERR_BADPITCH, "JEXM: the row pitch is smaller than one row"},
    {JEXM_ERR_BUFFER, "JEXM: the buffer is too small"},
    {JEXM_ERR_NOMEMORY, "JEXM: out of memory"},
    {JEXM_ERR_TOOBIG, "JEXM: the page is too large"},
    {JEXM_ERR_TOOMANY, "JEXM: too many images, zones or palette objects are open"},
    {JEXM_ERR_NOCOLORMAP, "JEXM: a colour image has no colour table"},
    {JEXM_ERR_PALSTATE, "JEXM: the palette object must be sized, filled and finished in that order"},
    {JEXM_ERR_CONVERT, "JEXM: the image cannot be delivered in this format"},
    {JEXM_ERR_DISPLAY, "JEXM: the display library is not started"},
    {JEXM_ERR_BADWINDOW, "JEXM: the window, device context or drawing area cannot be used"},
    {JEXM_ERR_DRAW, "JEXM: drawing the image failed"},
    {JEXM_ERR_BADARG, "JEXM: an argument is out of range"},
    {JEXM_ERR_GONE, "JEXM: that call is no longer recorded"},
};
static_assert(sizeof(kErrors) / sizeof(kErrors[0]) == 22, "one text per JEXM_ERR_ code");

}  // namespace

LONG WINAPI JexmKitErrorText(LONG error, LPSTR buf, LONG size) {
    for (const ErrorText &e : kErrors) {
        if (e.code != error) continue;
        if (!buf || size <= 0 || IsBadWritePtr(buf, (UINT_PTR)size)) return JEXM_ERR_NULLARG;
        lstrcpynA(buf, e.text, size);
        return 0;
    }
    return JEXM_ERR_BADVALUE;
}
