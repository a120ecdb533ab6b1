#include "Markdown.h"

#include <cctype>
#include <cstdint>

#include "Utf8.h"

namespace vokar::doc {
namespace {

bool IsBlank(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t') return false;
  return true;
}

std::size_t Indent(std::string_view line) {
  std::size_t n = 0;
  while (n < line.size() && line[n] == ' ') ++n;
  return n;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  s = TrimLeft(s);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsAsciiPunct(char c) { return c > 0x20 && c < 0x7f && !std::isalnum(static_cast<unsigned char>(c)); }

bool StartsFence(std::string_view line) { return line.substr(0, 3) == "```"; }

// "# ", "## " ... or a lone run of hashes; returns the level, 0 when none.
int HeadingLevel(std::string_view line) {
  std::size_t n = 0;
  while (n < line.size() && line[n] == '#') ++n;
  if (n == 0 || n > 6) return 0;
  if (n < line.size() && line[n] != ' ') return 0;
  return static_cast<int>(n);
}

bool IsBulletItem(std::string_view line) { return line == "-" || line.substr(0, 2) == "- "; }

// "12. text": the number, else -1. Ordered items with ")" are told apart so
// that they can be refused instead of read as a paragraph.
long OrderedItem(std::string_view line, char& delimiter, std::size_t& textAt) {
  std::size_t n = 0;
  while (n < line.size() && n < 9 && std::isdigit(static_cast<unsigned char>(line[n]))) ++n;
  if (n == 0 || n >= line.size() || (line[n] != '.' && line[n] != ')')) return -1;
  if (n + 1 < line.size() && line[n + 1] != ' ') return -1;
  delimiter = line[n];
  textAt = n + 1 < line.size() ? n + 2 : n + 1;
  return std::stol(std::string(line.substr(0, n)));
}

bool IsThematicBreak(std::string_view line) {
  line = Trim(line);
  if (line.size() < 3) return false;
  char c = line[0];
  if (c != '-' && c != '*' && c != '_') return false;
  int count = 0;
  for (char x : line) {
    if (x == c) ++count;
    else if (x != ' ') return false;
  }
  return count >= 3;
}

bool IsSetextUnderline(std::string_view line) {
  line = Trim(line);
  if (line.empty()) return false;
  for (char c : line)
    if (c != '=') return false;
  return true;
}

class InlineParser {
 public:
  InlineParser(std::string_view text, int line, ParseError& error) : text_(text), line_(line), error_(error) {}

  bool Run(Inlines& out) { return ParseRuns(out, Context::Top) && pos_ == text_.size(); }

 private:
  enum class Context { Top, Strong };

  bool Fail(std::string message) {
    error_ = {line_, std::move(message)};
    return false;
  }

  static void AddText(Inlines& out, std::string_view piece) {
    if (piece.empty()) return;
    if (!out.empty() && out.back().kind == InlineKind::Text) {
      out.back().text += piece;
    } else {
      Inline run;
      run.text = std::string(piece);
      out.push_back(std::move(run));
    }
  }

  bool AtWordStart() const {
    if (pos_ == 0) return true;
    char before = text_[pos_ - 1];
    return before == ' ' || before == '\n' || (IsAsciiPunct(before) && before != '_' && before != '\\');
  }

  bool ParseRuns(Inlines& out, Context context) {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\\') {
        if (pos_ + 1 < text_.size() && IsAsciiPunct(text_[pos_ + 1])) {
          AddText(out, text_.substr(pos_ + 1, 1));
          pos_ += 2;
        } else {
          AddText(out, "\\");
          ++pos_;
        }
      } else if (c == '`') {
        if (!ParseCode(out)) return false;
      } else if (c == '*' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*') {
        if (context == Context::Strong) {
          pos_ += 2;
          return true;
        }
        if (!ParseStrong(out)) return false;
      } else if (c == '*') {
        char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : ' ';
        if (next != ' ' && next != '\n')
          return Fail("emphasis with * is not supported; write \\* for a plain star");
        AddText(out, "*");
        ++pos_;
      } else if (c == '_' && AtWordStart() && pos_ + 1 < text_.size() &&
                 (std::isalnum(static_cast<unsigned char>(text_[pos_ + 1])) ||
                  static_cast<unsigned char>(text_[pos_ + 1]) >= 0x80)) {
        return Fail("emphasis with _ is not supported; write \\_ for a plain underscore");
      } else if (c == '[' && !inLink_) {
        if (!ParseLinkOrText(out)) return false;
      } else if (c == '<') {
        char next = pos_ + 1 < text_.size() ? text_[pos_ + 1] : ' ';
        if (std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!' || next == '?')
          return Fail("raw HTML is not supported; write \\< for a plain <");
        AddText(out, "<");
        ++pos_;
      } else if (c == '&') {
        if (IsCharacterReference()) return Fail("character references are not supported; write the character itself");
        AddText(out, "&");
        ++pos_;
      } else if (c == '\n') {
        // A line break inside a paragraph is a blank; the blanks that ended
        // the line before it are dropped, as they are not seen.
        while (!out.empty() && out.back().kind == InlineKind::Text && !out.back().text.empty() &&
               out.back().text.back() == ' ')
          out.back().text.pop_back();
        AddText(out, " ");
        ++pos_;
        while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
      } else {
        std::size_t end = pos_ + 1;
        while (end < text_.size() && std::string_view("\\`*_[]<&\n").find(text_[end]) == std::string_view::npos) ++end;
        AddText(out, text_.substr(pos_, end - pos_));
        pos_ = end;
      }
    }
    if (context == Context::Strong) return Fail("** is not closed");
    return true;
  }

  bool IsCharacterReference() const {
    std::size_t p = pos_ + 1;
    if (p < text_.size() && text_[p] == '#') {
      ++p;
      bool hex = p < text_.size() && (text_[p] == 'x' || text_[p] == 'X');
      if (hex) ++p;
      std::size_t digits = 0;
      while (p < text_.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text_[p]))
                                      : std::isdigit(static_cast<unsigned char>(text_[p])))) {
        ++p;
        ++digits;
      }
      return digits > 0 && p < text_.size() && text_[p] == ';';
    }
    if (p >= text_.size() || !std::isalpha(static_cast<unsigned char>(text_[p]))) return false;
    while (p < text_.size() && std::isalnum(static_cast<unsigned char>(text_[p]))) ++p;
    return p < text_.size() && text_[p] == ';';
  }

  bool ParseCode(Inlines& out) {
    std::size_t run = 0;
    while (pos_ + run < text_.size() && text_[pos_ + run] == '`') ++run;
    std::size_t search = pos_ + run;
    while (true) {
      std::size_t at = text_.find('`', search);
      if (at == std::string_view::npos) return Fail("` of a code span is not closed");
      std::size_t close = 0;
      while (at + close < text_.size() && text_[at + close] == '`') ++close;
      if (close == run) {
        std::string code(text_.substr(pos_ + run, at - pos_ - run));
        for (char& ch : code)
          if (ch == '\n') ch = ' ';
        bool allBlank = code.find_first_not_of(' ') == std::string::npos;
        if (!allBlank && code.size() >= 2 && code.front() == ' ' && code.back() == ' ')
          code = code.substr(1, code.size() - 2);
        if (code.empty()) return Fail("empty code span");
        Inline span;
        span.kind = InlineKind::Code;
        span.text = std::move(code);
        out.push_back(std::move(span));
        pos_ = at + close;
        return true;
      }
      search = at + close;
    }
  }

  bool ParseStrong(Inlines& out) {
    pos_ += 2;
    Inline strong;
    strong.kind = InlineKind::Strong;
    if (!ParseRuns(strong.children, Context::Strong)) return false;
    if (strong.children.empty()) return Fail("empty ** ** run");
    out.push_back(std::move(strong));
    return true;
  }

  // "[text](target)" is a link; any other "[" is itself, as "[brak]" is.
  bool ParseLinkOrText(Inlines& out) {
    std::size_t close = pos_ + 1;
    int depth = 0;
    for (; close < text_.size(); ++close) {
      char c = text_[close];
      if (c == '\\') {
        ++close;
        continue;
      }
      if (c == '`') {
        std::size_t end = text_.find('`', close + 1);
        if (end == std::string_view::npos) break;
        close = end;
        continue;
      }
      if (c == '[') ++depth;
      if (c == ']') {
        if (depth == 0) break;
        --depth;
      }
    }
    if (close >= text_.size() || close + 1 >= text_.size() || text_[close + 1] != '(') {
      AddText(out, "[");
      ++pos_;
      return true;
    }
    std::size_t targetEnd = text_.find(')', close + 2);
    if (targetEnd == std::string_view::npos) return Fail("( of a link target is not closed");
    std::string_view target = text_.substr(close + 2, targetEnd - close - 2);
    if (target.empty()) return Fail("a link needs a target");
    for (char c : target)
      if (c == ' ' || c == '\n' || c == '\t' || c == '<' || c == '>' || c == '"' || c == '(')
        return Fail("a link target holds no blanks, quotes or brackets");
    Inline link;
    link.kind = InlineKind::Link;
    link.target = std::string(target);
    ++pos_;
    std::size_t textEnd = close;
    // The link's text is parsed on its own so that its end is known.
    InlineParser inner(text_.substr(0, textEnd), line_, error_);
    inner.pos_ = pos_;
    inner.inLink_ = true;
    if (!inner.ParseRuns(link.children, Context::Top)) return false;
    if (link.children.empty()) return Fail("a link needs a text");
    for (const auto& child : link.children)
      if (child.kind == InlineKind::Strong || child.kind == InlineKind::Link)
        return Fail("a link's text holds plain text and code only");
    out.push_back(std::move(link));
    pos_ = targetEnd + 1;
    return true;
  }

  std::string_view text_;
  int line_;
  ParseError& error_;
  std::size_t pos_ = 0;
  bool inLink_ = false;
};

