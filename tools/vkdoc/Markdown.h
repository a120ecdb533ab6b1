// The Markdown the suite's guides are written in, read into blocks and inline
// runs that the help-page and manual-page writers turn into HTML and roff.
// The subset is small on purpose (headings, paragraphs, lists, tables, code);
// anything outside it is refused with its line, never passed through, so a
// guide reads the same on the forge, in the browser and in `man`.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::doc {

enum class InlineKind {
  Text,    // plain text, already unescaped
  Code,    // `code`
  Strong,  // **strong**, holds children
  Link,    // [children](target)
};

struct Inline {
  InlineKind kind = InlineKind::Text;
  std::string text;              // Text and Code
  std::string target;            // Link
  std::vector<Inline> children;  // Strong and Link: Text and Code runs only
};

using Inlines = std::vector<Inline>;

enum class BlockKind { Heading, Paragraph, BulletList, OrderedList, CodeBlock, Table };

struct Block {
  BlockKind kind = BlockKind::Paragraph;
  int line = 0;                   // where the block starts in the source, from 1
  int level = 0;                  // Heading: 1 to 3
  int start = 1;                  // OrderedList: the first item's number
  Inlines inlines;                // Heading and Paragraph
  std::vector<Inlines> items;     // the lists' items
  std::vector<std::string> code;  // CodeBlock: its lines as written
  std::vector<std::vector<Inlines>> rows;  // Table: rows[0] is the header row
};

struct Document {
  std::vector<Block> blocks;
};

struct ParseError {
  int line = 0;
  std::string message;
};

// Either a document or the first fault found, with its line.
struct ParseResult {
  std::optional<Document> document;
  ParseError error;
};

// Reads a whole guide. The text must be UTF-8; a NUL byte, an unclosed code
// span, code block or strong run, raw HTML, a fourth-level heading and other
// constructs outside the subset are faults.
ParseResult Parse(std::string_view source);

// The inline runs of one line or cell of text (used for table cells and by the
// tests). Faults are reported as for Parse, at the given line.
bool ParseInlines(std::string_view text, int line, Inlines& out, ParseError& error);

// The text of runs with their markup taken away, as a reader hears it.
std::string PlainText(const Inlines& inlines);

// The anchor the forge gives a heading of this text: lower case, punctuation
// taken out, blanks as hyphens. `used` holds the anchors given so far in the
// page; a repeated one gets -1, -2 ... as the forge does.
std::string HeadingAnchor(std::string_view plainText, std::vector<std::string>& used);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

}  // namespace vokar::doc
