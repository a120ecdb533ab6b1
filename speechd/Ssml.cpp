#include "Ssml.h"

#include <algorithm>
#include <optional>

#include "Utf8.h"

namespace vokar::speechd {
namespace {

// The longest entity looked at: "&#x10FFFF;" and the named ones fit.
constexpr std::size_t kMaxEntity = 12;
// Elements nested deeper than this are still read, but no longer followed.
constexpr std::size_t kMaxDepth = 256;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameByte(char c) {
  return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '"' && c != '\'' && c != '<';
}

// Decodes the entity at text[at] == '&'; on success appends it and returns
// the bytes it took, else 0.
std::size_t DecodeEntity(std::string_view text, std::size_t at, std::string& out) {
  // The ';' is looked for only as far as the longest entity reaches: a text
  // of many '&' without one is read in one pass, not searched to its end
  // from every '&'.
  const std::size_t found = text.substr(at + 1, kMaxEntity).find(';');
  if (found == std::string_view::npos) return 0;
  const std::size_t semicolon = at + 1 + found;
  const std::string_view body = text.substr(at + 1, semicolon - at - 1);
  const std::size_t length = semicolon - at + 1;
  struct Named {
    std::string_view name;
    char32_t codePoint;
  };
  static constexpr Named kNamed[] = {{"lt", U'<'}, {"gt", U'>'}, {"amp", U'&'}, {"quot", U'"'},
                                     {"apos", U'\''}, {"nbsp", U'\u00A0'}};
  for (const auto& named : kNamed) {
    if (body == named.name) {
      utf8::Append(out, named.codePoint);
      return length;
    }
  }
  if (body.size() < 2 || body[0] != '#') return 0;
  const bool hex = body[1] == 'x' || body[1] == 'X';
  const std::string_view digits = body.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  std::uint32_t value = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return 0;
    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    if (value > 0x10FFFF) return 0;
  }
  // No NUL and no surrogate halves: they are not characters of a text.
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return length;
  utf8::Append(out, static_cast<char32_t>(value));
  return length;
}

// Text with its entities decoded (attribute values and character data).
std::string Decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      if (const std::size_t used = DecodeEntity(text, i, out)) {
        i += used;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

struct Tag {
  std::string name;  // lower case, without a namespace prefix
  bool closing = false;
  bool selfClosing = false;
  std::vector<std::pair<std::string, std::string>> attributes;

  std::optional<std::string> Attribute(std::string_view wanted) const {
    for (const auto& [name, value] : attributes)
      if (name == wanted) return value;
    return std::nullopt;
  }
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// The name without a namespace prefix ("ssml:mark" is a mark).
std::string LocalName(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return Lower(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

// Reads the tag between '<' and '>' (both excluded).
Tag ParseTag(std::string_view inside) {
  Tag tag;
  std::size_t i = 0;
  if (i < inside.size() && inside[i] == '/') {
    tag.closing = true;
    ++i;
  }
  std::size_t start = i;
  while (i < inside.size() && IsNameByte(inside[i])) ++i;
  tag.name = LocalName(inside.substr(start, i - start));
  while (i < inside.size()) {
    while (i < inside.size() && IsSpace(inside[i])) ++i;
    if (i >= inside.size()) break;
    if (inside[i] == '/') {
      tag.selfClosing = true;
      ++i;
      continue;
    }
    start = i;
    while (i < inside.size() && IsNameByte(inside[i])) ++i;
    if (i == start) {
      ++i;  // a stray byte
      continue;
    }
    std::string name = LocalName(inside.substr(start, i - start));
    while (i < inside.size() && IsSpace(inside[i])) ++i;
    std::string value;
    if (i < inside.size() && inside[i] == '=') {
      ++i;
      while (i < inside.size() && IsSpace(inside[i])) ++i;
      if (i < inside.size() && (inside[i] == '"' || inside[i] == '\'')) {
        const char quote = inside[i++];
        const std::size_t close = inside.find(quote, i);
        const std::size_t end = close == std::string_view::npos ? inside.size() : close;
        value = Decoded(inside.substr(i, end - i));
        i = end + 1;
      } else {
        start = i;
        while (i < inside.size() && !IsSpace(inside[i])) ++i;
        value = Decoded(inside.substr(start, i - start));
      }
    }
    tag.attributes.emplace_back(std::move(name), std::move(value));
  }
  return tag;
}

// Where the tag that opens at text[at] == '<' ends (the index of its '>'),
// quoted attribute values included; npos when it never ends.
std::size_t TagEnd(std::string_view text, std::size_t at) {
  char quote = 0;
  for (std::size_t i = at + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    } else if (c == '<') {
      return std::string_view::npos;  // a '<' inside a tag: this was no tag
    }
  }
  return std::string_view::npos;
}

std::string MarkName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) continue;
    out += c;
  }
  if (out.size() > kMaxMarkName) {
    std::size_t cut = kMaxMarkName;
    // Never cut a character in two.
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
  }
  return out;
}

bool SpellsItsContent(const Tag& tag) {
  if (tag.name != "say-as") return false;
  const std::string how = Lower(tag.Attribute("interpret-as").value_or(""));
  return how == "characters" || how == "spell-out" || how == "letters" || how == "verbatim";
}

class Reader {
 public:
  explicit Reader(std::string_view ssml) : ssml_(ssml) {}

