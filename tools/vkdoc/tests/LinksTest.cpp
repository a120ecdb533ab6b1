// The link checks on pages of a test's own: files and anchors that exist pass,
// everything else is named with its page and line; code is never taken for a link.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Links.h"
#include "TestFolder.h"

namespace vokar::doc {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Targets(const std::vector<BrokenLink>& broken) {
  std::vector<std::string> targets;
  for (const auto& link : broken) targets.push_back(link.target);
  return targets;
}

TEST(GuideLinks, Kinds) {
  EXPECT_EQ(ClassifyGuideLink("https://example.org").kind, LinkKind::External);
  EXPECT_EQ(ClassifyGuideLink("mailto:vokar@example.org").kind, LinkKind::External);
  EXPECT_EQ(ClassifyGuideLink("#pliki").kind, LinkKind::Anchor);
  GuideLink guide = ClassifyGuideLink("horalo.md#klawisze-skrótu");
  EXPECT_EQ(guide.kind, LinkKind::Guide);
  EXPECT_EQ(guide.page, "horalo");
  EXPECT_EQ(guide.anchor, "klawisze-skrótu");
  for (const char* refused : {"#", "ftp://x", "javascript:x", "file:///etc/passwd", "../dev/platform.md", "/x.md",
                              "dir/x.md", ".md", "x.html", "x.md.txt", "HORALO.MD"})
    EXPECT_EQ(ClassifyGuideLink(refused).kind, LinkKind::Refused) << refused;
}

TEST(MarkdownPageLinks, FilesFoldersAndAnchorsThatExistPass) {
  test::TestFolder folder("links");
  Write(folder.path() / "docs/dev/platform.md", "# Platforma\n\n## Sound output (`VOKAR_WAVEOUT`)\n\n## Zażółć gęślą\n");
  Write(folder.path() / "docs/user/README.md", "# Przewodniki\n");
  Write(folder.path() / "Quillmark Vokar 1.1/x.desktop", "");
  Write(folder.path() / "README.md",
        "# Vokar\n\n"
        "## Try it\n\n"
        "See [the platform](docs/dev/platform.md#sound-output-vokar_waveout), [guides](docs/user/),\n"
        "[index](docs/user/README.md) and [Polish](docs/dev/platform.md#zażółć-gęślą), [this](#try-it),\n"
        "[percent](docs/dev/platform.md#za%C5%BC%C3%B3%C5%82%C4%87-g%C4%99%C5%9Bl%C4%85),\n"
        "[menu](Quillmark%20Vokar%201.1/x.desktop), [web](https://example.org/nowhere).\n"
        "Code is not a link: `[x](missing.md)` and\n\n"
        "```md\n[y](missing-too.md)\n```\n");
  EXPECT_EQ(Targets(CheckMarkdownLinks(folder.path() / "README.md")), std::vector<std::string>{});
}

TEST(MarkdownPageLinks, WhatPointsAtNothingIsNamed) {
  test::TestFolder folder("links");
  Write(folder.path() / "docs/dev/platform.md", "# Platforma\n\n## Dźwięk\n");
  Write(folder.path() / "README.md",
        "# Vokar\n\n"
        "[gone](docs/dev/gone.md)\n"
        "[anchor](docs/dev/platform.md#sound)\n"
        "[own](#nowhere)\n"
        "[absolute](/etc/passwd)\n"
        "[scheme](javascript:alert)\n"
        "[folder anchor](docs/dev#x)\n");
  auto broken = CheckMarkdownLinks(folder.path() / "README.md");
  EXPECT_EQ(Targets(broken), (std::vector<std::string>{"docs/dev/gone.md", "docs/dev/platform.md#sound", "#nowhere",
                                                        "/etc/passwd", "javascript:alert", "docs/dev#x"}));
  ASSERT_EQ(broken.size(), 6u);
  EXPECT_EQ(broken[0].line, 3);
  EXPECT_EQ(broken[5].line, 8);
  EXPECT_EQ(broken[0].reason, "no such file");
}

TEST(HtmlPageLinks, PagesBesideAndIdsOfThePage) {
  test::TestFolder folder("links");
  Write(folder.path() / "help/horalo.html", "<h2 id=\"klawisze-skrótu\">Klawisze</h2>\n");
  Write(folder.path() / "help/vokar.html",
        "<h1 id=\"vokar\">Vokar</h1>\n"
        "<a href=\"horalo.html#klawisze-skrótu\">ok</a>\n"
        "<a href=\"#vokar\">ok</a> <a href=\"https://example.org/?a=1&amp;b=2\">web</a>\n"
        "<a href=\"klavo.html\">missing page</a>\n"
        "<a href=\"horalo.html#brak\">missing anchor</a>\n"
        "<a href=\"../../etc/passwd\">outside</a>\n"
        "<a href=\"#nie\">missing id</a>\n");
  auto broken = CheckHtmlLinks(folder.path() / "help/vokar.html");
  EXPECT_EQ(Targets(broken),
            (std::vector<std::string>{"klavo.html", "horalo.html#brak", "../../etc/passwd", "#nie"}));
  ASSERT_EQ(broken.size(), 4u);
  EXPECT_EQ(broken[0].line, 4);
  EXPECT_EQ(broken[3].line, 7);
}

}  // namespace
}  // namespace vokar::doc