// Cells of a table row, split at every "|" that is not written "\|"; the
// escape is taken away here, so that a cell may show a "|" even in code.
std::vector<std::string> SplitRow(std::string_view line) {
  line = Trim(line);
  if (!line.empty() && line.front() == '|') line.remove_prefix(1);
  bool trailing = !line.empty() && line.back() == '|' && (line.size() < 2 || line[line.size() - 2] != '\\');
  if (trailing) line.remove_suffix(1);
  std::vector<std::string> cells(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '|') {
      cells.back() += '|';
      ++i;
    } else if (line[i] == '|') {
      cells.emplace_back();
    } else {
      cells.back() += line[i];
    }
  }
  for (auto& cell : cells) cell = std::string(Trim(cell));
  return cells;
}

bool IsDelimiterRow(std::string_view line, std::size_t& columns) {
  if (Trim(line).empty() || Trim(line).front() != '|') return false;
  auto cells = SplitRow(line);
  for (const auto& cell : cells) {
    std::string_view c = cell;
    if (!c.empty() && c.front() == ':') c.remove_prefix(1);
    if (!c.empty() && c.back() == ':') c.remove_suffix(1);
    if (c.empty()) return false;
    for (char x : c)
      if (x != '-') return false;
  }
  columns = cells.size();
  return true;
}

