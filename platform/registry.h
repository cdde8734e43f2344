// The class registry: a text file that maps ProgIDs and CLSIDs to the
// shared library that serves them.
//
// One class a line: ProgID, CLSID, interface id and library path, separated
// by tabs; '#' starts a comment line. The file is found through the
// environment variable QEV_REGISTRY, else $XDG_CONFIG_HOME/qev/classes.reg,
// else ~/.config/qev/classes.reg. Writers take an exclusive lock on a lock
// file beside it and replace the file atomically, so concurrent
// registrations do not lose each other's lines.
//
// An installed copy of the library brings a registry of its own,
// qev/classes.reg in the directory of the runtime library (libqev_platform),
// consulted when the user's registry does not know a class. Its library
// paths are relative to its own directory, so an installed tree keeps
// working wherever it is copied. A relative library path in any registry
// is taken relative to that registry's directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/class_factory.h"

namespace qev {

struct RegistryEntry {
  ClassInfo info;
  std::string library;
};

class Registry {
 public:
  explicit Registry(std::string path) : path_(std::move(path)) {}
  // The registry of this user, as the environment names it.
  static Registry Default();
  // The registry installed beside the runtime library; nullopt when the
  // runtime cannot tell where its own file is.
  static std::optional<Registry> Installed();

  const std::string& path() const { return path_; }

  // All entries as written; a missing file is an empty registry. Raises
  // on a malformed line.
  std::vector<RegistryEntry> Load() const;
  // One entry, its library path made absolute against this registry's
  // directory when it is written relative.
  std::optional<RegistryEntry> FindProgId(std::string_view progid) const;
  std::optional<RegistryEntry> FindClsid(const Guid& clsid) const;

  // Adds the entries, replacing any with the same ProgID or CLSID.
  void Add(const std::vector<RegistryEntry>& entries) const;
  // Removes the entries with these CLSIDs.
  void Remove(const std::vector<Guid>& clsids) const;

 private:
  void Write(const std::vector<RegistryEntry>& entries) const;
  std::string path_;
};

}  // namespace qev
