// One text of a program's string table: its resource number and its text in
// UTF-8. The tables are written in the programs' .strings files and made
// into code by the build (common/app/tools/StringsCompiler.cpp).
#pragma once

#include <string_view>

namespace vokar::app {

struct StringResource {
  int id;
  std::string_view text;  // UTF-8
};

}  // namespace vokar::app
