// A whole OLE2 compound file in memory, read and written with libgsf.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fixtures {

struct Entry {
  std::string name;
  bool is_storage = false;
  std::vector<std::uint8_t> data;                     // streams
  std::optional<std::array<std::uint8_t, 16>> clsid;  // storages
  std::vector<Entry> children;                        // storages

  Entry* child(std::string_view child_name);
  const Entry* child(std::string_view child_name) const;
  void remove_child(std::string_view child_name);
};

// Throw std::runtime_error with libgsf's message on failure.
Entry read_compound_file(const std::string& path);
void write_compound_file(const std::string& path, const Entry& root);

}  // namespace fixtures
