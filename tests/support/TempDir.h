// A fresh temporary folder, removed with all in it at the end; and whole-file reads and writes.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
namespace kestrel::test {
class TempDir {
  std::string mPath;

public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-test-XXXXXX").string();
    mPath = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Tests make folders read-only; give the rights back so the tree can go.
    for (auto it = fs::recursive_directory_iterator(mPath, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      ::chmod(it->path().c_str(), 0700);
    ::chmod(mPath.c_str(), 0700);
    fs::remove_all(mPath, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &Path() const { return mPath; }
  std::string File(const std::string &name) const { return mPath + "/" + name; }
};
inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
inline void WriteFile(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
} // namespace kestrel::test
