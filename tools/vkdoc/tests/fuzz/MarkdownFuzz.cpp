// Any bytes as a guide: the reader must refuse or read them without a fault,
// and whatever it reads must come out as a help page whose markup is only our
// own and a manual page in which no text became a request to groff.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Markdown.h"
#include "Writers.h"

namespace {

using namespace vokar::doc;

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

void CheckHtml(const std::string& page) {
  static const char* const kTags[] = {
      "<!DOCTYPE html>", "<html ", "</html>", "<head>", "</head>", "<meta ", "<title>", "</title>", "<style>",
      "</style>", "<body>", "</body>", "<main>", "</main>", "<h1 id=\"", "<h2 id=\"", "<h3 id=\"", "</h1>", "</h2>",
      "</h3>", "<p>", "</p>", "<ul>", "</ul>", "<ol>", "<ol start=\"", "</ol>", "<li>", "</li>", "<pre>", "</pre>",
      "<code>", "</code>", "<strong>", "</strong>", "<a href=\"", "</a>", "<table>", "</table>", "<thead>",
      "</thead>", "<tbody>", "</tbody>", "<tr>", "</tr>", "<th scope=\"col\">", "</th>", "<td>", "</td>"};
  std::string_view text = page;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
    bool known = false;
    for (const char* tag : kTags)
      if (StartsWith(text.substr(at), tag)) known = true;
    if (!known) __builtin_trap();
    if (StartsWith(text.substr(at), "<a href=\"")) {
      std::string_view target = text.substr(at + 9);
      bool allowed = StartsWith(target, "#") || StartsWith(target, "http://") || StartsWith(target, "https://") ||
                     StartsWith(target, "mailto:");
      if (!allowed) {
        std::size_t end = target.find('"');
        std::string_view file = target.substr(0, std::min(end, target.find('#')));
        allowed = file.size() > 5 && file.substr(file.size() - 5) == ".html" &&
                  file.find('/') == std::string_view::npos && file.find(':') == std::string_view::npos;
      }
      if (!allowed) __builtin_trap();
    }
  }
}

void CheckMan(const std::string& page) {
  static const char* const kRequests[] = {".\\\" ", ".TH ", ".SH\n", ".SH NAME\n", ".SH NAZWA\n", ".SH OPIS\n",
                                          ".SH DESCRIPTION\n", ".SS\n", ".PP\n", ".IP ", ".TP\n", ".RS 4\n",
                                          ".RE\n", ".nf\n", ".fi\n", ".nh\n", ".ad l\n"};
  for (unsigned char c : page)
    if (c >= 0x7f || (c < 0x20 && c != '\n')) __builtin_trap();
  std::size_t start = 0;
  while (start < page.size()) {
    std::size_t end = page.find('\n', start);
    if (end == std::string::npos) __builtin_trap();  // every line ends
    std::string_view line = std::string_view(page).substr(start, end - start + 1);
    if (StartsWith(line, "'")) __builtin_trap();
    if (StartsWith(line, ".")) {
      bool known = false;
      for (const char* request : kRequests)
        if (StartsWith(line, request)) known = true;
      if (!known) __builtin_trap();
    }
    std::size_t slashes = 0;
    for (std::size_t k = line.size() - 1; k > 0 && line[k - 1] == '\\'; --k) ++slashes;
    if (slashes % 2 == 1) __builtin_trap();  // a line would run on into the next
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view source(reinterpret_cast<const char*>(data), size);
  ParseResult parsed = Parse(source);
  if (!parsed.document) {
    if (parsed.error.line < 1) __builtin_trap();
    return 0;
  }
  std::string html;
  WriteError error;
  if (WriteHtml(*parsed.document, HtmlOptions{}, html, error)) CheckHtml(html);
  ManOptions options;
  options.date = "2024-01-01";
  options.source = "Vokar";
  options.manual = "Vokar";
  std::string man;
  if (WriteMan(*parsed.document, options, man, error)) CheckMan(man);
  for (const char* language : {"en"}) {
    options.language = language;
    if (WriteMan(*parsed.document, options, man, error)) CheckMan(man);
  }
  return 0;
}