  SpeechText Read() {
    std::size_t i = 0;
    while (i < ssml_.size()) {
      const char c = ssml_[i];
      if (c == '&') {
        std::string decoded;
        if (const std::size_t used = DecodeEntity(ssml_, i, decoded)) {
          Append(decoded);
          i += used;
          continue;
        }
      }
      if (c == '<') {
        if (const std::size_t next = Markup(i)) {
          i = next;
          continue;
        }
      }
      Append(std::string_view(&c, 1));
      ++i;
    }
    // Stretches still open at the end run to the end.
    for (const auto& open : open_)
      if (open.spellFrom) CloseSpell(*open.spellFrom);
    return std::move(out_);
  }

 private:
  struct Open {
    std::string name;
    std::optional<std::size_t> spellFrom;  // a spelled stretch began here
  };

  // Handles the markup at ssml_[at] == '<'; returns the index after it, or 0
  // when it is no markup and the '<' is text.
  std::size_t Markup(std::size_t at) {
    const std::string_view rest = ssml_.substr(at);
    auto skipTo = [&](std::string_view end) {
      const std::size_t found = ssml_.find(end, at);
      return found == std::string_view::npos ? ssml_.size() : found + end.size();
    };
    if (rest.starts_with("<!--")) return skipTo("-->");
    if (rest.starts_with("<![CDATA[")) {
      const std::size_t begin = at + 9;
      const std::size_t end = std::min(ssml_.find("]]>", begin), ssml_.size());
      Append(ssml_.substr(begin, end - begin));
      return end == ssml_.size() ? end : end + 3;
    }
    if (rest.starts_with("<?")) return skipTo("?>");
    if (rest.starts_with("<!")) return skipTo(">");
    const std::size_t end = TagEnd(ssml_, at);
    if (end == std::string_view::npos) return 0;
    const std::string_view inside = ssml_.substr(at + 1, end - at - 1);
    if (inside.empty() || IsSpace(inside[0])) return 0;  // "a < b" is text
    Element(ParseTag(inside));
    return end + 1;
  }

  void Element(const Tag& tag) {
    if (tag.closing) {
      Close(tag.name);
      return;
    }
    if (skipDepth_ > 0) {
      if (tag.name == skipping_ && !tag.selfClosing) ++skipDepth_;
      return;
    }
    if (tag.name == "mark") {
      if (const auto name = tag.Attribute("name"))
        out_.marks.push_back({out_.text.size(), MarkName(*name)});
    } else if (tag.name == "break") {
      const std::string strength = Lower(tag.Attribute("strength").value_or(""));
      if (strength != "none") Append("\n");
    } else if (tag.name == "sub") {
      if (const auto alias = tag.Attribute("alias")) {
        Append(*alias);
        if (!tag.selfClosing) {
          skipping_ = "sub";
          skipDepth_ = 1;
        }
        return;
      }
    } else if (tag.name == "p" || tag.name == "s") {
      Append("\n");
    }
    if (tag.selfClosing || open_.size() >= kMaxDepth) return;
    Open open{tag.name, std::nullopt};
    if (SpellsItsContent(tag) && !Spelling()) open.spellFrom = out_.text.size();
    open_.push_back(std::move(open));
  }

  void Close(const std::string& name) {
    if (skipDepth_ > 0) {
      if (name == skipping_ && --skipDepth_ == 0) skipping_.clear();
      return;
    }
    // The innermost open element of that name closes, with those inside it.
    for (std::size_t i = open_.size(); i-- > 0;) {
      if (open_[i].name != name) continue;
      for (std::size_t j = i; j < open_.size(); ++j)
        if (open_[j].spellFrom) CloseSpell(*open_[j].spellFrom);
      open_.resize(i);
      break;
    }
    if (name == "p" || name == "s") Append("\n");
  }

  bool Spelling() const {
    return std::any_of(open_.begin(), open_.end(), [](const Open& o) { return o.spellFrom.has_value(); });
  }

  void CloseSpell(std::size_t from) {
    if (out_.text.size() > from) out_.spelled.push_back({from, out_.text.size()});
  }

  void Append(std::string_view text) {
    if (skipDepth_ == 0) out_.text.append(text);
  }

  std::string_view ssml_;
  SpeechText out_;
  std::vector<Open> open_;
  std::string skipping_;
  std::size_t skipDepth_ = 0;
};

}  // namespace

SpeechText ReadSsml(std::string_view ssml) { return Reader(ssml).Read(); }

}  // namespace vokar::speechd
