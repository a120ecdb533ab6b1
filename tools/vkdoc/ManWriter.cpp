// The manual page of a guide, in the man macros. Text never reaches groff as a
// request: every line that would start with "." or "'" gets "\&" before it,
// backslashes are written "\e", and every character outside ASCII is written
// by its code point ("\[u0105]" for "ą"), so the page needs no input encoding.
#include <cctype>
#include <cstdio>

#include "Links.h"
#include "Utf8.h"
#include "Writers.h"

namespace vokar::doc {
namespace {

constexpr std::size_t kLineWidth = 78;
constexpr const char* kEmDash = "\xE2\x80\x94";

// Capitals for the headings of sections, as manual pages write them; the
// letters of Latin-1 and Latin Extended-A (every Polish letter) included.
long ToUpper(long cp) {
  if (cp >= 'a' && cp <= 'z') return cp - 32;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  if (cp >= 0x100 && cp <= 0x137) return cp & ~1L;
  if (cp >= 0x139 && cp <= 0x148) return (cp & 1) ? cp : cp - 1;
  if (cp >= 0x14A && cp <= 0x177) return cp & ~1L;
  if (cp >= 0x179 && cp <= 0x17E) return (cp & 1) ? cp : cp - 1;
  return cp;
}

enum class Style { Prose, Code };

// Text in roff's own escapes. Code keeps its minus signs as minus signs, so
// that an option copied from the page works in the shell.
void EscapeText(std::string_view text, Style style, bool upper, std::string& out) {
  for (std::size_t at = 0; at < text.size();) {
    long cp = utf8::DecodeOne(text, at);
    if (cp < 0) continue;  // the parser has refused such text already
    if (upper) cp = ToUpper(cp);
    if (cp == '\t') {
      out += ' ';  // code blocks expand their tabs before they get here
    } else if (cp == '\\') {
      out += "\\e";
    } else if (cp == '-' && style == Style::Code) {
      out += "\\-";
    } else if (cp == 0xA0) {
      out += "\\~";
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else {
      char hex[32];
      std::snprintf(hex, sizeof hex, "\\[u%04lX]", cp);
      out += hex;
    }
  }
}

// Tabs of a code block as blanks to the next multiple of eight columns, as
// the source shows them; a tab in roff would jump to roff's own stops.
std::string ExpandTabs(std::string_view line) {
  std::string out;
  std::size_t column = 0;
  for (std::size_t at = 0; at < line.size();) {
    std::size_t before = at;
    const long cp = utf8::DecodeOne(line, at);
    if (cp < 0) continue;
    if (cp == '\t') {
      do {
        out += ' ';
        ++column;
      } while (column % 8 != 0);
    } else {
      out.append(line.substr(before, at - before));
      ++column;
    }
  }
  return out;
}

enum class Font { Roman, Bold };

void WriteRuns(const Inlines& runs, Font font, std::string& out) {
  for (const auto& run : runs) {
    switch (run.kind) {
      case InlineKind::Text:
        EscapeText(run.text, Style::Prose, false, out);
        break;
      case InlineKind::Code:
        if (font == Font::Bold) {
          EscapeText(run.text, Style::Code, false, out);
        } else {
          out += "\\fB";
          EscapeText(run.text, Style::Code, false, out);
          out += "\\fR";
        }
        break;
      case InlineKind::Strong:
        if (font == Font::Bold) {
          WriteRuns(run.children, font, out);
        } else {
          out += "\\fB";
          WriteRuns(run.children, Font::Bold, out);
          out += "\\fR";
        }
        break;
      case InlineKind::Link: {
        WriteRuns(run.children, font, out);
        GuideLink link = ClassifyGuideLink(run.target);
        if (link.kind == LinkKind::External && PlainText(run.children) != run.target) {
          std::string_view shown = run.target;
          if (shown.substr(0, 7) == "mailto:") shown.remove_prefix(7);
          out += " <";
          EscapeText(shown, Style::Code, false, out);
          out += ">";
        }
        break;
      }
    }
  }
}

// One line of text as input lines of the page: broken at blanks near the
// width, each line kept from reading as a request.
void WriteFilled(const std::string& text, std::string& out) {
  std::size_t start = 0;
  while (start < text.size()) {
    while (start < text.size() && text[start] == ' ') ++start;
    if (start >= text.size()) break;
    std::size_t end = text.size();
    if (end - start > kLineWidth) {
      std::size_t cut = text.rfind(' ', start + kLineWidth);
      if (cut == std::string::npos || cut <= start) cut = text.find(' ', start + kLineWidth);
      if (cut != std::string::npos) end = cut;
    }
    std::string_view line = std::string_view(text).substr(start, end - start);
    while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
    if (!line.empty() && (line.front() == '.' || line.front() == '\'')) out += "\\&";
    out += line;
    out += '\n';
    start = end;
  }
}

// A line that a request takes as its argument (a heading, a tag): never
// broken, since only the first line would be taken.
void WriteLine(const std::string& text, std::string& out) {
  std::string_view line = text;
  while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  if (line.empty() || line.front() == '.' || line.front() == '\'') out += "\\&";
  out += line;
  out += '\n';
}

std::string Runs(const Inlines& runs) {
  std::string text;
  WriteRuns(runs, Font::Roman, text);
  return text;
}

std::string Quoted(std::string_view text) {
  std::string escaped;
  EscapeText(text, Style::Prose, false, escaped);
  std::string out = "\"";
  for (char c : escaped) {
    if (c == '"') out += "\\(dq";
    else out += c;
  }
  return out + "\"";
}

bool IsCommandName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!std::islower(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c)) && c != '-' &&
        c != '_')
      return false;
  return true;
}

