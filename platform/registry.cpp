#include "platform/registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev {

namespace {

[[noreturn]] void RegistryError(const std::string& what) {
  Raise(kErrRegistry, what, "qev.Registry");
}

void MakeParentDirs(const std::string& path) {
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
    std::string dir = path.substr(0, pos);
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
      RegistryError("cannot create directory " + dir + ": " + std::strerror(errno));
  }
}

// Holds an exclusive lock on "<path>.lock" for its lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    MakeParentDirs(path);
    const std::string lock = path + ".lock";
    fd_ = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) RegistryError("cannot open " + lock + ": " + std::strerror(errno));
    if (flock(fd_, LOCK_EX) != 0) {
      const int err = errno;
      close(fd_);
      RegistryError("cannot lock " + lock + ": " + std::strerror(err));
    }
  }
  ~FileLock() {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

// Where the registry's own directory is, for relative library paths.
RegistryEntry Resolved(RegistryEntry entry, const std::string& registry_path) {
  if (!entry.library.empty() && entry.library.front() != '/') {
    const size_t slash = registry_path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : registry_path.substr(0, slash);
    entry.library = dir + "/" + entry.library;
  }
  return entry;
}

}  // namespace

Registry Registry::Default() {
  if (const char* env = std::getenv("QEV_REGISTRY"); env && *env) return Registry(env);
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return Registry(std::string(xdg) + "/qev/classes.reg");
  const char* home = std::getenv("HOME");
  return Registry(std::string(home && *home ? home : "/tmp") + "/.config/qev/classes.reg");
}

std::optional<Registry> Registry::Installed() {
  // Any address inside this library names its file.
  Dl_info dl{};
  if (dladdr(reinterpret_cast<const void*>(&Registry::Installed), &dl) == 0 ||
      dl.dli_fname == nullptr)
    return std::nullopt;
  char* real = realpath(dl.dli_fname, nullptr);
  std::string library = real ? real : dl.dli_fname;
  std::free(real);
  const size_t slash = library.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return Registry(library.substr(0, slash) + "/qev/classes.reg");
}

std::vector<RegistryEntry> Registry::Load() const {
  std::vector<RegistryEntry> entries;
  std::ifstream in(path_);
  if (!in) return entries;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    std::optional<Guid> clsid, iid;
    if (cols.size() == 4) {
      clsid = Guid::Parse(cols[1]);
      iid = Guid::Parse(cols[2]);
    }
    if (!clsid || !iid || cols[0].empty() || cols[3].empty())
      RegistryError("malformed line " + std::to_string(number) + " in " + path_);
    entries.push_back(RegistryEntry{ClassInfo{cols[0], *clsid, *iid}, cols[3]});
  }
  return entries;
}

std::optional<RegistryEntry> Registry::FindProgId(std::string_view progid) const {
  for (auto& e : Load())
    if (EqualsNoCase(e.info.progid, progid)) return Resolved(std::move(e), path_);
  return std::nullopt;
}

std::optional<RegistryEntry> Registry::FindClsid(const Guid& clsid) const {
  for (auto& e : Load())
    if (e.info.clsid == clsid) return Resolved(std::move(e), path_);
  return std::nullopt;
}

void Registry::Write(const std::vector<RegistryEntry>& entries) const {
  const std::string tmp = path_ + ".tmp." + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::trunc);
    if (!out) RegistryError("cannot write " + tmp + ": " + std::strerror(errno));
    out << "# qev class registry: ProgID, CLSID, interface id, library\n";
    for (const auto& e : entries)
      out << e.info.progid << '\t' << e.info.clsid.ToString() << '\t' << e.info.iid.ToString()
          << '\t' << e.library << '\n';
    out.flush();
    if (!out) RegistryError("cannot write " + tmp);
  }
  if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
    const int err = errno;
    std::remove(tmp.c_str());
    RegistryError("cannot replace " + path_ + ": " + std::strerror(err));
  }
}

void Registry::Add(const std::vector<RegistryEntry>& added) const {
  FileLock lock(path_);
  std::vector<RegistryEntry> kept;
  for (auto& e : Load()) {
    bool replaced = false;
    for (const auto& a : added)
      replaced |= EqualsNoCase(a.info.progid, e.info.progid) || a.info.clsid == e.info.clsid;
    if (!replaced) kept.push_back(std::move(e));
  }
  kept.insert(kept.end(), added.begin(), added.end());
  Write(kept);
}

void Registry::Remove(const std::vector<Guid>& clsids) const {
  FileLock lock(path_);
  std::vector<RegistryEntry> kept;
  for (auto& e : Load()) {
    bool removed = false;
    for (const auto& c : clsids) removed |= e.info.clsid == c;
    if (!removed) kept.push_back(std::move(e));
  }
  Write(kept);
}

}  // namespace qev
