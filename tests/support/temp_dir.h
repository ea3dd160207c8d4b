// A scratch folder per test, removed with everything in it afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<std::uint8_t> read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::string read_text(const std::string& path);

}  // namespace korvel::test
