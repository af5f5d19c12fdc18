#pragma once
// A small sync editor for tests: a non-blocking TCP server on 127.0.0.1
// that takes one client at a time, stepped by the test on its own thread.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace stagwerk {

class TestEditor {
 public:
  explicit TestEditor(uint16_t port = 0) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener_, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~TestEditor() {
    Hangup();
    ::close(listener_);
  }

  uint16_t port() const { return port_; }
  bool connected() const { return peer_ >= 0; }
  // Accepts a waiting client and reads what it sent (from this connection
  // on); notes when it closed.
  void Step() {
    if (peer_ < 0) {
      peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK);
      if (peer_ >= 0) {
        ++accepted;
        received.clear();
      }
    }
    char buffer[4096];
    for (long n; peer_ >= 0 && (n = ::recv(peer_, buffer, sizeof buffer, 0)) != -1;) {
      if (n == 0) {
        Hangup();
        ++closedByClient;
      } else {
        received.append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  void Send(const std::string& bytes) { ASSERT_EQ(::send(peer_, bytes.data(), bytes.size(), 0), long(bytes.size())); }
  void Hangup() {
    if (peer_ >= 0) ::close(peer_);
    peer_ = -1;
  }

  std::string received;
  int accepted = 0;
  int closedByClient = 0;

 private:
  int listener_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

}  // namespace stagwerk
