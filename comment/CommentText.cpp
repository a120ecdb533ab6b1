#include "CommentText.h"

#include "Cp1250.h"
#include "Utf8.h"

namespace vokar::comment {

FileText ToFileText(std::string_view utf8Text) {
  FileText out;
  out.cp1250.reserve(utf8Text.size() + utf8Text.size() / 16);
  std::size_t pos = 0;
  while (pos < utf8Text.size()) {
    const long decoded = utf8::DecodeOne(utf8Text, pos);
    const char32_t c = decoded < 0 ? U'\uFFFD' : static_cast<char32_t>(decoded);
    if (c == U'\r') {
      if (pos < utf8Text.size() && utf8Text[pos] == '\n') ++pos;
      out.cp1250 += "\r\n";
      continue;
    }
    if (c == U'\n' || c == U'\u2028' || c == U'\u2029') {
      out.cp1250 += "\r\n";
      continue;
    }
    const unsigned char byte = cp1250::FromUnicode(c);
    if (byte == '?' && c != U'?' && out.unheld.find(c) == std::u32string::npos) out.unheld.push_back(c);
    out.cp1250.push_back(static_cast<char>(byte));
  }
  return out;
}

std::string ToEditorText(std::string_view cp1250Text) {
  std::string out;
  out.reserve(cp1250Text.size() + cp1250Text.size() / 4);
  for (std::size_t i = 0; i < cp1250Text.size(); ++i) {
    const char c = cp1250Text[i];
    if (c == '\r') {
      if (i + 1 < cp1250Text.size() && cp1250Text[i + 1] == '\n') ++i;
      out.push_back('\n');
    } else {
      utf8::Append(out, cp1250::ToUnicode(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

}  // namespace vokar::comment
