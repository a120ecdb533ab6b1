// Where the links of the suite's pages may point, and the checks that they
// point at something: the guides' links (to another guide, an anchor of the
// page, a web address), the links of any Markdown page of the tree (files and
// anchors that must exist) and the links of the generated help pages.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Markdown.h"

namespace vokar::doc {

enum class LinkKind {
  Anchor,    // "#anchor": a heading of the same page
  Guide,     // "name.md" or "name.md#anchor": another guide beside this one
  External,  // http:, https: or mailto:
  Refused,   // anything else: a guide travels as a help page and a manual page
};

struct GuideLink {
  LinkKind kind = LinkKind::Refused;
  std::string page;    // Guide: "name", without ".md"
  std::string anchor;  // Anchor and Guide: the part after "#", may be empty
};

GuideLink ClassifyGuideLink(std::string_view target);

// The anchors of every heading of a document, in order, as the forge gives them.
std::vector<std::string> DocumentAnchors(const Document& document);

// Every link of a guide may be followed from its help page and its manual
// page: an anchor of the page, another guide that exists (`guideExists`, when
// set) or a web address. The first link that may not is the error.
bool CheckGuideLinks(const Document& document, const std::function<bool(std::string_view)>& guideExists,
                     ParseError& error);

// One link of a page that points at nothing.
struct BrokenLink {
  std::filesystem::path page;
  int line = 0;
  std::string target;
  std::string reason;
};

// The anchors of the headings of any Markdown page, read leniently (the
// tree's developer pages use more than the guides' subset).
std::vector<std::string> MarkdownAnchors(std::string_view text);

// Every link of a Markdown page outside code: a relative target must name a
// file or folder that exists, and an anchor a heading of its page. Web
// addresses are not fetched.
std::vector<BrokenLink> CheckMarkdownLinks(const std::filesystem::path& page);

// Every href and src of an HTML page: a relative target must name a file
// beside it (or below it), and an anchor an id of its page.
std::vector<BrokenLink> CheckHtmlLinks(const std::filesystem::path& page);

}  // namespace vokar::doc
