#include "Dump.h"

#include <cstdio>
#include <string>

#include "AllophoneIndex.h"
#include "Cp1250.h"

namespace vokar::vksay {
namespace {

const char* ControlName(int code) {
  switch (static_cast<ControlCode>(code)) {
    case ControlCode::Device: return "device";
    case ControlCode::Pitch: return "pitch";
    case ControlCode::Balance: return "balance";
    case ControlCode::Reset: return "reset";
    case ControlCode::Speed: return "speed";
    case ControlCode::Volume: return "volume";
    case ControlCode::WaveInsert: return "wave";
    default: return "control";
  }
}

const char* Kind(const CWordToken& token) {
  if (token.allophoneList) return "list";
  if (token.control) return "control";
  const auto first = static_cast<unsigned char>(token.text.empty() ? 0 : token.text[0]);
  if (first == kBoundarySpelled || first == kBoundaryFigure || first == kBoundaryDigit) return "boundary";
  if (cp1250::IsAlpha(first)) return "word";
  return "punct";
}

// The token's text as UTF-8, with control bytes written as \xNN.
std::string Printable(const CWordToken& token) {
  std::string out;
  for (unsigned char c : token.text) {
    if (c < 32 || c == '"' || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += cp1250::ToUtf8(std::string(1, static_cast<char>(c)));
    }
  }
  return out;
}

}  // namespace

void DumpUtterance(std::ostream& out, int number, const CUtterance& utterance, const CAllophoneDb& db) {
  out << "utterance " << number << '\n';
  for (const CWordToken& token : utterance.Tokens()) {
    out << "  " << Kind(token) << " \"" << Printable(token) << "\" accent=" << token.accent
        << (token.accentBearing ? " stressed" : "") << ':';
    const auto& seq = token.allophones;
    if (token.control && !seq.empty()) {
      out << ' ' << ControlName(seq[0].index - allo::kControlBase);
      for (std::size_t i = 1; i < seq.size(); ++i) {
        if (i == 1) out << '=' << seq[i].index;
        else out << ' ' << seq[i].index << ':' << (db.Entry(seq[i].index) ? db.Entry(seq[i].index)->name : "?");
      }
    } else {
      for (const auto& e : seq) {
        const CAllophone* entry = db.Entry(e.index);
        out << ' ' << e.index << ':' << (entry ? entry->name : "?") << (e.fixed ? "*" : "");
      }
    }
    out << '\n';
  }
}

}  // namespace vokar::vksay
