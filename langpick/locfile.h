// Reader of a driver's localisation file: the languages it offers.
//
// The file is UTF-16 little-endian text, with or without a byte-order mark (a first unit
// 0xFEFF or 0xFFFE is skipped). Lines end with CR; an LF right after a CR is skipped. The
// languages are the first run of lines that begin with a decimal digit, each "number=name";
// lines before the run are skipped and the first line after it that does not begin with a digit
// ends the reading. A digit line without "=" gives no language but does not end the run.
//
// The reader is fed the file in pieces of any size (an odd trailing byte is kept for the next
// piece, and ignored at the end), so a file of any length is read in bounded memory.
#pragma once

#include <cstddef>

// Longest line taken; the rest of a longer line is dropped up to its line end.
constexpr size_t kLocMaxLine = 255;
// Most languages taken from one file, the most entries a list box is sure to hold; reading
// ends there. No real file comes near it (kLocMaxBytes bounds the time of a hostile one).
constexpr size_t kLocMaxLanguages = 32767;
// Most bytes read from one file before giving up on finding (the end of) the run.
constexpr unsigned long kLocMaxBytes = 64ul * 1024 * 1024;

// Receives one language: its number (the leading digits, saturated at LONG_MAX) and its name
// (the text after the first "=", at most kLocMaxLine characters, terminated). The name is only
// valid during the call.
using LocLanguageFn = void (*)(void *context, long number, const wchar_t *name);

// Reading state; zero-initialise it with LocReaderInit.
struct LocReader {
    LocLanguageFn onLanguage;  // set by LocReaderInit
    void *context;             // handed to onLanguage
    bool started;              // the first 16-bit unit (a possible byte-order mark) was seen
    bool haveByte;             // an odd byte waits for its partner
    unsigned char byte;        // that byte
    bool afterCr;              // the previous unit was a CR: an LF now is skipped
    bool inRun;                // a digit line was seen
    bool done;                 // the run ended or the language limit was reached
    size_t languages;          // languages handed out
    size_t length;             // characters in line
    wchar_t line[kLocMaxLine + 1];
};

void LocReaderInit(LocReader *reader, LocLanguageFn onLanguage, void *context);
// Feeds the next bytes of the file. Returns false once the reading is over (further bytes are
// ignored), so the caller can stop reading. bytes may be null only when count is 0.
bool LocReaderFeed(LocReader *reader, const unsigned char *bytes, size_t count);
// Ends the file: a last line without line end still counts.
void LocReaderFinish(LocReader *reader);

// Reads the file at path (opened read-only, shared for reading). Returns false, having reported
// nothing, when the file cannot be opened; a read error ends the file early.
bool ReadLocFile(const wchar_t *path, LocLanguageFn onLanguage, void *context);
