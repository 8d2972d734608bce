// The field cipher: salt, key schedule, keystream and the store safety test.
#include "base/cipher.h"

#include <array>
#include <cstdint>
#include <random>

#include "base/errors_ours.h"

namespace kestrel {
namespace {

// A salt has 1024 possible values; this many draws finds any salt that works
// with near certainty, and bounds the work for a text no salt can serve.
constexpr int kMaxAttempts = 20000;

double DefaultRandom() {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  return std::generate_canonical<double, 53>(engine);
}

const UnitRandom& DefaultSource() {
  static const UnitRandom source = DefaultRandom;
  return source;
}

uint8_t Code(char c) { return static_cast<uint8_t>(c); }

// One salt, one combination; nullopt when that salt fails for this text.
std::optional<std::string> EncipherOnce(std::string_view text, const UnitRandom& random) {
  std::string salt = cipher::MakeSalt(random);
  auto reading = text.size() < cipher::kByteReadingLimit ? cipher::Reading::Byte : cipher::Reading::Wide;
  auto body = cipher::Combine(salt, text, reading);
  if (!body) return std::nullopt;
  return salt + *body;
}

[[noreturn]] void RaiseNoSalt() { Raise(Ours::CipherExhausted); }

}  // namespace

namespace cipher {

std::string MakeSalt(const UnitRandom& random) {
  std::string salt;
  for (int k = 1; k <= static_cast<int>(kSaltLength); ++k) {
    // Nearest whole number with ties to even: 0.5 rounds to 0.
    int bit = random() > 0.5 ? 1 : 0;
    salt += static_cast<char>(k + bit);
  }
  return salt;
}

bool HasSalt(std::string_view form) {
  if (form.size() < kSaltLength) return false;
  for (size_t k = 1; k <= kSaltLength; ++k) {
    unsigned c = Code(form[k - 1]);
    if (c != k && c != k + 1) return false;
  }
  return true;
}

std::optional<std::string> Combine(std::string_view salt, std::string_view body, Reading reading) {
  std::string key = std::string(kCipherKey) + std::string(salt);
  const unsigned key_length = static_cast<unsigned>(key.size());

  std::array<unsigned, 257> S{};
  for (unsigned n = 0; n <= 256; ++n) S[n] = n;

  // Key schedule: 256 rounds; i visits 2 .. 255, 0, 1; p is 1-based and
  // steps by two through the key, wrapping.
  unsigned i = 1, j = 1, p = 1;
  for (int round = 0; round < 256; ++round) {
    i = (i + 1) % 256;
    j = (Code(key[p - 1]) + j + S[i]) % 256;
    std::swap(S[i], S[j]);
    p = ((p + 1) % key_length) + 1;
  }

  // Keystream: i and j run 1 .. 256.
  std::string out;
  out.reserve(body.size());
  i = 0;
  j = 0;
  for (char c : body) {
    i = ((i + 1) % 256) + 1;
    j = ((S[i] + j) % 256) + 1;
    if (reading == Reading::Byte && (i == 256 || j == 256)) return std::nullopt;
    std::swap(S[i], S[j]);
    unsigned t = (S[j] + S[i]) % 256;
    if (S[t] > 255) return std::nullopt;
    out += static_cast<char>(S[t] ^ Code(c));
  }
  return out;
}

bool IsSafeForStore(std::string_view form) {
  bool blank = true;
  for (char c : form)
    if (c != ' ') blank = false;
  if (form.empty() || blank) return false;
  for (size_t k = kSaltLength; k < form.size(); ++k) {
    uint8_t c = Code(form[k]);
    if (c == 0 || c == 39) return false;
    if (c == 10 && k + 1 < form.size() && Code(form[k + 1]) == 13) return false;
  }
  return true;
}

}  // namespace cipher

std::string CipherField(std::string_view text, bool encipher, const UnitRandom& random) {
  if (encipher) {
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt)
      if (auto form = EncipherOnce(text, random)) return *form;
    RaiseNoSalt();
  }
  // Deciphering is one deterministic attempt: a form stored under either
  // reading deciphers under the wide one, anything else is not ours.
  if (!cipher::HasSalt(text)) Raise(Ours::CipherFailure);
  auto plain = cipher::Combine(text.substr(0, cipher::kSaltLength), text.substr(cipher::kSaltLength),
                               cipher::Reading::Wide);
  if (!plain) Raise(Ours::CipherFailure);
  return *plain;
}

std::string CipherField(std::string_view text, bool encipher) {
  return CipherField(text, encipher, DefaultSource());
}

bool EncipherForStore(std::string_view text, std::string& result, const UnitRandom& random) {
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    auto form = EncipherOnce(text, random);
    if (form && cipher::IsSafeForStore(*form)) {
      result = std::move(*form);
      return true;
    }
  }
  RaiseNoSalt();
}

bool EncipherForStore(std::string_view text, std::string& result) {
  return EncipherForStore(text, result, DefaultSource());
}

}  // namespace kestrel
