#include "StringTable.h"

#include "Cp1250.h"

namespace vokar::app {

CStringTable::CStringTable(std::span<const StringResource> resources) {
  for (const auto& resource : resources) texts_[resource.id] = resource.text;
}

CStringTable::CStringTable(std::initializer_list<std::span<const StringResource>> parts) {
  for (const auto& part : parts) {
    for (const auto& resource : part) texts_.emplace(resource.id, resource.text);
  }
}

std::string CStringTable::Utf8(int id) const {
  const auto it = texts_.find(id);
  return it == texts_.end() ? std::string() : std::string(it->second);
}

std::string CStringTable::Cp1250(int id) const { return cp1250::FromUtf8(Utf8(id)); }

QString CStringTable::Text(int id) const { return QString::fromStdString(Utf8(id)); }

}  // namespace vokar::app
