// Who may use the web wizard: a request must name the server by the address
// it serves (a Host header of another name is a page of another site that
// rebound its name to this machine) and carry the random token the program
// printed at its start. Pack names that come from the page are checked
// before they become paths: the page is not trusted.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrel::web {

// A fresh token: 16 random bytes of the system's generator as 32 hex digits.
// Throws kestrel::ComError when the generator fails.
std::string NewToken();

// The Host header values a server listening on `bind`:`port` answers to:
// "127.0.0.1:PORT" and "localhost:PORT" for the loopback address, the bound
// address itself otherwise (in brackets for IPv6).
std::vector<std::string> HostsFor(const std::string& bind, int port);

// The name of the cookie that carries the token of the server on `port`
// (two servers on one machine keep their cookies apart).
std::string TokenCookieName(int port);

class Access {
 public:
  Access(std::string token, std::vector<std::string> hosts);

  const std::string& token() const { return token_; }
  bool HostAllowed(std::string_view host) const;
  // Whether the request carries the token: as the query's "token", in the
  // token cookie of `cookie_header`, or as "Bearer TOKEN" in `authorization`.
  bool TokenCarried(std::string_view query_token, std::string_view cookie_header, std::string_view authorization,
                    int port) const;

 private:
  bool Matches(std::string_view candidate) const;
  std::string token_;
  std::vector<std::string> hosts_;
};

// Why `name` cannot name a pack folder below the export's pack folder (""
// when it can): it must be one folder name, neither empty nor ".", without
// "..", "/", "\\" or a control character.
std::string PackNameProblem(std::string_view name);

}  // namespace kestrel::web
