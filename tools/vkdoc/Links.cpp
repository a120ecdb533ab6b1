#include "Links.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Writers.h"

namespace vokar::doc {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::vector<std::string>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// A "name.md" page name of a guide: letters, digits, "-" and "_" only.
bool IsPageName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
  return true;
}

// Text of a lenient Markdown line with the code spans taken out, so that a
// link written as an example in code is not taken for one.
std::string WithoutCodeSpans(std::string_view line) {
  std::string out;
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      out += line.substr(i, 2);
      i += 2;
      continue;
    }
    if (line[i] == '`') {
      std::size_t run = 0;
      while (i + run < line.size() && line[i + run] == '`') ++run;
      std::string fence(run, '`');
      std::size_t close = line.find(fence, i + run);
      if (close == std::string_view::npos) {
        out += line.substr(i);
        break;
      }
      out += ' ';
      i = close + run;
      continue;
    }
    out += line[i++];
  }
  return out;
}

// The lines of a Markdown page outside fenced code, with their numbers.
std::vector<std::pair<int, std::string>> ProseLines(std::string_view text) {
  std::vector<std::pair<int, std::string>> lines;
  bool inFence = false;
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    ++number;
    std::string_view trimmed = line;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
    if (StartsWith(trimmed, "```")) inFence = !inFence;
    else if (!inFence) lines.emplace_back(number, std::string(line));
    if (end == text.size()) break;
    start = end + 1;
  }
  return lines;
}

// Heading text with its inline markup taken away, leniently.
std::string LenientPlain(std::string_view text) {
  Inlines runs;
  ParseError ignored;
  if (ParseInlines(text, 0, runs, ignored)) return PlainText(runs);
  std::string out;
  for (char c : text)
    if (c != '`' && c != '*') out += c;
  return out;
}

// A page and the anchors of its headings, read once per check.
std::vector<std::string> AnchorsOf(const std::filesystem::path& page) {
  std::string ext = page.extension().string();
  std::string text = ReadAll(page);
  if (ext == ".md") return MarkdownAnchors(text);
  std::vector<std::string> ids;
  for (std::size_t at = text.find(" id=\""); at != std::string::npos; at = text.find(" id=\"", at + 1)) {
    std::size_t end = text.find('"', at + 5);
    if (end == std::string::npos) break;
    ids.push_back(text.substr(at + 5, end - at - 5));
  }
  return ids;
}

std::string DecodeHtmlAttribute(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '&') {
      std::size_t semi = value.find(';', i);
      if (semi != std::string_view::npos) {
        std::string_view entity = value.substr(i, semi - i + 1);
        if (entity == "&amp;") out += '&';
        else if (entity == "&quot;") out += '"';
        else if (entity == "&lt;") out += '<';
        else if (entity == "&gt;") out += '>';
        else out += entity;
        i = semi;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

// Percent escapes of a link target, as the forge and the browser undo them.
std::string PercentDecode(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(value.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += value[i];
    }
  }
  return out;
}

bool IsWebAddress(std::string_view target) {
  return StartsWith(target, "http://") || StartsWith(target, "https://") || StartsWith(target, "mailto:");
}

// Checks one relative target of `page`; adds what is wrong to `broken`.
void CheckTarget(const std::filesystem::path& page, int line, const std::string& target,
                 const std::vector<std::string>& ownAnchors, std::vector<BrokenLink>& broken) {
  if (IsWebAddress(target)) return;
  if (target.find(':') != std::string::npos && target.find(':') < target.find('/')) {
    broken.push_back({page, line, target, "only web addresses and files of the tree are linked"});
    return;
  }
  std::string file = target;
  std::string anchor;
  bool hasAnchor = false;
  if (auto hash = target.find('#'); hash != std::string::npos) {
    file = target.substr(0, hash);
    anchor = target.substr(hash + 1);
    hasAnchor = true;
  }
  file = PercentDecode(file);
  anchor = PercentDecode(anchor);
  if (file.empty()) {
    if (!Contains(ownAnchors, anchor)) broken.push_back({page, line, target, "no heading of this page has the anchor"});
    return;
  }
  if (!file.empty() && file.front() == '/') {
    broken.push_back({page, line, target, "an absolute path does not hold in another checkout"});
    return;
  }
  std::filesystem::path resolved = page.parent_path() / file;
  std::error_code error;
  if (!std::filesystem::exists(resolved, error)) {
    broken.push_back({page, line, target, "no such file"});
    return;
  }
  if (hasAnchor && !anchor.empty()) {
    std::string ext = resolved.extension().string();
    if (std::filesystem::is_directory(resolved, error)) {
      broken.push_back({page, line, target, "a folder has no anchors"});
    } else if (ext == ".md" || ext == ".html") {
      if (!Contains(AnchorsOf(resolved), anchor))
        broken.push_back({page, line, target, "no heading of that page has the anchor"});
    }
  }
}

}  // namespace

