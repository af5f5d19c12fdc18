#include "sync/TcpConnection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stagwerk {

bool TcpConnection::Resolve(const std::string& host, uint16_t port, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0 || found == nullptr) {
    *error = "cannot find host " + host + ": " + ::gai_strerror(status);
    return false;
  }
  std::memcpy(&address_, found->ai_addr, found->ai_addrlen);
  addressLength_ = found->ai_addrlen;
  ::freeaddrinfo(found);
  return true;
}

TcpConnection::ConnectState TcpConnection::StartConnect(std::string* error) {
  Close();
  fd_ = ::socket(address_.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    *error = std::strerror(errno);
    return ConnectState::Failed;
  }
  // Rows and keys are a few bytes each; they go out at once.
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address_), addressLength_) == 0) {
    return ConnectState::Connected;
  }
  if (errno == EINPROGRESS || errno == EINTR) return ConnectState::Pending;
  *error = std::strerror(errno);
  Close();
  return ConnectState::Failed;
}

TcpConnection::ConnectState TcpConnection::CheckConnect(std::string* error) {
  if (fd_ < 0) return ConnectState::Failed;
  pollfd entry{fd_, POLLOUT, 0};
  const int ready = ::poll(&entry, 1, 0);
  if (ready == 0 || (ready < 0 && errno == EINTR)) return ConnectState::Pending;
  int problem = 0;
  socklen_t length = sizeof problem;
  if (ready < 0 || ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &problem, &length) != 0) problem = errno;
  if (problem == 0 && (entry.revents & POLLOUT) != 0) return ConnectState::Connected;
  *error = std::strerror(problem != 0 ? problem : ECONNREFUSED);
  Close();
  return ConnectState::Failed;
}

long TcpConnection::Read(uint8_t* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    if (n > 0) return static_cast<long>(n);
    if (n == 0) return -1;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

long TcpConnection::Write(const char* data, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    // MSG_NOSIGNAL: a closed editor must not end the player with SIGPIPE.
    const ssize_t n = ::send(fd_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

void TcpConnection::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace stagwerk