class BlockParser {
 public:
  explicit BlockParser(std::string_view source) {
    std::size_t start = 0;
    while (start <= source.size()) {
      std::size_t end = source.find('\n', start);
      if (end == std::string_view::npos) end = source.size();
      std::string_view line = source.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      if (end == source.size()) break;
      start = end + 1;
    }
  }

  ParseResult Run() {
    ParseResult result;
    Document document;
    while (i_ < lines_.size()) {
      std::string_view line = lines_[i_];
      if (IsBlank(line)) {
        ++i_;
        continue;
      }
      Block block;
      block.line = LineNumber();
      bool ok;
      if (line.front() == '\t') ok = Fail("a line starts with a tab; indent with blanks");
      else if (Indent(line) >= 4) ok = Fail("indented code is not supported; use ``` fences");
      else if (Indent(line) > 0) ok = Fail("a block starts at the left margin");
      else if (StartsFence(line)) ok = ParseFence(block);
      else if (HeadingLevel(line) > 0) ok = ParseHeading(block, document);
      else if (IsBulletItem(line)) ok = ParseList(block, BlockKind::BulletList);
      else if (IsOrdered(line)) ok = ParseList(block, BlockKind::OrderedList);
      else if (line.front() == '|') ok = ParseTable(block);
      else if (line.front() == '>') ok = Fail("block quotes are not supported");
      else if (IsThematicBreak(line)) ok = Fail("rules (---) are not supported");
      else if (line.substr(0, 2) == "* " || line.substr(0, 2) == "+ ") ok = Fail("write list items with \"- \"");
      else ok = ParseParagraph(block);
      if (!ok) {
        result.error = error_;
        return result;
      }
      document.blocks.push_back(std::move(block));
    }
    result.document = std::move(document);
    return result;
  }

 private:
  int LineNumber() const { return static_cast<int>(i_) + 1; }

  bool Fail(std::string message) {
    error_ = {LineNumber(), std::move(message)};
    return false;
  }

  bool IsOrdered(std::string_view line) const {
    char delimiter;
    std::size_t at;
    return OrderedItem(line, delimiter, at) >= 0;
  }

  // Does this line, following a paragraph line, start a block of its own?
  bool Interrupts(std::string_view line) const {
    if (StartsFence(line) || HeadingLevel(line) > 0 || line.front() == '>' || line.front() == '|') return true;
    if (IsBulletItem(line) && line.size() > 2) return true;
    char delimiter;
    std::size_t at;
    return OrderedItem(line, delimiter, at) == 1 && at < line.size();
  }

