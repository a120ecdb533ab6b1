#include "Cp1250.h"

#include "Utf8.h"

#include <array>

namespace vokar::cp1250 {
namespace {

enum : std::uint8_t { kLetter = 1, kUpper = 2, kLower = 4 };

struct ByteInfo {
  std::uint16_t codePoint;
  std::uint8_t flags;
  std::uint8_t upper;
  std::uint8_t lower;
};

// Generated from the Unicode data of each character of the code page.
constexpr std::array<ByteInfo, 256> kTable{{
    {0x0000, 0, 0x00, 0x00},  // 00 
    {0x0001, 0, 0x01, 0x01},  // 01 
    {0x0002, 0, 0x02, 0x02},  // 02 
    {0x0003, 0, 0x03, 0x03},  // 03 
    {0x0004, 0, 0x04, 0x04},  // 04 
    {0x0005, 0, 0x05, 0x05},  // 05 
    {0x0006, 0, 0x06, 0x06},  // 06 
    {0x0007, 0, 0x07, 0x07},  // 07 
    {0x0008, 0, 0x08, 0x08},  // 08 
    {0x0009, 0, 0x09, 0x09},  // 09 
    {0x000A, 0, 0x0A, 0x0A},  // 0A 
    {0x000B, 0, 0x0B, 0x0B},  // 0B 
    {0x000C, 0, 0x0C, 0x0C},  // 0C 
    {0x000D, 0, 0x0D, 0x0D},  // 0D 
    {0x000E, 0, 0x0E, 0x0E},  // 0E 
    {0x000F, 0, 0x0F, 0x0F},  // 0F 
    {0x0010, 0, 0x10, 0x10},  // 10 
    {0x0011, 0, 0x11, 0x11},  // 11 
    {0x0012, 0, 0x12, 0x12},  // 12 
    {0x0013, 0, 0x13, 0x13},  // 13 
    {0x0014, 0, 0x14, 0x14},  // 14 
    {0x0015, 0, 0x15, 0x15},  // 15 
    {0x0016, 0, 0x16, 0x16},  // 16 
    {0x0017, 0, 0x17, 0x17},  // 17 
    {0x0018, 0, 0x18, 0x18},  // 18 
    {0x0019, 0, 0x19, 0x19},  // 19 
    {0x001A, 0, 0x1A, 0x1A},  // 1A 
    {0x001B, 0, 0x1B, 0x1B},  // 1B 
    {0x001C, 0, 0x1C, 0x1C},  // 1C 
    {0x001D, 0, 0x1D, 0x1D},  // 1D 
    {0x001E, 0, 0x1E, 0x1E},  // 1E 
    {0x001F, 0, 0x1F, 0x1F},  // 1F 
    {0x0020, 0, 0x20, 0x20},  // 20 SPACE
    {0x0021, 0, 0x21, 0x21},  // 21 EXCLAMATION MARK
    {0x0022, 0, 0x22, 0x22},  // 22 QUOTATION MARK
    {0x0023, 0, 0x23, 0x23},  // 23 NUMBER SIGN
    {0x0024, 0, 0x24, 0x24},  // 24 DOLLAR SIGN
    {0x0025, 0, 0x25, 0x25},  // 25 PERCENT SIGN
    {0x0026, 0, 0x26, 0x26},  // 26 AMPERSAND
    {0x0027, 0, 0x27, 0x27},  // 27 APOSTROPHE
    {0x0028, 0, 0x28, 0x28},  // 28 LEFT PARENTHESIS
    {0x0029, 0, 0x29, 0x29},  // 29 RIGHT PARENTHESIS
    {0x002A, 0, 0x2A, 0x2A},  // 2A ASTERISK
    {0x002B, 0, 0x2B, 0x2B},  // 2B PLUS SIGN
    {0x002C, 0, 0x2C, 0x2C},  // 2C COMMA
    {0x002D, 0, 0x2D, 0x2D},  // 2D HYPHEN-MINUS
    {0x002E, 0, 0x2E, 0x2E},  // 2E FULL STOP
    {0x002F, 0, 0x2F, 0x2F},  // 2F SOLIDUS
    {0x0030, 0, 0x30, 0x30},  // 30 DIGIT ZERO
    {0x0031, 0, 0x31, 0x31},  // 31 DIGIT ONE
    {0x0032, 0, 0x32, 0x32},  // 32 DIGIT TWO
    {0x0033, 0, 0x33, 0x33},  // 33 DIGIT THREE
    {0x0034, 0, 0x34, 0x34},  // 34 DIGIT FOUR
    {0x0035, 0, 0x35, 0x35},  // 35 DIGIT FIVE
    {0x0036, 0, 0x36, 0x36},  // 36 DIGIT SIX
    {0x0037, 0, 0x37, 0x37},  // 37 DIGIT SEVEN
    {0x0038, 0, 0x38, 0x38},  // 38 DIGIT EIGHT
    {0x0039, 0, 0x39, 0x39},  // 39 DIGIT NINE
    {0x003A, 0, 0x3A, 0x3A},  // 3A COLON
    {0x003B, 0, 0x3B, 0x3B},  // 3B SEMICOLON
    {0x003C, 0, 0x3C, 0x3C},  // 3C LESS-THAN SIGN
    {0x003D, 0, 0x3D, 0x3D},  // 3D EQUALS SIGN
    {0x003E, 0, 0x3E, 0x3E},  // 3E GREATER-THAN SIGN
    {0x003F, 0, 0x3F, 0x3F},  // 3F QUESTION MARK
    {0x0040, 0, 0x40, 0x40},  // 40 COMMERCIAL AT
    {0x0041, kLetter|kUpper, 0x41, 0x61},  // 41 LATIN CAPITAL LETTER A
    {0x0042, kLetter|kUpper, 0x42, 0x62},  // 42 LATIN CAPITAL LETTER B
    {0x0043, kLetter|kUpper, 0x43, 0x63},  // 43 LATIN CAPITAL LETTER C
    {0x0044, kLetter|kUpper, 0x44, 0x64},  // 44 LATIN CAPITAL LETTER D
    {0x0045, kLetter|kUpper, 0x45, 0x65},  // 45 LATIN CAPITAL LETTER E
    {0x0046, kLetter|kUpper, 0x46, 0x66},  // 46 LATIN CAPITAL LETTER F
    {0x0047, kLetter|kUpper, 0x47, 0x67},  // 47 LATIN CAPITAL LETTER G
    {0x0048, kLetter|kUpper, 0x48, 0x68},  // 48 LATIN CAPITAL LETTER H
    {0x0049, kLetter|kUpper, 0x49, 0x69},  // 49 LATIN CAPITAL LETTER I
    {0x004A, kLetter|kUpper, 0x4A, 0x6A},  // 4A LATIN CAPITAL LETTER J
    {0x004B, kLetter|kUpper, 0x4B, 0x6B},  // 4B LATIN CAPITAL LETTER K
    {0x004C, kLetter|kUpper, 0x4C, 0x6C},  // 4C LATIN CAPITAL LETTER L
    {0x004D, kLetter|kUpper, 0x4D, 0x6D},  // 4D LATIN CAPITAL LETTER M
    {0x004E, kLetter|kUpper, 0x4E, 0x6E},  // 4E LATIN CAPITAL LETTER N
    {0x004F, kLetter|kUpper, 0x4F, 0x6F},  // 4F LATIN CAPITAL LETTER O
    {0x0050, kLetter|kUpper, 0x50, 0x70},  // 50 LATIN CAPITAL LETTER P
    {0x0051, kLetter|kUpper, 0x51, 0x71},  // 51 LATIN CAPITAL LETTER Q
    {0x0052, kLetter|kUpper, 0x52, 0x72},  // 52 LATIN CAPITAL LETTER R
    {0x0053, kLetter|kUpper, 0x53, 0x73},  // 53 LATIN CAPITAL LETTER S
    {0x0054, kLetter|kUpper, 0x54, 0x74},  // 54 LATIN CAPITAL LETTER T
    {0x0055, kLetter|kUpper, 0x55, 0x75},  // 55 LATIN CAPITAL LETTER U
    {0x0056, kLetter|kUpper, 0x56, 0x76},  // 56 LATIN CAPITAL LETTER V
    {0x0057, kLetter|kUpper, 0x57, 0x77},  // 57 LATIN CAPITAL LETTER W
    {0x0058, kLetter|kUpper, 0x58, 0x78},  // 58 LATIN CAPITAL LETTER X
    {0x0059, kLetter|kUpper, 0x59, 0x79},  // 59 LATIN CAPITAL LETTER Y
    {0x005A, kLetter|kUpper, 0x5A, 0x7A},  // 5A LATIN CAPITAL LETTER Z
    {0x005B, 0, 0x5B, 0x5B},  // 5B LEFT SQUARE BRACKET
    {0x005C, 0, 0x5C, 0x5C},  // 5C REVERSE SOLIDUS
    {0x005D, 0, 0x5D, 0x5D},  // 5D RIGHT SQUARE BRACKET
    {0x005E, 0, 0x5E, 0x5E},  // 5E CIRCUMFLEX ACCENT
    {0x005F, 0, 0x5F, 0x5F},  // 5F LOW LINE
    {0x0060, 0, 0x60, 0x60},  // 60 GRAVE ACCENT
    {0x0061, kLetter|kLower, 0x41, 0x61},  // 61 LATIN SMALL LETTER A
    {0x0062, kLetter|kLower, 0x42, 0x62},  // 62 LATIN SMALL LETTER B
    {0x0063, kLetter|kLower, 0x43, 0x63},  // 63 LATIN SMALL LETTER C
    {0x0064, kLetter|kLower, 0x44, 0x64},  // 64 LATIN SMALL LETTER D
    {0x0065, kLetter|kLower, 0x45, 0x65},  // 65 LATIN SMALL LETTER E
    {0x0066, kLetter|kLower, 0x46, 0x66},  // 66 LATIN SMALL LETTER F
    {0x0067, kLetter|kLower, 0x47, 0x67},  // 67 LATIN SMALL LETTER G
    {0x0068, kLetter|kLower, 0x48, 0x68},  // 68 LATIN SMALL LETTER H
    {0x0069, kLetter|kLower, 0x49, 0x69},  // 69 LATIN SMALL LETTER I
    {0x006A, kLetter|kLower, 0x4A, 0x6A},  // 6A LATIN SMALL LETTER J
    {0x006B, kLetter|kLower, 0x4B, 0x6B},  // 6B LATIN SMALL LETTER K
    {0x006C, kLetter|kLower, 0x4C, 0x6C},  // 6C LATIN SMALL LETTER L
    {0x006D, kLetter|kLower, 0x4D, 0x6D},  // 6D LATIN SMALL LETTER M
    {0x006E, kLetter|kLower, 0x4E, 0x6E},  // 6E LATIN SMALL LETTER N
    {0x006F, kLetter|kLower, 0x4F, 0x6F},  // 6F LATIN SMALL LETTER O
    {0x0070, kLetter|kLower, 0x50, 0x70},  // 70 LATIN SMALL LETTER P
    {0x0071, kLetter|kLower, 0x51, 0x71},  // 71 LATIN SMALL LETTER Q
    {0x0072, kLetter|kLower, 0x52, 0x72},  // 72 LATIN SMALL LETTER R
    {0x0073, kLetter|kLower, 0x53, 0x73},  // 73 LATIN SMALL LETTER S
    {0x0074, kLetter|kLower, 0x54, 0x74},  // 74 LATIN SMALL LETTER T
    {0x0075, kLetter|kLower, 0x55, 0x75},  // 75 LATIN SMALL LETTER U
    {0x0076, kLetter|kLower, 0x56, 0x76},  // 76 LATIN SMALL LETTER V
    {0x0077, kLetter|kLower, 0x57, 0x77},  // 77 LATIN SMALL LETTER W
    {0x0078, kLetter|kLower, 0x58, 0x78},  // 78 LATIN SMALL LETTER X
    {0x0079, kLetter|kLower, 0x59, 0x79},  // 79 LATIN SMALL LETTER Y
    {0x007A, kLetter|kLower, 0x5A, 0x7A},  // 7A LATIN SMALL LETTER Z
    {0x007B, 0, 0x7B, 0x7B},  // 7B LEFT CURLY BRACKET
    {0x007C, 0, 0x7C, 0x7C},  // 7C VERTICAL LINE
    {0x007D, 0, 0x7D, 0x7D},  // 7D RIGHT CURLY BRACKET
    {0x007E, 0, 0x7E, 0x7E},  // 7E TILDE
    {0x007F, 0, 0x7F, 0x7F},  // 7F 
    {0x20AC, 0, 0x80, 0x80},  // 80 EURO SIGN
    {0x0081, 0, 0x81, 0x81},  // 81 undefined
    {0x201A, 0, 0x82, 0x82},  // 82 SINGLE LOW-9 QUOTATION MARK
    {0x0083, 0, 0x83, 0x83},  // 83 undefined
    {0x201E, 0, 0x84, 0x84},  // 84 DOUBLE LOW-9 QUOTATION MARK
    {0x2026, 0, 0x85, 0x85},  // 85 HORIZONTAL ELLIPSIS
    {0x2020, 0, 0x86, 0x86},  // 86 DAGGER
    {0x2021, 0, 0x87, 0x87},  // 87 DOUBLE DAGGER
    {0x0088, 0, 0x88, 0x88},  // 88 undefined
    {0x2030, 0, 0x89, 0x89},  // 89 PER MILLE SIGN
    {0x0160, kLetter|kUpper, 0x8A, 0x9A},  // 8A LATIN CAPITAL LETTER S WITH CARON
    {0x2039, 0, 0x8B, 0x8B},  // 8B SINGLE LEFT-POINTING ANGLE QUOTATION MARK
    {0x015A, kLetter|kUpper, 0x8C, 0x9C},  // 8C LATIN CAPITAL LETTER S WITH ACUTE
    {0x0164, kLetter|kUpper, 0x8D, 0x9D},  // 8D LATIN CAPITAL LETTER T WITH CARON
    {0x017D, kLetter|kUpper, 0x8E, 0x9E},  // 8E LATIN CAPITAL LETTER Z WITH CARON
    {0x0179, kLetter|kUpper, 0x8F, 0x9F},  // 8F LATIN CAPITAL LETTER Z WITH ACUTE
    {0x0090, 0, 0x90, 0x90},  // 90 undefined
    {0x2018, 0, 0x91, 0x91},  // 91 LEFT SINGLE QUOTATION MARK
    {0x2019, 0, 0x92, 0x92},  // 92 RIGHT SINGLE QUOTATION MARK
    {0x201C, 0, 0x93, 0x93},  // 93 LEFT DOUBLE QUOTATION MARK
    {0x201D, 0, 0x94, 0x94},  // 94 RIGHT DOUBLE QUOTATION MARK
    {0x2022, 0, 0x95, 0x95},  // 95 BULLET
    {0x2013, 0, 0x96, 0x96},  // 96 EN DASH
    {0x2014, 0, 0x97, 0x97},  // 97 EM DASH
    {0x0098, 0, 0x98, 0x98},  // 98 undefined
    {0x2122, 0, 0x99, 0x99},  // 99 TRADE MARK SIGN
    {0x0161, kLetter|kLower, 0x8A, 0x9A},  // 9A LATIN SMALL LETTER S WITH CARON
    {0x203A, 0, 0x9B, 0x9B},  // 9B SINGLE RIGHT-POINTING ANGLE QUOTATION MARK
    {0x015B, kLetter|kLower, 0x8C, 0x9C},  // 9C LATIN SMALL LETTER S WITH ACUTE
    {0x0165, kLetter|kLower, 0x8D, 0x9D},  // 9D LATIN SMALL LETTER T WITH CARON
    {0x017E, kLetter|kLower, 0x8E, 0x9E},  // 9E LATIN SMALL LETTER Z WITH CARON
    {0x017A, kLetter|kLower, 0x8F, 0x9F},  // 9F LATIN SMALL LETTER Z WITH ACUTE
    {0x00A0, 0, 0xA0, 0xA0},  // A0 NO-BREAK SPACE
    {0x02C7, kLetter, 0xA1, 0xA1},  // A1 CARON
    {0x02D8, 0, 0xA2, 0xA2},  // A2 BREVE
    {0x0141, kLetter|kUpper, 0xA3, 0xB3},  // A3 LATIN CAPITAL LETTER L WITH STROKE
    {0x00A4, 0, 0xA4, 0xA4},  // A4 CURRENCY SIGN
    {0x0104, kLetter|kUpper, 0xA5, 0xB9},  // A5 LATIN CAPITAL LETTER A WITH OGONEK
    {0x00A6, 0, 0xA6, 0xA6},  // A6 BROKEN BAR
    {0x00A7, 0, 0xA7, 0xA7},  // A7 SECTION SIGN
    {0x00A8, 0, 0xA8, 0xA8},  // A8 DIAERESIS
    {0x00A9, 0, 0xA9, 0xA9},  // A9 COPYRIGHT SIGN
    {0x015E, kLetter|kUpper, 0xAA, 0xBA},  // AA LATIN CAPITAL LETTER S WITH CEDILLA
    {0x00AB, 0, 0xAB, 0xAB},  // AB LEFT-POINTING DOUBLE ANGLE QUOTATION MARK
    {0x00AC, 0, 0xAC, 0xAC},  // AC NOT SIGN
    {0x00AD, 0, 0xAD, 0xAD},  // AD SOFT HYPHEN
    {0x00AE, 0, 0xAE, 0xAE},  // AE REGISTERED SIGN
    {0x017B, kLetter|kUpper, 0xAF, 0xBF},  // AF LATIN CAPITAL LETTER Z WITH DOT ABOVE
    {0x00B0, 0, 0xB0, 0xB0},  // B0 DEGREE SIGN
    {0x00B1, 0, 0xB1, 0xB1},  // B1 PLUS-MINUS SIGN
    {0x02DB, 0, 0xB2, 0xB2},  // B2 OGONEK
    {0x0142, kLetter|kLower, 0xA3, 0xB3},  // B3 LATIN SMALL LETTER L WITH STROKE
    {0x00B4, 0, 0xB4, 0xB4},  // B4 ACUTE ACCENT
    {0x00B5, kLetter|kLower, 0xB5, 0xB5},  // B5 MICRO SIGN
    {0x00B6, 0, 0xB6, 0xB6},  // B6 PILCROW SIGN
    {0x00B7, 0, 0xB7, 0xB7},  // B7 MIDDLE DOT
    {0x00B8, 0, 0xB8, 0xB8},  // B8 CEDILLA
    {0x0105, kLetter|kLower, 0xA5, 0xB9},  // B9 LATIN SMALL LETTER A WITH OGONEK
    {0x015F, kLetter|kLower, 0xAA, 0xBA},  // BA LATIN SMALL LETTER S WITH CEDILLA
    {0x00BB, 0, 0xBB, 0xBB},  // BB RIGHT-POINTING DOUBLE ANGLE QUOTATION MARK
    {0x013D, kLetter|kUpper, 0xBC, 0xBE},  // BC LATIN CAPITAL LETTER L WITH CARON
    {0x02DD, 0, 0xBD, 0xBD},  // BD DOUBLE ACUTE ACCENT
    {0x013E, kLetter|kLower, 0xBC, 0xBE},  // BE LATIN SMALL LETTER L WITH CARON
    {0x017C, kLetter|kLower, 0xAF, 0xBF},  // BF LATIN SMALL LETTER Z WITH DOT ABOVE
    {0x0154, kLetter|kUpper, 0xC0, 0xE0},  // C0 LATIN CAPITAL LETTER R WITH ACUTE
    {0x00C1, kLetter|kUpper, 0xC1, 0xE1},  // C1 LATIN CAPITAL LETTER A WITH ACUTE
    {0x00C2, kLetter|kUpper, 0xC2, 0xE2},  // C2 LATIN CAPITAL LETTER A WITH CIRCUMFLEX
    {0x0102, kLetter|kUpper, 0xC3, 0xE3},  // C3 LATIN CAPITAL LETTER A WITH BREVE
    {0x00C4, kLetter|kUpper, 0xC4, 0xE4},  // C4 LATIN CAPITAL LETTER A WITH DIAERESIS
    {0x0139, kLetter|kUpper, 0xC5, 0xE5},  // C5 LATIN CAPITAL LETTER L WITH ACUTE
    {0x0106, kLetter|kUpper, 0xC6, 0xE6},  // C6 LATIN CAPITAL LETTER C WITH ACUTE
    {0x00C7, kLetter|kUpper, 0xC7, 0xE7},  // C7 LATIN CAPITAL LETTER C WITH CEDILLA
    {0x010C, kLetter|kUpper, 0xC8, 0xE8},  // C8 LATIN CAPITAL LETTER C WITH CARON
    {0x00C9, kLetter|kUpper, 0xC9, 0xE9},  // C9 LATIN CAPITAL LETTER E WITH ACUTE
    {0x0118, kLetter|kUpper, 0xCA, 0xEA},  // CA LATIN CAPITAL LETTER E WITH OGONEK
    {0x00CB, kLetter|kUpper, 0xCB, 0xEB},  // CB LATIN CAPITAL LETTER E WITH DIAERESIS
    {0x011A, kLetter|kUpper, 0xCC, 0xEC},  // CC LATIN CAPITAL LETTER E WITH CARON
    {0x00CD, kLetter|kUpper, 0xCD, 0xED},  // CD LATIN CAPITAL LETTER I WITH ACUTE
    {0x00CE, kLetter|kUpper, 0xCE, 0xEE},  // CE LATIN CAPITAL LETTER I WITH CIRCUMFLEX
    {0x010E, kLetter|kUpper, 0xCF, 0xEF},  // CF LATIN CAPITAL LETTER D WITH CARON
    {0x0110, kLetter|kUpper, 0xD0, 0xF0},  // D0 LATIN CAPITAL LETTER D WITH STROKE
    {0x0143, kLetter|kUpper, 0xD1, 0xF1},  // D1 LATIN CAPITAL LETTER N WITH ACUTE
    {0x0147, kLetter|kUpper, 0xD2, 0xF2},  // D2 LATIN CAPITAL LETTER N WITH CARON
    {0x00D3, kLetter|kUpper, 0xD3, 0xF3},  // D3 LATIN CAPITAL LETTER O WITH ACUTE
    {0x00D4, kLetter|kUpper, 0xD4, 0xF4},  // D4 LATIN CAPITAL LETTER O WITH CIRCUMFLEX
    {0x0150, kLetter|kUpper, 0xD5, 0xF5},  // D5 LATIN CAPITAL LETTER O WITH DOUBLE ACUTE
    {0x00D6, kLetter|kUpper, 0xD6, 0xF6},  // D6 LATIN CAPITAL LETTER O WITH DIAERESIS
    {0x00D7, 0, 0xD7, 0xD7},  // D7 MULTIPLICATION SIGN
    {0x0158, kLetter|kUpper, 0xD8, 0xF8},  // D8 LATIN CAPITAL LETTER R WITH CARON
    {0x016E, kLetter|kUpper, 0xD9, 0xF9},  // D9 LATIN CAPITAL LETTER U WITH RING ABOVE
    {0x00DA, kLetter|kUpper, 0xDA, 0xFA},  // DA LATIN CAPITAL LETTER U WITH ACUTE
    {0x0170, kLetter|kUpper, 0xDB, 0xFB},  // DB LATIN CAPITAL LETTER U WITH DOUBLE ACUTE
    {0x00DC, kLetter|kUpper, 0xDC, 0xFC},  // DC LATIN CAPITAL LETTER U WITH DIAERESIS
    {0x00DD, kLetter|kUpper, 0xDD, 0xFD},  // DD LATIN CAPITAL LETTER Y WITH ACUTE
    {0x0162, kLetter|kUpper, 0xDE, 0xFE},  // DE LATIN CAPITAL LETTER T WITH CEDILLA
    {0x00DF, kLetter|kLower, 0xDF, 0xDF},  // DF LATIN SMALL LETTER SHARP S
    {0x0155, kLetter|kLower, 0xC0, 0xE0},  // E0 LATIN SMALL LETTER R WITH ACUTE
    {0x00E1, kLetter|kLower, 0xC1, 0xE1},  // E1 LATIN SMALL LETTER A WITH ACUTE
    {0x00E2, kLetter|kLower, 0xC2, 0xE2},  // E2 LATIN SMALL LETTER A WITH CIRCUMFLEX
    {0x0103, kLetter|kLower, 0xC3, 0xE3},  // E3 LATIN SMALL LETTER A WITH BREVE
    {0x00E4, kLetter|kLower, 0xC4, 0xE4},  // E4 LATIN SMALL LETTER A WITH DIAERESIS
    {0x013A, kLetter|kLower, 0xC5, 0xE5},  // E5 LATIN SMALL LETTER L WITH ACUTE
    {0x0107, kLetter|kLower, 0xC6, 0xE6},  // E6 LATIN SMALL LETTER C WITH ACUTE
    {0x00E7, kLetter|kLower, 0xC7, 0xE7},  // E7 LATIN SMALL LETTER C WITH CEDILLA
    {0x010D, kLetter|kLower, 0xC8, 0xE8},  // E8 LATIN SMALL LETTER C WITH CARON
    {0x00E9, kLetter|kLower, 0xC9, 0xE9},  // E9 LATIN SMALL LETTER E WITH ACUTE
    {0x0119, kLetter|kLower, 0xCA, 0xEA},  // EA LATIN SMALL LETTER E WITH OGONEK
    {0x00EB, kLetter|kLower, 0xCB, 0xEB},  // EB LATIN SMALL LETTER E WITH DIAERESIS
    {0x011B, kLetter|kLower, 0xCC, 0xEC},  // EC LATIN SMALL LETTER E WITH CARON
    {0x00ED, kLetter|kLower, 0xCD, 0xED},  // ED LATIN SMALL LETTER I WITH ACUTE
    {0x00EE, kLetter|kLower, 0xCE, 0xEE},  // EE LATIN SMALL LETTER I WITH CIRCUMFLEX
    {0x010F, kLetter|kLower, 0xCF, 0xEF},  // EF LATIN SMALL LETTER D WITH CARON
    {0x0111, kLetter|kLower, 0xD0, 0xF0},  // F0 LATIN SMALL LETTER D WITH STROKE
    {0x0144, kLetter|kLower, 0xD1, 0xF1},  // F1 LATIN SMALL LETTER N WITH ACUTE
    {0x0148, kLetter|kLower, 0xD2, 0xF2},  // F2 LATIN SMALL LETTER N WITH CARON
    {0x00F3, kLetter|kLower, 0xD3, 0xF3},  // F3 LATIN SMALL LETTER O WITH ACUTE
    {0x00F4, kLetter|kLower, 0xD4, 0xF4},  // F4 LATIN SMALL LETTER O WITH CIRCUMFLEX
    {0x0151, kLetter|kLower, 0xD5, 0xF5},  // F5 LATIN SMALL LETTER O WITH DOUBLE ACUTE
    {0x00F6, kLetter|kLower, 0xD6, 0xF6},  // F6 LATIN SMALL LETTER O WITH DIAERESIS
    {0x00F7, 0, 0xF7, 0xF7},  // F7 DIVISION SIGN
    {0x0159, kLetter|kLower, 0xD8, 0xF8},  // F8 LATIN SMALL LETTER R WITH CARON
    {0x016F, kLetter|kLower, 0xD9, 0xF9},  // F9 LATIN SMALL LETTER U WITH RING ABOVE
    {0x00FA, kLetter|kLower, 0xDA, 0xFA},  // FA LATIN SMALL LETTER U WITH ACUTE
    {0x0171, kLetter|kLower, 0xDB, 0xFB},  // FB LATIN SMALL LETTER U WITH DOUBLE ACUTE
    {0x00FC, kLetter|kLower, 0xDC, 0xFC},  // FC LATIN SMALL LETTER U WITH DIAERESIS
    {0x00FD, kLetter|kLower, 0xDD, 0xFD},  // FD LATIN SMALL LETTER Y WITH ACUTE
    {0x0163, kLetter|kLower, 0xDE, 0xFE},  // FE LATIN SMALL LETTER T WITH CEDILLA
    {0x02D9, 0, 0xFF, 0xFF},  // FF DOT ABOVE
}};

}  // namespace

bool IsAlpha(unsigned char c) { return kTable[c].flags & kLetter; }
bool IsUpper(unsigned char c) { return kTable[c].flags & kUpper; }
bool IsLower(unsigned char c) { return kTable[c].flags & kLower; }
unsigned char ToUpper(unsigned char c) { return kTable[c].upper; }
unsigned char ToLower(unsigned char c) { return kTable[c].lower; }

unsigned char FoldPolish(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + ('a' - 'A'));
  switch (c) {
    case 0xA5: return 0xB9;  // Ą
    case 0xC6: return 0xE6;  // Ć
    case 0xCA: return 0xEA;  // Ę
    case 0xA3: return 0xB3;  // Ł
    case 0xD1: return 0xF1;  // Ń
    case 0xD3: return 0xF3;  // Ó
    case 0x8C: return 0x9C;  // Ś
    case 0x8F: return 0x9F;  // Ź
    case 0xAF: return 0xBF;  // Ż
    default: return c;
  }
}

