#include "RemoveStrings.h"

#include <algorithm>

namespace vokar::uninstall {

std::string_view LoadString(int id) {
  const auto texts = StringResources();
  const auto found = std::lower_bound(texts.begin(), texts.end(), id,
                                      [](const app::StringResource& entry, int wanted) { return entry.id < wanted; });
  return found == texts.end() || found->id != id ? std::string_view() : found->text;
}

}  // namespace vokar::uninstall