GuideLink ClassifyGuideLink(std::string_view target) {
  GuideLink link;
  if (IsWebAddress(target)) {
    link.kind = LinkKind::External;
    return link;
  }
  std::string_view file = target;
  std::string_view anchor;
  if (auto hash = target.find('#'); hash != std::string_view::npos) {
    file = target.substr(0, hash);
    anchor = target.substr(hash + 1);
  }
  link.anchor = std::string(anchor);
  if (file.empty()) {
    link.kind = anchor.empty() ? LinkKind::Refused : LinkKind::Anchor;
    return link;
  }
  if (file.size() > 3 && file.substr(file.size() - 3) == ".md" && IsPageName(file.substr(0, file.size() - 3))) {
    link.kind = LinkKind::Guide;
    link.page = std::string(file.substr(0, file.size() - 3));
    return link;
  }
  link.kind = LinkKind::Refused;
  return link;
}

std::vector<std::string> DocumentAnchors(const Document& document) {
  std::vector<std::string> used;
  for (const auto& block : document.blocks)
    if (block.kind == BlockKind::Heading) HeadingAnchor(PlainText(block.inlines), used);
  return used;
}

namespace {

bool CheckRuns(const Inlines& runs, int line, const std::vector<std::string>& anchors,
               const std::function<bool(std::string_view)>& guideExists, ParseError& error) {
  for (const auto& run : runs) {
    if (run.kind == InlineKind::Strong && !CheckRuns(run.children, line, anchors, guideExists, error)) return false;
    if (run.kind != InlineKind::Link) continue;
    GuideLink link = ClassifyGuideLink(run.target);
    switch (link.kind) {
      case LinkKind::External:
        break;
      case LinkKind::Anchor:
        if (!Contains(anchors, link.anchor)) {
          error = {line, "no heading of this page has the anchor of " + run.target};
          return false;
        }
        break;
      case LinkKind::Guide:
        if (guideExists && !guideExists(link.page)) {
          error = {line, "no guide " + link.page + ".md stands beside this one"};
          return false;
        }
        break;
      case LinkKind::Refused:
        error = {line, "a guide links only to another guide (name.md), an anchor or a web address, not " + run.target};
        return false;
    }
  }
  return true;
}

}  // namespace

bool CheckGuideLinks(const Document& document, const std::function<bool(std::string_view)>& guideExists,
                     ParseError& error) {
  std::vector<std::string> anchors = DocumentAnchors(document);
  for (const auto& block : document.blocks) {
    if (!CheckRuns(block.inlines, block.line, anchors, guideExists, error)) return false;
    for (const auto& item : block.items)
      if (!CheckRuns(item, block.line, anchors, guideExists, error)) return false;
    for (const auto& row : block.rows)
      for (const auto& cell : row)
        if (!CheckRuns(cell, block.line, anchors, guideExists, error)) return false;
  }
  return true;
}

std::vector<std::string> MarkdownAnchors(std::string_view text) {
  std::vector<std::string> used;
  for (const auto& [number, line] : ProseLines(text)) {
    std::size_t level = 0;
    while (level < line.size() && line[level] == '#') ++level;
    if (level == 0 || level > 6 || level >= line.size() || line[level] != ' ') continue;
    std::string_view heading = std::string_view(line).substr(level + 1);
    while (!heading.empty() && (heading.back() == ' ' || heading.back() == '#')) heading.remove_suffix(1);
    HeadingAnchor(LenientPlain(heading), used);
  }
  return used;
}

std::vector<BrokenLink> CheckMarkdownLinks(const std::filesystem::path& page) {
  std::string text = ReadAll(page);
  std::vector<std::string> anchors = MarkdownAnchors(text);
  std::vector<BrokenLink> broken;
  for (const auto& [number, raw] : ProseLines(text)) {
    std::string line = WithoutCodeSpans(raw);
    for (std::size_t at = line.find("]("); at != std::string::npos; at = line.find("](", at + 2)) {
      std::size_t end = line.find(')', at + 2);
      if (end == std::string::npos) continue;
      std::string target = line.substr(at + 2, end - at - 2);
      if (target.empty() || target.find(' ') != std::string::npos) continue;
      CheckTarget(page, number, target, anchors, broken);
    }
  }
  return broken;
}

std::vector<BrokenLink> CheckHtmlLinks(const std::filesystem::path& page) {
  std::string text = ReadAll(page);
  std::vector<std::string> ids = AnchorsOf(page);
  std::vector<BrokenLink> broken;
  for (std::string_view attribute : {" href=\"", " src=\""}) {
    for (std::size_t at = text.find(attribute); at != std::string::npos; at = text.find(attribute, at + 1)) {
      std::size_t start = at + attribute.size();
      std::size_t end = text.find('"', start);
      if (end == std::string::npos) break;
      int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
      std::string target = DecodeHtmlAttribute(std::string_view(text).substr(start, end - start));
      if (target.find("..") != std::string::npos) {
        broken.push_back({page, line, target, "a help page links only to pages beside it"});
        continue;
      }
      CheckTarget(page, line, target, ids, broken);
    }
  }
  return broken;
}

bool CheckPageToWrite(const Document& document, const GuideExists& guideExists, WriteError& error) {
  ParseError linkError;
  if (!CheckGuideLinks(document, guideExists, linkError)) {
    error = {linkError.line, linkError.message};
    return false;
  }
  if (document.blocks.empty() || document.blocks.front().kind != BlockKind::Heading ||
      document.blocks.front().level != 1) {
    error = {1, "a page starts with its # title"};
    return false;
  }
  return true;
}

}  // namespace vokar::doc
