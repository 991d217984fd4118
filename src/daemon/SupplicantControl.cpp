#include "daemon/SupplicantControl.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace supplicant {

namespace {

constexpr const char* kDirectoryVariable = "WIRELESS_SUPPLICANT_CTRL_DIR";
constexpr const char* kDirectories[] = {"/run/wpa_supplicant", "/var/run/wpa_supplicant"};
constexpr auto kReplyTimeout = std::chrono::seconds(3);
// Larger than any reply the supplicant sends; a longer datagram is refused.
constexpr size_t kReplyCapacity = 64 * 1024;

bool isDirectory(const char* path) {
  struct stat info {};
  return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::string controlDirectory() {
  const char* chosen = std::getenv(kDirectoryVariable);
  if (chosen != nullptr && *chosen != '\0') return chosen;
  for (const char* directory : kDirectories) {
    if (isDirectory(directory)) return directory;
  }
  return kDirectories[1];
}

bool listDirectory(const std::string& directory, std::vector<std::string>* names) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.c_str()));
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names->push_back(entry->d_name);
    }
  }
  std::sort(names->begin(), names->end());
  return true;
}

std::vector<std::string> controlSockets() {
  std::string directory = controlDirectory();
  std::vector<std::string> names;
  std::vector<std::string> sockets;
  listDirectory(directory, &names);
  for (const std::string& name : names) {
    struct stat info {};
    std::string path = directory + "/" + name;
    if (::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) sockets.push_back(name);
  }
  return sockets;
}

ControlChannel::ControlChannel(std::string socketPath) : path_(std::move(socketPath)) {}

ControlChannel::~ControlChannel() { close(); }

bool ControlChannel::open() {
  sockaddr_un server{};
  server.sun_family = AF_UNIX;
  if (path_.size() >= sizeof server.sun_path) return false;
  std::memcpy(server.sun_path, path_.c_str(), path_.size() + 1);
  socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) return false;
  // Binding only the family makes the kernel pick an abstract address: the
  // supplicant can reply to it and nothing is left in the file system.
  sockaddr_un client{};
  client.sun_family = AF_UNIX;
  timeval timeout{std::chrono::duration_cast<std::chrono::seconds>(kReplyTimeout).count(), 0};
  if (::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
      ::bind(socket_, reinterpret_cast<sockaddr*>(&client), sizeof(sa_family_t)) != 0 ||
      ::connect(socket_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
    close();
    return false;
  }
  buffer_.resize(kReplyCapacity);
  return true;
}

void ControlChannel::close() {
  if (socket_ >= 0) ::close(socket_);
  socket_ = -1;
}

bool ControlChannel::send(const std::string& command) {
  if (socket_ < 0 && !open()) return false;
  if (::send(socket_, command.data(), command.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(command.size())) {
    return true;
  }
  // The supplicant restarted since the channel was opened: its socket is a
  // new one.
  close();
  return open() && ::send(socket_, command.data(), command.size(), MSG_NOSIGNAL) ==
                       static_cast<ssize_t>(command.size());
}

bool ControlChannel::request(const std::string& command, std::string* reply) {
  if (!send(command)) {
    close();
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    ssize_t length = ::recv(socket_, buffer_.data(), buffer_.size(), MSG_TRUNC);
    if (length < 0 && errno == EINTR) continue;
    // Nothing within the socket's time-out, or a reply too long to be one.
    if (length < 0 || static_cast<size_t>(length) > buffer_.size()) break;
    if (length > 0 && buffer_[0] == '<') continue;
    reply->assign(buffer_.data(), static_cast<size_t>(length));
    return true;
  }
  close();
  return false;
}

}  // namespace supplicant
