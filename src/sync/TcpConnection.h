#pragma once
// The sync client's only socket code: one non-blocking TCP connection to
// an address resolved once. Every call returns at once. Left out of the web
// build, which has no sockets to reach an editor with.
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace stagwerk {

class TcpConnection {
 public:
  enum class ConnectState { Pending, Connected, Failed };

  TcpConnection() = default;
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;
  ~TcpConnection() { Close(); }

  // Looks the host up (numeric, or a name from the system's resolver, which
  // may wait: done once, before playing). False with *error when it cannot.
  bool Resolve(const std::string& host, uint16_t port, std::string* error);

  // Starts connecting to the resolved address; Failed at once or Pending.
  ConnectState StartConnect(std::string* error);
  // Whether the connect started has finished, by a zero-timeout poll.
  ConnectState CheckConnect(std::string* error);

  // Bytes read (> 0), 0 when none are waiting, -1 when the peer closed or
  // the connection failed.
  long Read(uint8_t* buffer, std::size_t size);
  // Bytes written (>= 0, 0 when the socket's buffer is full), -1 on failure.
  long Write(const char* data, std::size_t size);

  void Close();
  bool open() const { return fd_ >= 0; }

 private:
  sockaddr_storage address_{};
  socklen_t addressLength_ = 0;
  int fd_ = -1;
};

}  // namespace stagwerk
