#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kestrel::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-test-XXXXXX").string();
  char *made = ::mkdtemp(pattern.data());
  path_ = made ? std::string(made) : std::string();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make folders read-only; give the rights back so the tree can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    ::chmod(it->path().c_str(), 0700);
  ::chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

} // namespace kestrel::test
