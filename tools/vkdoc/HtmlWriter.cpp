// The help page of a guide: plain, semantic HTML that a screen reader walks by
// its headings, lists and tables, with the look the suite's pages have always had.
#include "Links.h"
#include "Writers.h"

namespace vokar::doc {
namespace {

constexpr const char* kStyle =
    "body { font-family: sans-serif; max-width: 46em; margin: 2em auto; padding: 0 1em; line-height: 1.5; "
    "color: #111; }\n"
    "h1, h2, h3 { color: #1c3d8a; }\n"
    "h2 { margin-top: 1.6em; }\n"
    "code { background: #f4f4f4; padding: 0 0.2em; }\n"
    "pre { background: #f4f4f4; padding: 0.5em; overflow-x: auto; }\n"
    "pre code { padding: 0; }\n"
    "table { border-collapse: collapse; }\n"
    "th, td { border: 1px solid #bbb; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }\n";

void Escape(std::string_view text, std::string& out) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
}

std::string HtmlTarget(const std::string& target) {
  GuideLink link = ClassifyGuideLink(target);
  if (link.kind != LinkKind::Guide) return target;
  return link.page + ".html" + (link.anchor.empty() && target.find('#') == std::string::npos ? "" : "#" + link.anchor);
}

void WriteRuns(const Inlines& runs, std::string& out) {
  for (const auto& run : runs) {
    switch (run.kind) {
      case InlineKind::Text:
        Escape(run.text, out);
        break;
      case InlineKind::Code:
        out += "<code>";
        Escape(run.text, out);
        out += "</code>";
        break;
      case InlineKind::Strong:
        out += "<strong>";
        WriteRuns(run.children, out);
        out += "</strong>";
        break;
      case InlineKind::Link:
        out += "<a href=\"";
        Escape(HtmlTarget(run.target), out);
        out += "\">";
        WriteRuns(run.children, out);
        out += "</a>";
        break;
    }
  }
}

}  // namespace

bool WriteHtml(const Document& document, const HtmlOptions& options, std::string& out, WriteError& error) {
  if (!CheckPageToWrite(document, options.guideExists, error)) return false;
  std::vector<std::string> anchors = DocumentAnchors(document);
  out.clear();
  out += "<!DOCTYPE html>\n<html lang=\"";
  Escape(options.language, out);
  out += "\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  Escape(PlainText(document.blocks.front().inlines), out);
  out += "</title>\n<style>\n";
  out += kStyle;
  out += "</style>\n</head>\n<body>\n<main>\n";
  std::size_t heading = 0;
  for (const auto& block : document.blocks) {
    switch (block.kind) {
      case BlockKind::Heading: {
        std::string tag = "h" + std::to_string(block.level);
        out += "<" + tag + " id=\"";
        Escape(anchors[heading++], out);
        out += "\">";
        WriteRuns(block.inlines, out);
        out += "</" + tag + ">\n";
        break;
      }
      case BlockKind::Paragraph:
        out += "<p>";
        WriteRuns(block.inlines, out);
        out += "</p>\n";
        break;
      case BlockKind::BulletList:
      case BlockKind::OrderedList: {
        bool ordered = block.kind == BlockKind::OrderedList;
        if (!ordered) out += "<ul>\n";
        else if (block.start == 1) out += "<ol>\n";
        else out += "<ol start=\"" + std::to_string(block.start) + "\">\n";
        for (const auto& item : block.items) {
          out += "<li>";
          WriteRuns(item, out);
          out += "</li>\n";
        }
        out += ordered ? "</ol>\n" : "</ul>\n";
        break;
      }
      case BlockKind::CodeBlock:
        // Lines joined, not ended, by line breaks: a break before </pre>
        // would show as an empty last line in some viewers.
        out += "<pre><code>";
        for (std::size_t i = 0; i < block.code.size(); ++i) {
          if (i > 0) out += "\n";
          Escape(block.code[i], out);
        }
        out += "</code></pre>\n";
        break;
      case BlockKind::Table: {
        out += "<table>\n";
        for (std::size_t r = 0; r < block.rows.size(); ++r) {
          const char* cell = r == 0 ? "th" : "td";
          if (r == 0) out += "<thead>\n";
          if (r == 1) out += "<tbody>\n";
          out += "<tr>";
          for (const auto& runs : block.rows[r]) {
            out += std::string("<") + cell + (r == 0 ? " scope=\"col\">" : ">");
            WriteRuns(runs, out);
            out += std::string("</") + cell + ">";
          }
          out += "</tr>\n";
          if (r == 0) out += "</thead>\n";
        }
        if (block.rows.size() > 1) out += "</tbody>\n";
        out += "</table>\n";
        break;
      }
    }
  }
  out += "</main>\n</body>\n</html>\n";
  return true;
}

}  // namespace vokar::doc
