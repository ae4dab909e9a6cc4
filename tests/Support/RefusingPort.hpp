#pragma once
#include <cstdint>
#include <string>

namespace norvo::test {

// A loopback port where connections are refused: the socket is bound but never
// listens, and it stays bound until this object goes, so no other test server can
// take the port in the meantime (as one could after a bind-and-close probe).
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    uint16_t port() const { return port_; }
    // "127.0.0.1:<port>"
    std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    int socket_ = -1;
    uint16_t port_ = 0;
};

}  // namespace norvo::test
