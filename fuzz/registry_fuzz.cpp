// The class registry file read from any text: a malformed file is refused
// with the registry's error; what is read, written back by the registry,
// reads back the same, and each class is found by its ProgID and CLSID.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/ci_map.h"
#include "platform/error.h"
#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    const auto d = std::filesystem::temp_directory_path() /
                   ("qev-fuzz-registry-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  const qev::Registry read(dir + "/read.reg"), written(dir + "/written.reg");
  std::ofstream(read.path(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::vector<qev::RegistryEntry> entries;
  try {
    entries = read.Load();
  } catch (const qev::RuntimeError& e) {
    FUZZ_CHECK(e.number() == qev::kErrRegistry);
    return 0;
  }
  std::filesystem::remove(written.path());
  written.Add(entries);
  const std::vector<qev::RegistryEntry> again = written.Load();
  FUZZ_CHECK(again.size() == entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const qev::RegistryEntry &a = entries[i], &b = again[i];
    FUZZ_CHECK(a.info.progid == b.info.progid && a.info.clsid == b.info.clsid &&
               a.info.iid == b.info.iid && a.library == b.library);
  }
  if (entries.empty()) return 0;
  const auto by_progid = read.FindProgId(entries[0].info.progid);
  FUZZ_CHECK(by_progid && qev::EqualsNoCase(by_progid->info.progid, entries[0].info.progid));
  const auto by_clsid = read.FindClsid(entries[0].info.clsid);
  FUZZ_CHECK(by_clsid && by_clsid->info.clsid == entries[0].info.clsid);
  return 0;
}
