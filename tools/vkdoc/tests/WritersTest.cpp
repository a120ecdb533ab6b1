// One guide, two pages: the help page's markup and links, the manual page's
// requests and escapes, and groff reading the manual page without a warning.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "Markdown.h"
#include "TestFolder.h"
#include "Writers.h"

namespace vokar::doc {
namespace {

Document Read(const std::string& source) {
  ParseResult result = Parse(source);
  EXPECT_TRUE(result.document.has_value()) << "line " << result.error.line << ": " << result.error.message;
  return result.document.value_or(Document{});
}

std::string Html(const std::string& source, GuideExists exists = {}) {
  HtmlOptions options;
  options.guideExists = std::move(exists);
  std::string out;
  WriteError error;
  EXPECT_TRUE(WriteHtml(Read(source), options, out, error)) << error.line << ": " << error.message;
  return out;
}

WriteError HtmlRefused(const std::string& source, GuideExists exists = {}) {
  HtmlOptions options;
  options.guideExists = std::move(exists);
  std::string out;
  WriteError error;
  EXPECT_FALSE(WriteHtml(Read(source), options, out, error)) << source;
  return error;
}

ManOptions PolishOptions() {
  ManOptions options;
  options.date = "2024-05-01";
  options.source = "Vokar 1.1.95.3";
  options.manual = "Podręcznik pakietu Vokar";
  options.origin = "docs/user/vokar.md";
  return options;
}

std::string Man(const std::string& source, ManOptions options = PolishOptions()) {
  std::string out;
  WriteError error;
  EXPECT_TRUE(WriteMan(Read(source), options, out, error)) << error.line << ": " << error.message;
  return out;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// groff as man runs it for a terminal; its warnings and the text it shows.
struct Rendered {
  int status = -1;
  std::string warnings;
  std::string text;
};

Rendered Groff(const test::TestFolder& folder, const std::string& page) {
  auto source = folder.path() / "page.1";
  std::ofstream(source, std::ios::binary) << page;
  auto errors = folder.path() / "errors.txt";
  auto text = folder.path() / "text.txt";
  std::string command = "groff -man -ww -Tutf8 -P-cbou '" + source.string() + "' > '" + text.string() + "' 2> '" +
                        errors.string() + "'";
  Rendered rendered;
  rendered.status = std::system(command.c_str());
  rendered.warnings = ReadFile(errors);
  // Lines are justified with extra blanks; one blank is what a reader hears.
  for (char c : ReadFile(text)) {
    if (c == ' ' && !rendered.text.empty() && rendered.text.back() == ' ') continue;
    rendered.text += c;
  }
  return rendered;
}

const char* const kFullGuide =
    "# vokar — moduł do syntezy mowy\n"
    "\n"
    "Vokar czyta na głos: zażółć gęślą jaźń. Opcja `--speed -20` i **Pauza (`Esc`)**;\n"
    ".ann i 'cytat' na początku wiersza, ukośnik \\\\Spd i minus - w tekście.\n"
    "\n"
    "## Zobacz także\n"
    "\n"
    "- [Horalo](horalo.md) i [strona](https://example.org/a?b=1&c=2)\n"
    "- [ta sekcja](#zobacz-także)\n"
    "\n"
    "3. trzeci\n"
    "4. czwarty\n"
    "\n"
    "| klawisz | co robi | uwaga |\n"
    "|---|---|---|\n"
    "| `Ctrl+Shift+F5` | czyta schowek | |\n"
    "| .kropka | \\| kreska | „cudzysłów” |\n"
    "\n"
    "```sh\n"
    "vokar /L- --speed -20 \\\n"
    ".nie żądanie\n"
    "'też nie\n"
    "\n"
    "```\n"
    "\n"
    "### Szczegóły\n"
    "\n"
    "Koniec.\n";

TEST(HelpPage, MarkupIsOursAndTextIsEscaped) {
  std::string page = Html(
      "# vokar — syntezator \\<mowy>\n\n"
      "Tekst \\<script\\>alert(1)\\</script\\> & \"cytat\" `a<b && c` [x](https://e.org/?a=1&b=2).\n");
  EXPECT_NE(page.find("<html lang=\"pl\">"), std::string::npos);
  EXPECT_NE(page.find("<title>vokar — syntezator &lt;mowy&gt;</title>"), std::string::npos);
  EXPECT_NE(page.find("<p>Tekst &lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;cytat&quot; "
                      "<code>a&lt;b &amp;&amp; c</code> <a href=\"https://e.org/?a=1&amp;b=2\">x</a>.</p>"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<script"), std::string::npos);
}

TEST(HelpPage, GuidesBecomePagesAndHeadingsCarryTheirAnchors) {
  std::string page = Html(kFullGuide);
  EXPECT_NE(page.find("<h1 id=\"vokar--moduł-do-syntezy-mowy\">"), std::string::npos);
  EXPECT_NE(page.find("<h2 id=\"zobacz-także\">Zobacz także</h2>"), std::string::npos);
  EXPECT_NE(page.find("<h3 id=\"szczegóły\">"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"horalo.html\">Horalo</a>"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"#zobacz-także\">"), std::string::npos);
  EXPECT_NE(page.find("<ol start=\"3\">"), std::string::npos);
  EXPECT_NE(page.find("<tr><th scope=\"col\">klawisz</th>"), std::string::npos);
  EXPECT_NE(page.find("<td>| kreska</td>"), std::string::npos);
  EXPECT_NE(page.find("<pre><code>vokar /L- --speed -20 \\\n.nie żądanie\n'też nie\n</code></pre>"),
            std::string::npos);
  EXPECT_NE(Html("# t — t\n\n[Klawisze](klavo.md#klawisze-skrótu)\n").find("href=\"klavo.html#klawisze-skrótu\""),
            std::string::npos);
}

TEST(HelpPage, LinksThatCannotBeFollowedAreRefused) {
  auto none = [](std::string_view) { return false; };
  auto horaloOnly = [](std::string_view name) { return name == "horalo"; };
  EXPECT_EQ(HtmlRefused("# t — t\n\ntekst\n\n[zły](javascript:alert)\n").line, 5);
  EXPECT_NE(HtmlRefused("# t — t\n\n[dev](../dev/platform.md)\n").message.find("only to another guide"),
            std::string::npos);
  HtmlRefused("# t — t\n\n[plik](/etc/passwd)\n");
  HtmlRefused("# t — t\n\n[plik](docs/user/vokar.md)\n");
  HtmlRefused("# t — t\n\n[obraz](logo.png)\n");
  HtmlRefused("# t — t\n\n[pusty](#)\n");
  EXPECT_NE(HtmlRefused("# t — t\n\n[brak](#nie-ma-takiej)\n").message.find("anchor"), std::string::npos);
  EXPECT_NE(HtmlRefused("# t — t\n\n[Klavo](klavo.md)\n", horaloOnly).message.find("klavo.md"), std::string::npos);
  HtmlRefused("# t — t\n\n| a |\n|---|\n| [x](vokar.md) |\n", none);
  Html("# t — t\n\n[Horalo](horalo.md)\n", horaloOnly);
}

TEST(ManualPage, HeaderNameAndDescription) {
  std::string page = Man(kFullGuide);
  EXPECT_EQ(page.substr(0, page.find('\n')),
            ".\\\" The manual page of vokar, made from docs/user/vokar.md by vkdoc: change that page, not this one.");
  EXPECT_NE(page.find("\n.TH \"VOKAR\" 1 \"2024-05-01\" \"Vokar 1.1.95.3\" \"Podr\\[u0119]cznik pakietu Vokar\"\n"
                      ".nh\n.ad l\n.SH NAZWA\nvokar \\- modu\\[u0142] do syntezy mowy\n.SH OPIS\n.PP\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(".SH\nZOBACZ TAK\\[u017B]E\n"), std::string::npos);
  EXPECT_NE(page.find(".SS\nSzczeg\\[u00F3]\\[u0142]y\n"), std::string::npos);

  ManOptions english = PolishOptions();
  english.language = "en";
  std::string en = Man("# vkreg — looks at and changes the settings\n\n## Options\n\nNone.\n", english);
  EXPECT_NE(en.find(".nh\n.ad l\n.SH NAME\nvkreg \\- looks at and changes the settings\n.SH\nOPTIONS\n"), std::string::npos) << en;
  EXPECT_EQ(en.find(".SH DESCRIPTION"), std::string::npos) << "no text before the first section, no DESCRIPTION";
}

TEST(ManualPage, NoTextBecomesARequest) {
  std::string page = Man(kFullGuide);
  for (unsigned char c : page) ASSERT_LT(c, 0x80) << "every other character is written by its code point";
  EXPECT_NE(page.find("\\fB\\-\\-speed \\-20\\fR"), std::string::npos) << "options keep their minus signs";
  EXPECT_NE(page.find("\\eSpd i minus - w"), std::string::npos);
  EXPECT_NE(page.find(".TP\n\\&.kropka\n| kreska \\(em \\[u201E]cudzys\\[u0142]\\[u00F3]w\\[u201D]\n"), std::string::npos)
      << page;
  EXPECT_NE(page.find(".TP\n\\fBCtrl+Shift+F5\\fR\nczyta schowek\n"), std::string::npos);
  EXPECT_NE(page.find(".nf\nvokar /L\\- \\-\\-speed \\-20 \\e\n\\&.nie \\[u017C]\\[u0105]danie\n\\&'te\\[u017C] nie\n\\&\n.fi\n"),
            std::string::npos)
      << page;
  // A paragraph of words that each start with a dot: wherever the lines
  // break, none of them may start a request.
  std::string dots = "# t — t\n\n";
  for (int i = 0; i < 60; ++i) dots += ".ann 'x ";
  std::string filled = Man(dots);
  std::size_t body = filled.find(".PP\n") + 4;
  int lines = 0;
  for (std::size_t at = body; at < filled.size(); at = filled.find('\n', at) + 1) {
    ++lines;
    EXPECT_EQ(filled.substr(at, 2), "\\&") << filled.substr(at, 20);
    EXPECT_LE(filled.find('\n', at) - at, 80u);
  }
  EXPECT_GT(lines, 5);
}

TEST(ManualPage, TabsAreBlanks) {
  std::string page = Man("# t — t\n\nz\ttabem `a\tb`\n\n```\nab\tc\n\td\n```\n");
  EXPECT_EQ(page.find('\t'), std::string::npos);
  EXPECT_NE(page.find("z tabem \\fBa b\\fR"), std::string::npos) << page;
  EXPECT_NE(page.find(".nf\nab      c\n        d\n.fi"), std::string::npos) << page;
}

TEST(ManualPage, TheTitleNamesTheCommand) {
  for (const char* title : {"# vokar\n", "# Vokar — syntezator\n", "# vokar - syntezator\n", "# vokar — \n",
                            "# vk say — x\n"}) {
    std::string out;
    WriteError error;
    EXPECT_FALSE(WriteMan(Read(title), PolishOptions(), out, error)) << title;
    EXPECT_EQ(error.line, 1);
  }
}

TEST(ManualPage, GroffReadsItWithoutAWarning) {
  test::TestFolder folder("vkdoc");
  Rendered rendered = Groff(folder, Man(kFullGuide));
  EXPECT_EQ(rendered.status, 0);
  EXPECT_EQ(rendered.warnings, "");
  EXPECT_NE(rendered.text.find("vokar - moduł do syntezy mowy"), std::string::npos) << rendered.text;
  EXPECT_NE(rendered.text.find("zażółć gęślą jaźń"), std::string::npos);
  EXPECT_NE(rendered.text.find("ZOBACZ TAKŻE"), std::string::npos);
  EXPECT_NE(rendered.text.find("vokar /L- --speed -20 \\"), std::string::npos);
  EXPECT_NE(rendered.text.find(".nie żądanie"), std::string::npos);
  EXPECT_NE(rendered.text.find("'też nie"), std::string::npos);
  EXPECT_NE(rendered.text.find(".ann i 'cytat'"), std::string::npos);
  EXPECT_NE(rendered.text.find("<https://example.org/a?b=1&c=2>"), std::string::npos);
  EXPECT_NE(rendered.text.find("Szczegóły"), std::string::npos);
}

}  // namespace
}  // namespace vokar::doc
