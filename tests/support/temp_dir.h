// A fresh temporary directory for one test, removed with everything in it
// when the object goes.
#pragma once

#include <string>

namespace qev::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// The whole content of the file at `path` ("" when it cannot be read).
std::string ReadFile(const std::string& path);

}  // namespace qev::testing
