// The build's resource compiler: a program's string table and identifiers,
// written once in a .strings file, become a header (the names with their
// numbers) and a source (the texts by number) that the program compiles.
//   vokar_strings INPUT HEADER SOURCE
//
// The input, in UTF-8, line by line:
//   # a comment                       (also after an entry)
//   namespace vokar::server           the namespace of what is made
//   [strings]                         entries: NAME NUMBER "text"
//   [ids]                             entries: NAME NUMBER
// A text is one or more quoted pieces, the later ones on the lines after it,
// joined; inside them \n, \t, \\ and \" stand for a line break, a tab, a
// backslash and a quote. Strings become `enum StringId : int`, ids
// `inline constexpr int`; StringResources() gives the texts ordered by
// number. A name or a number used twice, or a line that is none of these, is
// an error with its line number.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Entry {
  std::string name;
  long number = 0;
  std::string text;  // the text's bytes as C++ will read them back
  bool isString = false;
  int line = 0;
};

struct Table {
  std::string nameSpace;
  std::vector<Entry> entries;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& why) {
  std::cerr << file << ":" << line << ": " << why << "\n";
  std::exit(1);
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The escapes of a text, both ways: the letter after the backslash and the
// character it stands for.
constexpr std::pair<char, char> kEscapes[] = {{'n', '\n'}, {'t', '\t'}, {'\\', '\\'}, {'"', '"'}};

// Reads quoted pieces from the text, appending their contents; false when it
// holds anything else (a comment after them is allowed).
bool ReadPieces(const std::string& text, std::string& into, std::string& error) {
  bool any = false;
  for (std::size_t i = text.find_first_not_of(" \t\r"); i != std::string::npos && text[i] != '#';
       i = text.find_first_not_of(" \t\r", i)) {
    if (text[i] != '"') {
      error = "a text must be in double quotes";
      return false;
    }
    for (++i;; ++i) {
      if (i >= text.size()) {
        error = "the text's quote is not closed";
        return false;
      }
      if (text[i] == '"') break;
      if (text[i] != '\\') {
        into += text[i];
        continue;
      }
      const char letter = ++i < text.size() ? text[i] : '\0';
      const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                        [letter](const auto& e) { return e.first == letter; });
      if (escape == std::end(kEscapes)) {
        error = std::string("unknown escape \\") + letter;
        return false;
      }
      into += escape->second;
    }
    ++i;
    any = true;
  }
  if (!any) error = "no text";
  return any;
}

Table Read(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(file, 0, "cannot be read");
  Table table;
  enum class Section { None, Strings, Ids } section = Section::None;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    if (trimmed.rfind("namespace ", 0) == 0) {
      table.nameSpace = Trim(trimmed.substr(10));
      continue;
    }
    if (trimmed == "[strings]") {
      section = Section::Strings;
      continue;
    }
    if (trimmed == "[ids]") {
      section = Section::Ids;
      continue;
    }
    if (trimmed[0] == '"') {
      // The next piece of the text above.
      if (table.entries.empty() || !table.entries.back().isString) Fail(file, number, "a text without an entry");
      std::string error;
      if (!ReadPieces(trimmed, table.entries.back().text, error)) Fail(file, number, error);
      continue;
    }
    if (section == Section::None) Fail(file, number, "an entry before [strings] or [ids]");
    std::istringstream fields(trimmed);
    Entry entry;
    entry.line = number;
    std::string value;
    if (!(fields >> entry.name >> value)) Fail(file, number, "an entry is NAME NUMBER");
    for (const char c : entry.name) {
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) Fail(file, number, "a bad name: " + entry.name);
    }
    try {
      std::size_t used = 0;
      entry.number = std::stol(value, &used, 0);
      if (used != value.size()) throw std::invalid_argument(value);
    } catch (const std::exception&) {
      Fail(file, number, "a bad number: " + value);
    }
    std::string rest;
    std::getline(fields, rest);
    if (section == Section::Strings) {
      entry.isString = true;
      std::string error;
      if (!ReadPieces(rest, entry.text, error)) Fail(file, number, error);
    } else if (!Trim(rest).empty() && Trim(rest)[0] != '#') {
      Fail(file, number, "an id has no text");
    }
    table.entries.push_back(entry);
  }
  if (table.nameSpace.empty()) Fail(file, number, "no namespace");
  std::set<std::string> names;
  std::set<long> strings;
  for (const Entry& entry : table.entries) {
    if (!names.insert(entry.name).second) Fail(file, entry.line, "the name " + entry.name + " is used twice");
    if (entry.isString && !strings.insert(entry.number).second)
      Fail(file, entry.line, "the string number " + std::to_string(entry.number) + " is used twice");
  }
  return table;
}

// The text as a C++ string literal, in pieces that keep lines short: a piece
// ends after a line break or when it grows long, never inside a character of
// several bytes.
std::string Literal(const std::string& text) {
  std::string out = "\"";
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto* escape =
        std::find_if(std::begin(kEscapes), std::end(kEscapes), [c](const auto& e) { return e.second == c; });
    if (escape != std::end(kEscapes)) {
      out += '\\';
      out += escape->first;
    } else {
      out += c;
    }
    const bool characterEnds = i + 1 >= text.size() || (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80;
    if (i + 1 < text.size() && characterEnds && (c == '\n' || ++length >= 90)) {
      out += "\"\n        \"";
      length = 0;
    }
  }
  return out + "\"";
}

void Write(const Table& table, const std::string& input, const std::string& header, const std::string& source) {
  const std::string headerName = header.substr(header.find_last_of('/') + 1);
  std::ofstream h(header, std::ios::binary | std::ios::trunc);
  h << "// Made by the build from " << input.substr(input.find_last_of('/') + 1)
    << ": the program's string table and identifiers. Change that file, not this one.\n"
    << "#pragma once\n\n#include <span>\n\n#include \"StringResource.h\"\n\nnamespace " << table.nameSpace
    << " {\n\n";
  bool anyString = false;
  for (const Entry& entry : table.entries) anyString = anyString || entry.isString;
  if (anyString) {
    h << "enum StringId : int {\n";
    for (const Entry& entry : table.entries)
      if (entry.isString) h << "  " << entry.name << " = " << entry.number << ",\n";
    h << "};\n\n// The texts, ordered by number.\nstd::span<const app::StringResource> StringResources();\n\n";
  }
  for (const Entry& entry : table.entries)
    if (!entry.isString) h << "inline constexpr int " << entry.name << " = " << entry.number << ";\n";
  h << "\n}  // namespace " << table.nameSpace << "\n";

  std::ofstream s(source, std::ios::binary | std::ios::trunc);
  s << "// Made by the build from " << input.substr(input.find_last_of('/') + 1) << ".\n#include \"" << headerName
    << "\"\n\nnamespace " << table.nameSpace << " {\n";
  if (anyString) {
    std::map<long, const Entry*> ordered;
    for (const Entry& entry : table.entries)
      if (entry.isString) ordered[entry.number] = &entry;
    s << "namespace {\n\nconstexpr app::StringResource kResources[] = {\n";
    for (const auto& [number, entry] : ordered) s << "    {" << entry->name << ", " << Literal(entry->text) << "},\n";
    s << "};\n\n}  // namespace\n\nstd::span<const app::StringResource> StringResources() { return kResources; }\n";
  }
  s << "\n}  // namespace " << table.nameSpace << "\n";
  if (!h || !s) Fail(header, 0, "cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: vokar_strings INPUT HEADER SOURCE\n";
    return 2;
  }
  Write(Read(argv[1]), argv[1], argv[2], argv[3]);
  return 0;
}