char32_t ToUnicode(unsigned char c) { return kTable[c].codePoint; }

unsigned char FromUnicode(char32_t codePoint) {
  if (codePoint < 0x80) return static_cast<unsigned char>(codePoint);
  // The inverse is built once; 256 entries are searched only on the first call.
  static const auto inverse = [] {
    std::array<std::pair<char32_t, unsigned char>, 128> map{};
    for (int b = 0x80; b < 0x100; ++b) map[b - 0x80] = {kTable[b].codePoint, static_cast<unsigned char>(b)};
    return map;
  }();
  for (const auto& [cp, b] : inverse)
    if (cp == codePoint) return b;
  return '?';
}

std::string ToUtf8(std::string_view cp1250Text) {
  std::string out;
  out.reserve(cp1250Text.size() + cp1250Text.size() / 4);
  for (char c : cp1250Text) utf8::Append(out, ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string FromUtf8(std::string_view utf8Text) {
  std::string out;
  out.reserve(utf8Text.size());
  std::size_t pos = 0;
  while (pos < utf8Text.size()) {
    const long cp = utf8::DecodeOne(utf8Text, pos);
    out += cp < 0 ? '?' : static_cast<char>(FromUnicode(static_cast<char32_t>(cp)));
  }
  return out;
}

bool LooksLikeUtf8(std::string_view bytes) {
  bool nonAscii = false;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t start = pos;
    if (utf8::DecodeOne(bytes, pos) < 0) return false;
    if (pos - start > 1) nonAscii = true;
  }
  return nonAscii;
}

std::string IncomingText(std::string_view bytes, TextEnd end) {
  std::string_view text = bytes;
  if (end == TextEnd::Cut) {
    // A lead byte among the last three whose sequence runs past the end is
    // the start of a character the limit cut off.
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
      const auto c = static_cast<unsigned char>(text[text.size() - back]);
      if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      if (length > back) text.remove_suffix(back);
      break;
    }
  }
  // A byte order mark says UTF-8 was meant; it is never a character of the
  // text, even when a stray byte further on makes the rest code page 1250.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const bool byteOrderMark = text.starts_with(kByteOrderMark);
  if (byteOrderMark) text.remove_prefix(kByteOrderMark.size());
  if (LooksLikeUtf8(text)) return FromUtf8(text);
  if (!byteOrderMark) return std::string(bytes);
  bytes.remove_prefix(kByteOrderMark.size());
  return std::string(bytes);
}

}  // namespace vokar::cp1250
