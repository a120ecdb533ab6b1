// The numbering of the allophone inventory and the class bits of its entries.
// The transcription rules compute with this numbering (a voiceless obstruent is
// its voiced partner + 14, a soft consonant its plain partner + 1), so every
// allophone file must follow it.
#pragma once

#include <cstdint>

namespace vokar::allo {

// Vowels 1-8 (a e i o u y ą ę), their soft forms 9-16 (ia ie - io iu - ią ię),
// accented forms + 16, phrase-final forms + 32.
inline constexpr int kA = 1, kE = 2, kI = 3, kO = 4, kU = 5, kY = 6, kANasal = 7, kENasal = 8;
inline constexpr int kIa = 9, kIe = 10, kIo = 12, kIu = 13, kIaNasal = 15, kIeNasal = 16;
inline constexpr int kAccentOffset = 16;
inline constexpr int kFinalOffset = 32;
inline constexpr int kIiAccented = 19;

inline constexpr int kB = 49, kD = 51, kG = 53, kW = 55, kWSoft = 56, kZ = 57, kZi = 58, kZh = 59;
inline constexpr int kDz = 60, kDzi = 61, kDzh = 62;
inline constexpr int kP = 63, kT = 65, kK = 67, kF = 69, kS = 71, kSi = 72, kSz = 73;
inline constexpr int kC = 74, kCi = 75, kCz = 76;
inline constexpr int kFirstVoiced = 49, kLastVoiced = 62;
inline constexpr int kFirstVoiceless = 63, kLastVoiceless = 76;
inline constexpr int kVoicingOffset = 14;

inline constexpr int kM = 77, kMSoft = 78, kN = 79, kNi = 80, kNVelar = 81, kNBeforeN = 82;
inline constexpr int kMFinal = 83, kNFinal = 84;
inline constexpr int kH = 85, kHSoft = 86, kCh = 87, kChi = 88;
inline constexpr int kL = 89, kLSoft = 90, kUGlide = 91, kLDarkFinal = 92, kLDark = 93;
inline constexpr int kR = 94, kRSoft = 95, kIGlide = 96, kJ = 97;

inline constexpr int kPauseDoubleLetter = 106;
inline constexpr int kPauseInterWord = 107;
inline constexpr int kPausePunctuation = 108;
inline constexpr int kPauseInterSentence = 109;
inline constexpr int kDefault = 110;
inline constexpr int kNull = 111;
inline constexpr int kNothing = 112;
// A control token's code c becomes the pseudo-allophone kControlBase + c.
inline constexpr int kControlBase = 113;

}  // namespace vokar::allo

namespace vokar::classbits {

inline constexpr std::uint16_t kPause = 0x0002;
inline constexpr std::uint16_t kVowel = 0x0004;
inline constexpr std::uint16_t kObstruent = 0x0010;
inline constexpr std::uint16_t kNasalBeforeN1 = 0x0020;
inline constexpr std::uint16_t kNasalBeforeM = 0x0040;
inline constexpr std::uint16_t kNasalBeforeN2 = 0x0080;
inline constexpr std::uint16_t kDenasalise = 0x0200;
inline constexpr std::uint16_t kNasalBeforeNSoft = 0x0400;
inline constexpr std::uint16_t kVoiced = 0x1000;
inline constexpr std::uint16_t kVoiceless = 0x2000;
inline constexpr std::uint16_t kSoft = 0x4000;
inline constexpr std::uint16_t kNasal = 0x8000;

}  // namespace vokar::classbits
