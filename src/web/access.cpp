// The token, the Host check and the pack name check of the web wizard.
#include <fmt/format.h>

#include "web/access.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>

#include "kestrel/error.h"
#include "kestrel/errors.h"

namespace kestrel::web {

std::string NewToken() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1)
    throw kestrel::ComError(
        kestrel::Number(kestrel::Ours::Internal),
        fmt::format("{}: the system's random generator gave no token", kestrel::DefaultText(kestrel::Ours::Internal)));
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 0x0F];
  }
  return token;
}

std::vector<std::string> HostsFor(const std::string& bind, int port) {
  if (bind == "127.0.0.1" || bind == "localhost")
    return {fmt::format("127.0.0.1:{}", port), fmt::format("localhost:{}", port)};
  if (bind.find(':') != std::string::npos) return {fmt::format("[{}]:{}", bind, port)};
  return {fmt::format("{}:{}", bind, port)};
}

std::string TokenCookieName(int port) { return fmt::format("kestrel_token_{}", port); }

Access::Access(std::string token, std::vector<std::string> hosts)
    : token_(std::move(token)), hosts_(std::move(hosts)) {}

bool Access::HostAllowed(std::string_view host) const {
  return std::find(hosts_.begin(), hosts_.end(), host) != hosts_.end();
}

// Compared in constant time, so that the time of a refusal tells nothing of
// how much of a guess was right.
bool Access::Matches(std::string_view candidate) const {
  return candidate.size() == token_.size() && CRYPTO_memcmp(candidate.data(), token_.data(), token_.size()) == 0;
}

bool Access::TokenCarried(std::string_view query_token, std::string_view cookie_header, std::string_view authorization,
                          int port) const {
  if (!query_token.empty()) return Matches(query_token);
  const std::string name = TokenCookieName(port) + "=";
  // Cookies are "name=value" pairs separated by ";" and blanks.
  for (size_t start = 0; start < cookie_header.size();) {
    size_t end = cookie_header.find(';', start);
    if (end == std::string_view::npos) end = cookie_header.size();
    std::string_view pair = cookie_header.substr(start, end - start);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.substr(0, name.size()) == name && Matches(pair.substr(name.size()))) return true;
    start = end + 1;
  }
  constexpr std::string_view kBearer = "Bearer ";
  return authorization.substr(0, kBearer.size()) == kBearer && Matches(authorization.substr(kBearer.size()));
}

std::string PackNameProblem(std::string_view name) {
  if (name.empty() || name == "." || name.find("..") != std::string_view::npos)
    return fmt::format("a pack name is the name of one folder below the export's pack folder, not \"{}\"", name);
  for (char c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
      return fmt::format("a pack name is one folder name, without \"/\", \"\\\" or control characters: {}", name);
  return "";
}

}  // namespace kestrel::web
