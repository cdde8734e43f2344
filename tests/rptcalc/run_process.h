// Runs a program as a user would from a shell: in a child process, with its
// standard output and standard error captured and its exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qev::testing {

struct ProcessResult {
  int status = -1;  // the exit status; 128 + signal number when killed
  std::string out;
  std::string err;
};

// Runs `program` with `args` (argv[1]...) in directory `cwd` (empty: the
// current one), with the variables of `env` added to the environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& cwd = "",
                         const std::map<std::string, std::string>& env = {});

// Starts `program` in the background with its standard output going to
// the file `out_path` ("/dev/full" to test write errors) and standard error
// to `err_path`; returns its process id.
int StartProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::string& cwd, const std::map<std::string, std::string>& env,
                 const std::string& out_path, const std::string& err_path);

// Waits for a process from StartProcess: its exit status, 128 + signal
// number when killed.
int WaitProcess(int pid);

}  // namespace qev::testing