void WriteHeading(const Block& block, std::string& out) {
  out += block.level == 2 ? ".SH\n" : ".SS\n";
  std::string text;
  EscapeText(PlainText(block.inlines), Style::Prose, block.level == 2, text);
  WriteLine(text, out);
}

void WriteBlock(const Block& block, std::string& out) {
  switch (block.kind) {
    case BlockKind::Heading:
      WriteHeading(block, out);
      break;
    case BlockKind::Paragraph:
      out += ".PP\n";
      WriteFilled(Runs(block.inlines), out);
      break;
    case BlockKind::BulletList:
    case BlockKind::OrderedList: {
      int number = block.start;
      for (const auto& item : block.items) {
        if (block.kind == BlockKind::BulletList) out += ".IP \\(bu 2\n";
        else out += ".IP " + std::to_string(number++) + ". 4\n";
        WriteFilled(Runs(item), out);
      }
      break;
    }
    case BlockKind::CodeBlock:
      out += ".PP\n.RS 4\n.nf\n";
      for (const auto& line : block.code) {
        std::string text;
        EscapeText(ExpandTabs(line), Style::Code, false, text);
        if (text.empty() || text.front() == '.' || text.front() == '\'') out += "\\&";
        out += text;
        out += '\n';
      }
      out += ".fi\n.RE\n";
      break;
    case BlockKind::Table:
      // The header names the columns for the eye; in a manual page each row
      // is a tagged paragraph: the first cell, then the others.
      for (std::size_t r = 1; r < block.rows.size(); ++r) {
        const auto& row = block.rows[r];
        out += ".TP\n";
        WriteLine(Runs(row[0]), out);
        std::string rest;
        for (std::size_t c = 1; c < row.size(); ++c) {
          std::string cell = Runs(row[c]);
          if (cell.empty()) continue;
          if (!rest.empty()) rest += " \\(em ";
          rest += cell;
        }
        if (rest.empty()) rest = "\\&";
        WriteFilled(rest, out);
      }
      break;
  }
}

}  // namespace

bool WriteMan(const Document& document, const ManOptions& options, std::string& out, WriteError& error) {
  if (!CheckPageToWrite(document, options.guideExists, error)) return false;
  std::string title = PlainText(document.blocks.front().inlines);
  std::string separator = std::string(" ") + kEmDash + " ";
  std::size_t dash = title.find(separator);
  if (dash == std::string::npos || !IsCommandName(title.substr(0, dash)) ||
      title.find_first_not_of(' ', dash + separator.size()) == std::string::npos) {
    error = {document.blocks.front().line, "a manual page's title reads \"# command \xE2\x80\x94 what it is\""};
    return false;
  }
  std::string name = title.substr(0, dash);
  if (!options.name.empty() && name != options.name) {
    error = {document.blocks.front().line, "the title names " + name + ", the page is " + options.name};
    return false;
  }
  std::string summary = title.substr(dash + separator.size());
  bool english = options.language == "en";

  std::string upperName;
  EscapeText(name, Style::Prose, true, upperName);
  out.clear();
  out += ".\\\" The manual page of " + name + ", made";
  if (!options.origin.empty()) {
    std::string origin;
    EscapeText(options.origin, Style::Prose, false, origin);
    out += " from " + origin;
  }
  out += " by vkdoc: change that page, not this one.\n";
  out += ".TH " + Quoted(upperName) + " " + std::to_string(options.section) + " " + Quoted(options.date) + " " +
         Quoted(options.source) + " " + Quoted(options.manual) + "\n";
  // No hyphenation: groff knows only English patterns and would split Polish
  // words in the wrong places, and a path or an option split at a hyphen
  // could not be copied from the page. Lines are left ragged rather than
  // stretched with blanks around a long path.
  out += ".nh\n.ad l\n";
  out += english ? ".SH NAME\n" : ".SH NAZWA\n";
  std::string nameLine;
  EscapeText(name, Style::Code, false, nameLine);
  nameLine += " \\- ";
  EscapeText(summary, Style::Prose, false, nameLine);
  WriteFilled(nameLine, out);

  bool description = false;
  for (std::size_t b = 1; b < document.blocks.size(); ++b) {
    const Block& block = document.blocks[b];
    bool isSection = block.kind == BlockKind::Heading && block.level == 2;
    if (!isSection && !description) {
      // Text between the title and the first section describes the program.
      out += english ? ".SH DESCRIPTION\n" : ".SH OPIS\n";
    }
    description = true;
    WriteBlock(block, out);
  }
  return true;
}

}  // namespace vokar::doc
