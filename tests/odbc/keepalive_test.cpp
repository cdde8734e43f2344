// psqlODBC connections with TCP keepalives, so that a server that dies
// without a word is noticed: the socket the driver opens has them on, with
// the engine's times unless the connection string or its DSN chooses its
// own. A listener that accepts and never answers stands in for the server,
// so that the socket can be looked at while the driver waits for it.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <ostream>
#include <string>

#include "host/odbc_database.h"
#include "platform/error.h"
#include "tests/support/backend.h"
#include "tests/support/temp_dir.h"

namespace qev::testing {
namespace {

struct Keepalive {
  int on = 0, idle = 0, interval = 0;
  bool operator==(const Keepalive&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const Keepalive& k) {
    return os << "on " << k.on << ", idle " << k.idle << " s, interval " << k.interval << " s";
  }
};

// The keepalive options of this process's TCP socket whose peer is `port`;
// nullopt when there is none.
std::optional<Keepalive> SocketTo(int port) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    struct stat st;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    if (::fstat(fd, &st) != 0 || !S_ISSOCK(st.st_mode) ||
        ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 ||
        peer.sin_family != AF_INET || ntohs(peer.sin_port) != port)
      continue;
    Keepalive k;
    socklen_t n = sizeof(int);
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &k.on, &n);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &k.idle, &n);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &k.interval, &n);
    return k;
  }
  return std::nullopt;
}

// Opens `connection` (with "{port}" replaced by the listener's port) and
// returns the keepalive options of the driver's socket to the listener.
std::optional<Keepalive> KeepaliveOf(std::string connection) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ADD_FAILURE() << "no listener on the loopback address";
    return std::nullopt;
  }
  const int port = ntohs(addr.sin_port);
  connection.replace(connection.find("{port}"), 6, std::to_string(port));
  auto opening = std::async(std::launch::async, [connection] {
    try {
      host::OpenOdbcDatabase(connection);
    } catch (const RuntimeError& e) {
      return e.error().description;
    }
    return std::string("connected");
  });
  std::optional<Keepalive> seen;
  pollfd p{listener, POLLIN, 0};
  if (::poll(&p, 1, 20000) == 1) {
    const int server_side = ::accept(listener, nullptr, nullptr);
    seen = SocketTo(port);
    ::close(server_side);  // the driver gives up at once
  }
  ::close(listener);
  const std::string outcome = opening.get();
  EXPECT_NE(outcome.find("Cannot open database"), std::string::npos) << outcome;
  return seen;
}

constexpr const char* kServer = "Servername=127.0.0.1;Port={port};Database=hospital;UID=rpt";

TEST(OdbcKeepaliveTest, PsqlodbcSocketsKeepAliveUnlessTheCallerChoosesOtherwise) {
  UseProjectOdbcDrivers();
  const std::string driver = std::string("odbc:Driver={PostgreSQL Unicode};") + kServer;
  EXPECT_EQ(KeepaliveOf(driver), (Keepalive{1, 30, 10}));
  EXPECT_EQ(KeepaliveOf(driver + ";KeepaliveTime=7;KeepaliveInterval=3"), (Keepalive{1, 7, 3}));
  // A DSN: the engine's times, or the DSN's own.
  TempDir dir;
  const std::string ini = dir.File("odbc.ini");
  std::ofstream(ini) << "[hospital]\nDriver=PostgreSQL Unicode\n"
                     << "[hospital_own]\nDriver=PostgreSQL Unicode\nKeepaliveTime=5\n"
                        "KeepaliveInterval=2\n";
  ::setenv("ODBCINI", ini.c_str(), 1);
  EXPECT_EQ(KeepaliveOf(std::string("odbc:DSN=hospital;") + kServer), (Keepalive{1, 30, 10}));
  EXPECT_EQ(KeepaliveOf(std::string("odbc:DSN=hospital_own;") + kServer), (Keepalive{1, 5, 2}));
  ::unsetenv("ODBCINI");
}

}  // namespace
}  // namespace qev::testing