  bool ParseFence(Block& block) {
    block.kind = BlockKind::CodeBlock;
    std::string_view info = Trim(lines_[i_].substr(3));
    if (info.find('`') != std::string_view::npos) return Fail("a code fence's word holds no backticks");
    int opened = LineNumber();
    ++i_;
    while (i_ < lines_.size()) {
      if (Trim(lines_[i_]) == "```") {
        ++i_;
        return true;
      }
      block.code.emplace_back(lines_[i_]);
      ++i_;
    }
    error_ = {opened, "``` is not closed"};
    return false;
  }

  bool ParseHeading(Block& block, const Document& document) {
    int level = HeadingLevel(lines_[i_]);
    if (level > 3) return Fail("headings go three levels deep (#, ##, ###)");
    if (level == 1 && !document.blocks.empty()) return Fail("only the title, the first line, is a # heading");
    if (level > 1 && document.blocks.empty()) return Fail("a page starts with its # title");
    std::string_view text = Trim(lines_[i_].substr(static_cast<std::size_t>(level)));
    while (!text.empty() && text.back() == '#') text.remove_suffix(1);
    text = Trim(text);
    if (text.empty()) return Fail("a heading needs a text");
    block.kind = BlockKind::Heading;
    block.level = level;
    bool ok = ParseInlines(text, LineNumber(), block.inlines, error_);
    ++i_;
    return ok;
  }

  bool ParseParagraph(Block& block) {
    block.kind = BlockKind::Paragraph;
    std::string text(Trim(lines_[i_]));
    int first = LineNumber();
    ++i_;
    while (i_ < lines_.size() && !IsBlank(lines_[i_])) {
      std::string_view line = lines_[i_];
      if (IsSetextUnderline(line) || (IsThematicBreak(line) && Trim(line).front() == '-'))
        return Fail("underlined headings are not supported; write ## before the text");
      if (Indent(line) == 0 && Interrupts(line)) break;
      text += '\n';
      text += Trim(line);
      ++i_;
    }
    return ParseInlines(text, first, block.inlines, error_);
  }

  bool ParseList(Block& block, BlockKind kind) {
    block.kind = kind;
    bool first = true;
    while (i_ < lines_.size()) {
      std::string_view line = lines_[i_];
      std::size_t textAt;
      if (kind == BlockKind::BulletList) {
        if (!IsBulletItem(line)) break;
        textAt = line.size() > 1 ? 2 : 1;
      } else {
        char delimiter;
        long number = OrderedItem(line, delimiter, textAt);
        if (number < 0) break;
        if (delimiter != '.') return Fail("write numbered items as \"1. \"");
        if (first) block.start = static_cast<int>(number);
      }
      first = false;
      int itemLine = LineNumber();
      std::string text(Trim(line.substr(textAt)));
      if (text.empty()) return Fail("an empty list item");
      ++i_;
      while (i_ < lines_.size() && !IsBlank(lines_[i_])) {
        std::string_view next = lines_[i_];
        std::string_view body = TrimLeft(next);
        if (Indent(next) == 0) {
          if (IsBulletItem(next) || IsOrdered(next)) break;
          if (Interrupts(next)) break;
          if (IsThematicBreak(next) || IsSetextUnderline(next))
            return Fail("underlined headings are not supported; write ## before the text");
        } else {
          char delimiter;
          std::size_t at;
          if (IsBulletItem(body) || OrderedItem(body, delimiter, at) >= 0) return Fail("lists do not nest");
          if (StartsFence(body) || body.front() == '|' || body.front() == '>' || HeadingLevel(body) > 0)
            return Fail("a list item holds one paragraph of text");
        }
        text += '\n';
        text += body;
        ++i_;
      }
      Inlines item;
      if (!ParseInlines(text, itemLine, item, error_)) return false;
      block.items.push_back(std::move(item));
      // A blank line between items keeps the list; an indented line after
      // one would be a second paragraph of the item, which is not supported.
      std::size_t after = i_;
      while (after < lines_.size() && IsBlank(lines_[after])) ++after;
      if (after == i_ || after >= lines_.size()) continue;
      std::string_view next = lines_[after];
      if (Indent(next) > 0) {
        i_ = after;
        return Fail("a list item holds one paragraph of text");
      }
      bool same = kind == BlockKind::BulletList ? IsBulletItem(next) : IsOrdered(next);
      if (!same) break;
      i_ = after;
    }
    return true;
  }

