// A fresh folder under the system's temporary folder, removed with everything
// in it when the object ends; and small file helpers for tests.
#pragma once

#include <string>

namespace kestrel::test {

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &Path() const { return path_; }
  std::string File(const std::string &name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);

} // namespace kestrel::test
