// Scanning an archive into list-document form: every entry is decoded once and
// its content tree becomes elements a user can browse, with readable labels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <rapidxml.hpp>

namespace korvel::cli {

// Copies of its entry's textures that follow a model: the viewer reads at
// most this many.
constexpr std::size_t kMaxTexturesPerModel = 256;
// Elements one scan may add to the list. Each takes a few hundred bytes in
// memory and in the file, and the list is read at every start.
constexpr std::uint64_t kMaxScanElements = 0x100000;

struct ScanOptions {
  bool all_entries = false;  // also entries that hold no texture or model
  std::uint64_t max_elements = kMaxScanElements;
  // Called now and then with (entries done, entries in all).
  std::function<void(std::uint32_t, std::uint32_t)> progress;
  // Called for each entry that could not be read, with the reason; the scan
  // goes on without it.
  std::function<void(const std::string&)> skipped;
};

// Appends one archive element under parent (a node of a list document): its
// "idx_file_path" is index_path as given, its text the archive's file name.
// Null with a reason when the archive cannot be opened, or when the list
// would take more than options.max_elements elements.
rapidxml::xml_node<char>* scan_archive(const std::string& index_path, const ScanOptions& options,
                                       rapidxml::xml_node<char>* parent, std::string* error);

}  // namespace korvel::cli
