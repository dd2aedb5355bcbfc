// Look-ups over the generated tables, which rcgen emits in ascending id order.
#include <algorithm>

#include "resources/resource_tables.h"

namespace resources {
namespace {

template <typename Entry>
const Entry* FindById(std::span<const Entry> table, std::uint16_t id) {
  auto it = std::lower_bound(table.begin(), table.end(), id,
                             [](const Entry& entry, std::uint16_t key) { return entry.id < key; });
  return it != table.end() && it->id == id ? &*it : nullptr;
}

}  // namespace

const StringEntry* FindString(std::uint16_t id) {
  return FindById(StringTable(), id);
}
const DialogLayout* FindDialog(std::uint16_t id) {
  return FindById(DialogLayouts(), id);
}

}  // namespace resources
