// vkdoc: makes a program's help page and manual page from its guide, and
// checks that the links of the suite's pages point at something. The build
// runs it; its faults name the guide's file and line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Links.h"
#include "Markdown.h"
#include "Writers.h"

namespace {

namespace fs = std::filesystem;
using namespace vokar::doc;

constexpr const char* kUsage =
    "usage: vkdoc html GUIDE.md -o PAGE.html [--lang LANG]\n"
    "       vkdoc man GUIDE.md -o PAGE.N [--lang pl|en] [--section N] [--date YYYY-MM-DD]\n"
    "                 [--source TEXT] [--manual TEXT] [--origin NAME] [--name COMMAND]\n"
    "       vkdoc check-links PAGE...\n"
    "html and man write a guide's help page and manual page; links to other\n"
    "guides (name.md) must name a guide beside it; a manual page's title reads\n"
    "\"# command \u2014 what it is\" (and names COMMAND when --name is given).\n"
    "check-links checks every link of Markdown (.md) and HTML (.html) pages:\n"
    "the files and anchors they name.\n"
    "Exit status: 0 done, 1 a fault in a page (named with its line), 2 bad\n"
    "command line, 3 a file could not be read or written.\n";

constexpr std::size_t kMaxGuide = 4 * 1024 * 1024;

int Usage(const std::string& message) {
  std::cerr << "vkdoc: " << message << "\n" << kUsage;
  return 2;
}

std::optional<std::string> ReadGuide(const fs::path& path) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  auto size = fs::file_size(path, error);
  if (error || size > kMaxGuide) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) return std::nullopt;
  return text;
}

// Written beside the target and renamed over it, so that a build broken off
// halfway never leaves half a page behind that looks finished.
bool WriteAtomically(const fs::path& path, const std::string& text) {
  fs::path temporary = path;
  temporary += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}

int Convert(const std::string& mode, const std::vector<std::string>& args) {
  std::string input;
  std::string output;
  HtmlOptions html;
  ManOptions man;
  man.source = "Vokar";
  man.manual = "Vokar";
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    std::optional<std::string> v;
    if (arg == "-o") {
      if (!(v = value())) return Usage("-o needs a file");
      output = *v;
    } else if (arg == "--lang") {
      if (!(v = value()) || (*v != "pl" && *v != "en")) return Usage("--lang is pl or en");
      html.language = man.language = *v;
    } else if (arg == "--section" && mode == "man") {
      if (!(v = value()) || v->size() != 1 || (*v)[0] < '1' || (*v)[0] > '9') return Usage("--section is 1 to 9");
      man.section = (*v)[0] - '0';
    } else if (arg == "--date" && mode == "man") {
      if (!(v = value())) return Usage("--date needs a date");
      man.date = *v;
    } else if (arg == "--source" && mode == "man") {
      if (!(v = value())) return Usage("--source needs a text");
      man.source = *v;
    } else if (arg == "--manual" && mode == "man") {
      if (!(v = value())) return Usage("--manual needs a text");
      man.manual = *v;
    } else if (arg == "--name" && mode == "man") {
      if (!(v = value())) return Usage("--name needs a command");
      man.name = *v;
    } else if (arg == "--origin" && mode == "man") {
      if (!(v = value())) return Usage("--origin needs a name");
      man.origin = *v;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage("unknown option " + arg);
    } else if (input.empty()) {
      input = arg;
    } else {
      return Usage("one guide at a time");
    }
  }
  if (input.empty() || output.empty()) return Usage("a guide and -o FILE are needed");

  auto source = ReadGuide(input);
  if (!source) {
    std::cerr << "vkdoc: " << input << ": cannot be read (a regular file of at most 4 MiB)\n";
    return 3;
  }
  ParseResult parsed = Parse(*source);
  if (!parsed.document) {
    std::cerr << input << ":" << parsed.error.line << ": " << parsed.error.message << "\n";
    return 1;
  }
  fs::path folder = fs::path(input).parent_path();
  GuideExists exists = [folder](std::string_view name) {
    std::error_code error;
    return fs::is_regular_file(folder / (std::string(name) + ".md"), error);
  };
  html.guideExists = man.guideExists = exists;
  std::string text;
  WriteError error;
  bool ok = mode == "html" ? WriteHtml(*parsed.document, html, text, error)
                           : WriteMan(*parsed.document, man, text, error);
  if (!ok) {
    std::cerr << input << ":" << error.line << ": " << error.message << "\n";
    return 1;
  }
  if (!WriteAtomically(output, text)) {
    std::cerr << "vkdoc: " << output << ": cannot be written\n";
    return 3;
  }
  return 0;
}

int CheckLinks(const std::vector<std::string>& pages) {
  if (pages.empty()) return Usage("check-links needs pages");
  int status = 0;
  for (const auto& page : pages) {
    std::error_code error;
    if (!fs::is_regular_file(page, error)) {
      std::cerr << "vkdoc: " << page << ": no such page\n";
      status = 3;
      continue;
    }
    std::string ext = fs::path(page).extension().string();
    auto broken = ext == ".html" ? CheckHtmlLinks(page) : CheckMarkdownLinks(page);
    for (const auto& link : broken) {
      std::cerr << link.page.string() << ":" << link.line << ": " << link.target << ": " << link.reason << "\n";
      if (status == 0) status = 1;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("a command is needed");
  std::string mode = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (mode == "--help" || mode == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (mode == "html" || mode == "man") return Convert(mode, args);
  if (mode == "check-links") return CheckLinks(args);
  return Usage("unknown command " + mode);
}
