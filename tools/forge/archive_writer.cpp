#include "tools/forge/archive_writer.h"

#include <cstdio>
#include <memory>

namespace korvel::forge {
namespace {

bool write_file(const std::string& path, const Bytes& bytes, std::string* error) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file ||
      (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

bool write_archive(const std::string& directory, const ForgeArchive& archive, std::string* error) {
  const std::string base = directory + "/" + archive.name;
  std::vector<Bytes> data_files(1);
  ByteSink index(archive.big_endian);
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    const ForgeEntry& entry = archive.entries[i];
    if (archive.numbered_series && i != 0 && entry.starts_new_file) data_files.emplace_back();
    Bytes& file = data_files.back();
    const bool begins_file = i == 0 || (archive.numbered_series && entry.starts_new_file);
    if (archive.numbered_series && !begins_file && file.empty()) file.resize(16, 0);
    std::uint64_t offset = begins_file ? 0 : file.size();
    if (!entry.payload.empty()) {
      file.insert(file.end(), entry.payload.begin(), entry.payload.end());
      while (file.size() % 16 != 0) file.push_back(0);
    }
    index.u64(offset);
    index.u64(
        entry.payload.empty() ? 0 : (entry.size_uncomp ? entry.size_uncomp : entry.payload.size()));
    index.u64(entry.payload.size());
    index.u64(entry.flag);
  }
  if (!write_file(base + ".idx", index.bytes(), error)) return false;
  if (!archive.numbered_series) return write_file(base + ".bin", data_files[0], error);
  for (std::size_t n = 0; n < data_files.size(); ++n) {
    if (!write_file(base + std::to_string(n) + ".bin", data_files[n], error)) return false;
  }
  return true;
}

}  // namespace korvel::forge
