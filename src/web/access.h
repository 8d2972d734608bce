// Who may use the web wizard. A request must name the server by the address
// it serves (a Host header of another name is a page of another site that
// rebound its name to this machine). The pages hold no secret and are served
// to any such request; every call of the JSON interface (/api/) must carry
// the random token the program printed at its start in its Authorization
// header, which only the wizard's own page sends: a browser adds cookies to
// the requests of any page, and cookies are not kept apart by port, so the
// token is never a cookie. A call that changes something (POST) must also
// come from the wizard's own origin, and send JSON, which no form and no
// plain request of another page can send without asking first. Pack names
// that come from the page are checked before they become paths: the page is
// not trusted.
#pragma once

#include <optional>
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

// What the checks read of a request: its method, its path (without the
// query) and its headers as sent ("" or nullopt when absent).
struct RequestFacts {
  std::string_view method;
  std::string_view path;
  std::string_view host;
  std::optional<std::string_view> origin;
  std::string_view sec_fetch_site;
  std::string_view authorization;
  std::string_view content_type;
};

// Why a request is refused: the HTTP status to answer (0: it passes) and
// the reason, which never holds what the request sent.
struct Refusal {
  int status = 0;
  std::string why;
};

class Access {
 public:
  Access(std::string token, std::vector<std::string> hosts);

  const std::string& token() const { return token_; }
  // 403 for another Host, a call of the JSON interface without the token as
  // "Authorization: Bearer TOKEN", from a page of another origin (Origin or
  // Sec-Fetch-Site), or one that changes something without its Origin; 415
  // for such a call whose body is not declared JSON.
  Refusal Check(const RequestFacts& request) const;

 private:
  bool Matches(std::string_view candidate) const;
  bool OriginAllowed(std::string_view origin) const;
  std::string token_;
  std::vector<std::string> hosts_;
};

// Why `name` cannot name a pack folder below the export's pack folder (""
// when it can): it must be one folder name, neither empty nor starting with
// ".", without "..", "/", "\\" or a control character.
std::string PackNameProblem(std::string_view name);

}  // namespace kestrel::web
