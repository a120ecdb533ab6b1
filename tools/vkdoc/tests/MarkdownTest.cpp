// The guides' Markdown: what is read as which block and run, and the faults
// that are refused with the line a writer has to mend.
#include <gtest/gtest.h>

#include <string>

#include "Markdown.h"

namespace vokar::doc {
namespace {

Document Read(const std::string& source) {
  ParseResult result = Parse(source);
  EXPECT_TRUE(result.document.has_value()) << "line " << result.error.line << ": " << result.error.message;
  return result.document.value_or(Document{});
}

ParseError Refused(const std::string& source) {
  ParseResult result = Parse(source);
  EXPECT_FALSE(result.document.has_value()) << source;
  return result.error;
}

TEST(MarkdownBlocks, TitleSectionsParagraphsAndLines) {
  Document doc = Read(
      "# vokar — syntezator\n"
      "\n"
      "Pierwszy wiersz   \n"
      "  drugi wiersz.\n"
      "\n"
      "## Sekcja\n"
      "### Podsekcja ##\n"
      "Tekst zaraz po nagłówku.\r\n");
  ASSERT_EQ(doc.blocks.size(), 5u);
  EXPECT_EQ(doc.blocks[0].kind, BlockKind::Heading);
  EXPECT_EQ(doc.blocks[0].level, 1);
  EXPECT_EQ(PlainText(doc.blocks[0].inlines), "vokar — syntezator");
  EXPECT_EQ(doc.blocks[1].kind, BlockKind::Paragraph);
  // The lines of a paragraph join with one blank, whatever blanks they had.
  EXPECT_EQ(PlainText(doc.blocks[1].inlines), "Pierwszy wiersz drugi wiersz.");
  EXPECT_EQ(doc.blocks[1].line, 3);
  EXPECT_EQ(doc.blocks[2].level, 2);
  EXPECT_EQ(doc.blocks[3].level, 3);
  EXPECT_EQ(PlainText(doc.blocks[3].inlines), "Podsekcja");
  EXPECT_EQ(PlainText(doc.blocks[4].inlines), "Tekst zaraz po nagłówku.");
  EXPECT_EQ(doc.blocks[4].line, 8);
}

TEST(MarkdownBlocks, ListsKeepTheirItemsAcrossContinuationsAndBlankLines) {
  Document doc = Read(
      "# t — t\n\n"
      "- jeden\n"
      "  ciąg dalszy\n"
      "leniwy ciąg dalszy\n"
      "- dwa\n"
      "\n"
      "- trzy po pustym wierszu\n"
      "\n"
      "Akapit.\n"
      "\n"
      "3. trzeci\n"
      "4. czwarty\n"
      "Akapit zaraz po liście\n"
      "- to nowy punkt, nie ciąg akapitu\n");
  ASSERT_EQ(doc.blocks.size(), 5u);
  const Block& bullets = doc.blocks[1];
  EXPECT_EQ(bullets.kind, BlockKind::BulletList);
  ASSERT_EQ(bullets.items.size(), 3u);
  EXPECT_EQ(PlainText(bullets.items[0]), "jeden ciąg dalszy leniwy ciąg dalszy");
  EXPECT_EQ(PlainText(bullets.items[2]), "trzy po pustym wierszu");
  const Block& ordered = doc.blocks[3];
  EXPECT_EQ(ordered.kind, BlockKind::OrderedList);
  EXPECT_EQ(ordered.start, 3);
  ASSERT_EQ(ordered.items.size(), 2u);
  // A line without a marker right after an item continues it, as on the forge.
  EXPECT_EQ(PlainText(ordered.items[1]), "czwarty Akapit zaraz po liście");
  EXPECT_EQ(doc.blocks[4].kind, BlockKind::BulletList);
}

TEST(MarkdownBlocks, OnlyTheFirstNumberStartsAListInsideAParagraph) {
  Document doc = Read("# t — t\n\nRok\n1996. był dobry.\n1. a to lista\n");
  ASSERT_EQ(doc.blocks.size(), 3u);
  EXPECT_EQ(PlainText(doc.blocks[1].inlines), "Rok 1996. był dobry.");
  EXPECT_EQ(doc.blocks[2].kind, BlockKind::OrderedList);
}

TEST(MarkdownBlocks, TablesSplitAtUnescapedBarsOnly) {
  Document doc = Read(
      "# t — t\n\n"
      "| polecenie | co robi |\n"
      "|:---|---:|\n"
      "| `vkalf extract PLIK NUMER\\|NAZWA` | jeden wpis \\| do pliku |\n"
      "| | pusta komórka |\n");
  ASSERT_EQ(doc.blocks.size(), 2u);
  const Block& table = doc.blocks[1];
  ASSERT_EQ(table.kind, BlockKind::Table);
  ASSERT_EQ(table.rows.size(), 3u);
  EXPECT_EQ(PlainText(table.rows[0][1]), "co robi");
  ASSERT_EQ(table.rows[1][0].size(), 1u);
  EXPECT_EQ(table.rows[1][0][0].kind, InlineKind::Code);
  EXPECT_EQ(table.rows[1][0][0].text, "vkalf extract PLIK NUMER|NAZWA");
  EXPECT_EQ(PlainText(table.rows[1][1]), "jeden wpis | do pliku");
  EXPECT_TRUE(table.rows[2][0].empty());
}

TEST(MarkdownBlocks, CodeBlocksKeepTheirLinesAsWritten) {
  Document doc = Read("# t — t\n\n```sh\n  vokar /L- **nie** `pogrubione`\n\n# nie nagłówek\n```\n");
  ASSERT_EQ(doc.blocks.size(), 2u);
  ASSERT_EQ(doc.blocks[1].kind, BlockKind::CodeBlock);
  EXPECT_EQ(doc.blocks[1].code,
            (std::vector<std::string>{"  vokar /L- **nie** `pogrubione`", "", "# nie nagłówek"}));
}

TEST(MarkdownInlines, CodeStrongLinksAndEscapes) {
  Document doc = Read(
      "# t — t\n\n"
      "Znacznik `\\Spd=20\\`, ``a ` b``, ` x ` i **Pauza `Esc`**, [Vokar](vokar.md#pliki),\n"
      "[brak] i [x] (y), \\*gwiazdka\\*, 2 * 3, a\\b, 5 < 6 & 7 > 1, snake_case.\n");
  const Inlines& runs = doc.blocks[1].inlines;
  std::vector<InlineKind> kinds;
  for (const auto& run : runs) kinds.push_back(run.kind);
  EXPECT_EQ(kinds, (std::vector<InlineKind>{InlineKind::Text, InlineKind::Code, InlineKind::Text, InlineKind::Code,
                                            InlineKind::Text, InlineKind::Code, InlineKind::Text, InlineKind::Strong,
                                            InlineKind::Text, InlineKind::Link, InlineKind::Text}));
  // A backslash in code is itself; a run of two backticks may hold one.
  EXPECT_EQ(runs[1].text, "\\Spd=20\\");
  EXPECT_EQ(runs[3].text, "a ` b");
  EXPECT_EQ(runs[5].text, "x");
  ASSERT_EQ(runs[7].children.size(), 2u);
  EXPECT_EQ(runs[7].children[1].kind, InlineKind::Code);
  EXPECT_EQ(runs[9].target, "vokar.md#pliki");
  EXPECT_EQ(PlainText(runs[9].children), "Vokar");
  EXPECT_EQ(runs[10].text, ", [brak] i [x] (y), *gwiazdka*, 2 * 3, a\\b, 5 < 6 & 7 > 1, snake_case.");
}

TEST(MarkdownInlines, ABlankOnEachSideOfCodeIsTakenAwayOnce) {
  Document doc = Read("# t — t\n\n`  dwa  ` i `` `tick` ``\n");
  const Inlines& runs = doc.blocks[1].inlines;
  EXPECT_EQ(runs[0].text, " dwa ");
  EXPECT_EQ(runs[2].text, "`tick`");
}

TEST(MarkdownFaults, EachNamesItsLine) {
  struct Case {
    const char* source;
    int line;
    const char* says;
  };
  const Case cases[] = {
      {"# t — t\n\ntekst\n```\nkod bez końca\n", 4, "``` is not closed"},
      {"# t — t\n\nkod `bez końca\n", 3, "not closed"},
      {"# t — t\n\n**mocno bez końca\n", 3, "** is not closed"},
      {"# t — t\n\nx <b>pogrubione</b>\n", 3, "raw HTML"},
      {"# t — t\n\n<!-- komentarz -->\n", 3, "raw HTML"},
      {"# t — t\n\nA&amp;B\n", 3, "character references"},
      {"# t — t\n\nA &#261; B\n", 3, "character references"},
      {"# t — t\n\n*kursywa*\n", 3, "emphasis with *"},
      {"# t — t\n\n_kursywa_\n", 3, "emphasis with _"},
      {"# t — t\n\n#### za głęboko\n", 3, "three levels"},
      {"# t — t\n\n# drugi tytuł\n", 3, "only the title"},
      {"## bez tytułu\n", 1, "starts with its # title"},
      {"# t — t\n\n- punkt\n  - zagnieżdżony\n", 4, "do not nest"},
      {"# t — t\n\n- punkt\n\n  drugi akapit punktu\n", 5, "one paragraph"},
      {"# t — t\n\n- punkt\n  ```\n  kod\n  ```\n", 4, "one paragraph"},
      {"# t — t\n\n1) punkt\n", 3, "1. "},
      {"# t — t\n\n* punkt\n", 3, "- "},
      {"# t — t\n\n| a | b |\n| c | d |\n", 3, "|---|"},
      {"# t — t\n\n| a | b |\n|---|---|\n| c |\n", 5, "1 cells, the table 2"},
      {"# t — t\n\n| a | b |\n|---|---|\n| c | d |\nciąg\n", 6, "blank line"},
      {"# t — t\n\nNagłówek\n===\n", 4, "underlined headings"},
      {"# t — t\n\nNagłówek\n---\n", 4, "underlined headings"},
      {"# t — t\n\n---\n", 3, "rules"},
      {"# t — t\n\n> cytat\n", 3, "block quotes"},
      {"# t — t\n\n    wcięty kod\n", 3, "indented code"},
      {"# t — t\n\n\twcięcie tabem\n", 3, "tab"},
      {"# t — t\n\n[link]( z odstępem)\n", 3, "no blanks"},
      {"# t — t\n\n[](pusty.md)\n", 3, "needs a text"},
      {"# t — t\n\n[**mocny**](x.md)\n", 3, "plain text and code only"},
      {"# t — t\n\nx ``\n", 3, "not closed"},
      {"# t — t\n\n##\n", 3, "needs a text"},
      {"# t — t\n\n-\n", 3, "empty list item"},
  };
  for (const auto& c : cases) {
    ParseError error = Refused(c.source);
    EXPECT_EQ(error.line, c.line) << c.source;
    EXPECT_NE(error.message.find(c.says), std::string::npos) << c.source << " -> " << error.message;
  }
}

TEST(MarkdownFaults, BytesThatAreNotTextAreRefused) {
  EXPECT_EQ(Refused(std::string("# t — t\n\nzero\0bajt\n", 18)).line, 3);
  EXPECT_EQ(Refused("# t — t\n\nstare \xB1\xE6 z 1250\n").line, 3);
  EXPECT_EQ(Refused("# t — t\n\n\xC0\xAF nadmiarowe\n").line, 3);
  EXPECT_EQ(Refused("# t — t\n\n\xED\xA0\x80 surogat\n").line, 3);
  EXPECT_EQ(Refused("# t — t\n\nucięte \xC5").line, 3);
  EXPECT_EQ(Refused("# t — t\n\x1b[1m\n").line, 2);
  EXPECT_EQ(Refused("# t — t\n\nDEL\x7f\n").line, 3);
  EXPECT_EQ(Refused("# t — t\n\nC1 \xC2\x85 NEL\n").line, 3);
  EXPECT_EQ(Refused("# t — t\n\nsamotny\rpowrót karetki\n").line, 3);
  Read("# t — t\r\n\r\nwiersze z CR LF\r\n");
  EXPECT_TRUE(IsValidUtf8("zażółć gęślą jaźń \xF0\x9F\x94\x8A"));
}

TEST(MarkdownAnchors, AsTheForgeGivesThem) {
  std::vector<std::string> used;
  EXPECT_EQ(HeadingAnchor("Klawisze skrótu", used), "klawisze-skrótu");
  EXPECT_EQ(HeadingAnchor("ŻÓŁW, Ćma i Łódź", used), "żółw-ćma-i-łódź");
  EXPECT_EQ(HeadingAnchor("The network sender Sievo and the share VOKAR$", used),
            "the-network-sender-sievo-and-the-share-vokar");
  EXPECT_EQ(HeadingAnchor("Sound output (VOKAR_WAVEOUT)", used), "sound-output-vokar_waveout");
  EXPECT_EQ(HeadingAnchor("vokar — moduł do syntezy mowy", used), "vokar--moduł-do-syntezy-mowy");
  EXPECT_EQ(HeadingAnchor("Klawisze skrótu", used), "klawisze-skrótu-1");
  EXPECT_EQ(HeadingAnchor("Klawisze skrótu", used), "klawisze-skrótu-2");
}

}  // namespace
}  // namespace vokar::doc