  bool ParseTable(Block& block) {
    block.kind = BlockKind::Table;
    std::size_t columns = 0;
    if (i_ + 1 >= lines_.size() || !IsDelimiterRow(lines_[i_ + 1], columns))
      return Fail("a table's first row is followed by its |---| row");
    if (SplitRow(lines_[i_]).size() != columns)
      return Fail("the |---| row has another number of columns than the header");
    bool header = true;
    while (i_ < lines_.size() && !IsBlank(lines_[i_])) {
      std::string_view line = lines_[i_];
      if (Trim(line).front() != '|') return Fail("a table ends with a blank line");
      auto cells = SplitRow(line);
      if (cells.size() != columns)
        return Fail("this row has " + std::to_string(cells.size()) + " cells, the table " + std::to_string(columns));
      std::vector<Inlines> row;
      for (const auto& cell : cells) {
        Inlines runs;
        if (!ParseInlines(cell, LineNumber(), runs, error_)) return false;
        row.push_back(std::move(runs));
      }
      block.rows.push_back(std::move(row));
      // The |---| row after the header is not a row of its own.
      i_ += header ? 2 : 1;
      header = false;
    }
    return true;
  }

  std::vector<std::string_view> lines_;
  std::size_t i_ = 0;
  ParseError error_;
};

// Lower case for the letters the guides use: Latin-1 and Latin Extended-A
// (every Polish letter), Greek and Cyrillic capitals.
long ToLower(long cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if ((cp >= 0xC0 && cp <= 0xDE) && cp != 0xD7) return cp + 32;
  if (cp >= 0x100 && cp <= 0x137) return cp | 1;
  if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177) return cp | 1;
  if (cp == 0x178) return 0xFF;
  if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp + 1 : cp;
  if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  return cp;
}

// What the forge keeps of a heading in its anchor: letters, digits, "-", "_"
// and blanks; punctuation and symbols go.
bool KeptInAnchor(long cp) {
  if (cp < 0x80) return std::isalnum(static_cast<int>(cp)) || cp == '-' || cp == '_' || cp == ' ';
  if (cp >= 0xA0 && cp <= 0xBF) return false;
  if (cp == 0xD7 || cp == 0xF7) return false;
  if (cp >= 0x2000 && cp <= 0x2BFF) return false;
  if (cp >= 0x3000 && cp <= 0x303F) return false;
  return true;
}

}  // namespace

ParseResult Parse(std::string_view source) {
  int line = 1;
  for (std::size_t at = 0; at < source.size();) {
    unsigned char c = static_cast<unsigned char>(source[at]);
    if (c == '\n') ++line;
    bool lineEnd = c == '\n' || (c == '\r' && at + 1 < source.size() && source[at + 1] == '\n');
    if ((c < 0x20 && c != '\t' && !lineEnd) || c == 0x7f) {
      ParseResult result;
      result.error = {line, "control character " + std::to_string(c) + " in the text"};
      return result;
    }
    long cp = utf8::DecodeOne(source, at);
    if (cp < 0) {
      ParseResult result;
      result.error = {line, "the text is not UTF-8"};
      return result;
    }
    if (cp >= 0x80 && cp <= 0x9f) {
      ParseResult result;
      const char* hex = "0123456789ABCDEF";
      result.error = {line, std::string("control character U+00") + hex[cp >> 4] + hex[cp & 15] + " in the text"};
      return result;
    }
  }
  return BlockParser(source).Run();
}

bool ParseInlines(std::string_view text, int line, Inlines& out, ParseError& error) {
  InlineParser parser(text, line, error);
  return parser.Run(out);
}

std::string PlainText(const Inlines& inlines) {
  std::string out;
  for (const auto& run : inlines) {
    if (run.kind == InlineKind::Text || run.kind == InlineKind::Code) out += run.text;
    else out += PlainText(run.children);
  }
  return out;
}

std::string HeadingAnchor(std::string_view plainText, std::vector<std::string>& used) {
  std::string anchor;
  for (std::size_t at = 0; at < plainText.size();) {
    long cp = utf8::DecodeOne(plainText, at);
    if (cp < 0) continue;
    cp = ToLower(cp);
    if (!KeptInAnchor(cp)) continue;
    if (cp == ' ') cp = '-';
    utf8::Append(anchor, static_cast<char32_t>(cp));
  }
  std::string unique = anchor;
  for (int n = 1;; ++n) {
    bool taken = false;
    for (const auto& other : used)
      if (other == unique) taken = true;
    if (!taken) break;
    unique = anchor + "-" + std::to_string(n);
  }
  used.push_back(unique);
  return unique;
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();)
    if (utf8::DecodeOne(text, at) < 0) return false;
  return true;
}

}  // namespace vokar::doc
