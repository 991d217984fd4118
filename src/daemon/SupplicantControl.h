#pragma once

#include <string>
#include <vector>

namespace supplicant {

// The directory of the interfaces' control sockets: the environment variable
// WIRELESS_SUPPLICANT_CTRL_DIR when set, else /run/wpa_supplicant when it
// exists, else /var/run/wpa_supplicant.
std::string controlDirectory();

// The names in a directory, sorted, without "." and "..". False when it
// can't be read.
bool listDirectory(const std::string& directory, std::vector<std::string>* names);

// The names of the sockets in the control directory, sorted: one per
// interface the supplicant manages.
std::vector<std::string> controlSockets();

// One request channel to an interface's control socket: a datagram socket
// of our own, bound to an address the kernel picks, connected to the
// interface's socket. Not thread-safe: its owner serialises requests.
class ControlChannel {
 public:
  explicit ControlChannel(std::string socketPath);
  ~ControlChannel();
  ControlChannel(const ControlChannel&) = delete;
  ControlChannel& operator=(const ControlChannel&) = delete;

  // Sends command and waits for its reply, passing over unsolicited event
  // messages. False when nothing could be sent or no reply came in time;
  // the channel is then closed, so that a late reply never reaches a later
  // request (a channel that is open holds no reply but the one awaited),
  // and the next request opens it afresh.
  bool request(const std::string& command, std::string* reply);

 private:
  bool open();
  void close();
  bool send(const std::string& command);

  std::string path_;
  int socket_ = -1;
  std::vector<char> buffer_;
};

}  // namespace supplicant
