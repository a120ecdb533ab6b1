// A program's string table: the texts it shows and speaks, found by their
// resource number. Texts are kept in UTF-8; the code page 1250 form is what
// the engine and the DDE wire take.
#pragma once

#include <QString>

#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "StringResource.h"

namespace vokar::app {

class CStringTable {
 public:
  explicit CStringTable(std::span<const StringResource> resources);
  // A table of several parts (the program's own texts and the kit's); a
  // later part does not replace a number an earlier one has.
  explicit CStringTable(std::initializer_list<std::span<const StringResource>> parts);

  // The text of a resource, or an empty string for a number the table lacks.
  std::string Utf8(int id) const;
  std::string Cp1250(int id) const;
  QString Text(int id) const;
  bool Has(int id) const { return texts_.contains(id); }

 private:
  std::map<int, std::string_view> texts_;
};

}  // namespace vokar::app
