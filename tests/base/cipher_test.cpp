// The field cipher: vectors worked out from the algorithm, the two readings
// of the keystream indices, deciphering failures and the store safety rule.
#include "base/cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/errors_ours.h"
#include "support/error_of.h"

namespace kestrel {
namespace {

std::string Bytes(std::initializer_list<int> codes) {
  std::string s;
  for (int c : codes) s += static_cast<char>(c);
  return s;
}

// The salt whose k-th character is k + bit k-1 of `bits`.
std::string SaltOf(unsigned bits) {
  std::string s;
  for (unsigned k = 1; k <= 10; ++k) s += static_cast<char>(k + ((bits >> (k - 1)) & 1u));
  return s;
}

// Draws the salts `bits`, one after another (then repeats the last one).
UnitRandom Salts(std::vector<unsigned> bits) {
  auto draw = std::make_shared<size_t>(0);
  return [bits, draw]() {
    size_t n = (*draw)++;
    size_t salt = std::min(n / 10, bits.size() - 1);
    return ((bits[salt] >> (n % 10)) & 1u) ? 0.9 : 0.1;
  };
}

UnitRandom Always(double r) {
  return [r] { return r; };
}

using kestrel::testing::ErrorOf;

// Low salt (codes 1..10), key "PXQVRMLTZNWDF" + salt, S(n) = n at the start.
// Key schedule, first rounds (p steps 1, 3, 5, 7 through the key):
//   i=2: j = ('P' 80 + 1 + S(2)=2) mod 256 = 83;   swap S(2), S(83)
//   i=3: j = ('Q' 81 + 83 + S(3)=3) mod 256 = 167; swap S(3), S(167)
//   i=4: j = ('R' 82 + 167 + 4) mod 256 = 253;     swap S(4), S(253)
//   i=5: j = ('L' 76 + 253 + 5) mod 256 = 78;      swap S(5), S(78)
// ... 256 rounds in all leave S(2)=83, S(84)=143, S(226)=177.
// Keystream for "ADMIN": i = ((0+1) mod 256)+1 = 2, j = ((83+0) mod 256)+1 = 84,
// swap -> S(2)=143, S(84)=83; t = (83+143) mod 256 = 226; S(226)=177;
// 177 XOR 'A' 65 = 240. The next four: i=4 j=115 t=69 S(t)=91 -> 91^'D' = 31;
// i=6 j=34 S(t)=242 -> 242^'M' = 191; i=8 j=109 S(t)=181 -> 181^'I' = 252;
// i=10 j=225 S(t)=107 -> 107^'N' = 37. (i steps by two: 2, 4, 6, ...)
TEST(CipherTest, HandWorkedVectorWithTheLowSalt) {
  const std::string form = SaltOf(0) + Bytes({240, 31, 191, 252, 37});
  EXPECT_EQ(CipherField("ADMIN", true, Always(0.0)), form);
  EXPECT_EQ(CipherField(form, false), "ADMIN");
}

// High salt (codes 2..11); the first four rounds of the schedule are those
// above (they read only the fixed key), the salt changes the rest.
// "Müller" in an 8-bit code page: 77 252 108 108 101 114.
// i=2 j=84 S(t)=54 -> 54^77 = 123; i=4 j=82 S(t)=148 -> 148^252 = 104;
// i=6 j=43 S(t)=85 -> 85^108 = 57; i=8 j=134 S(t)=136 -> 136^108 = 228;
// i=10 j=252 S(t)=134 -> 134^101 = 227; i=12 j=148 S(t)=44 -> 44^114 = 94.
TEST(CipherTest, HandWorkedVectorWithTheHighSaltAndAnEightBitByte) {
  const std::string plain = Bytes({77, 252, 108, 108, 101, 114});
  const std::string form = SaltOf(1023) + Bytes({123, 104, 57, 228, 227, 94});
  EXPECT_EQ(CipherField(plain, true, Always(0.9)), form);
  EXPECT_EQ(CipherField(form, false), plain);
}

// A text of 128 bytes or more reaches i = 256 at its 128th byte and is
// enciphered with it: i = ((254+1) mod 256)+1 = 256, j = 222, the swap moves
// the value 256 to S(222); t = (256+216) mod 256 = 216, S(216)=175.
TEST(CipherTest, LongTextsRunTheIndexTo256) {
  std::string plain;
  for (int n = 0; n < 130; ++n) plain += static_cast<char>((n * 7 + 3) % 256);
  std::string form = CipherField(plain, true, Always(0.0));
  ASSERT_EQ(form.size(), 140u);
  EXPECT_EQ(form.substr(0, 10), SaltOf(0));
  // Bytes 121..130 of the cipher text; byte 128 is 175 XOR 124 = 211.
  EXPECT_EQ(form.substr(130), Bytes({148, 111, 36, 77, 179, 13, 45, 211, 185, 152}));
  EXPECT_EQ(CipherField(form, false), plain);
}

// With salt 21 (codes 2 2 4 4 6 6 7 8 9 10) the keystream of a short text
// reaches j = 256 at the 3rd byte. Enciphering a short text draws another
// salt then, so that the stored form deciphers under either reading; a form
// that was stored with j reaching 256 still deciphers.
TEST(CipherTest, ShortTextsAvoidIndex256ButFormsThatReachedItDecipher) {
  EXPECT_FALSE(cipher::Combine(SaltOf(21), "jsmith", cipher::Reading::Byte).has_value());
  EXPECT_EQ(CipherField("jsmith", true, Salts({21, 0})), SaltOf(0) + Bytes({0xdb, 0x28, 0x9f, 0xdc, 0x1f, 0x76}));
  EXPECT_EQ(CipherField(SaltOf(21) + Bytes({0x92, 0x30, 0x0f, 0x5d, 0xa4, 0x36}), false), "jsmith");
}

TEST(CipherTest, WhatIsStoredDeciphersUnderBothReadings) {
  std::mt19937 gen(7);
  for (int n = 0; n < 300; ++n) {
    std::string plain;
    size_t length = gen() % 128;
    for (size_t k = 0; k < length; ++k) plain += static_cast<char>(gen() % 256);
    std::string form = CipherField(plain, true);
    auto byte = cipher::Combine(form.substr(0, 10), form.substr(10), cipher::Reading::Byte);
    ASSERT_TRUE(byte.has_value()) << "length " << length;
    EXPECT_EQ(*byte, plain);
    EXPECT_EQ(CipherField(form, false), plain);
  }
}

TEST(CipherTest, RoundTripsEveryByteValueAtManyLengths) {
  for (size_t length : {0u, 1u, 9u, 127u, 128u, 129u, 255u, 256u, 600u}) {
    std::string plain;
    for (size_t k = 0; k < length; ++k) plain += static_cast<char>((k * 131 + 17) % 256);
    EXPECT_EQ(CipherField(CipherField(plain, true), false), plain) << "length " << length;
  }
}

TEST(CipherTest, DecipheringATextTheCipherDidNotMakeFailsOnce) {
  const int failure = Number(Ours::CipherFailure);
  // Too short to carry a salt.
  EXPECT_EQ(ErrorOf([] { CipherField("ADMIN", false); }), failure);
  EXPECT_EQ(ErrorOf([] { CipherField("", false); }), failure);
  // Ten characters that break the salt rule (code 12 in 10th place; a plain name).
  EXPECT_EQ(ErrorOf([] { CipherField(SaltOf(0).substr(0, 9) + "\x0c" + "abc", false); }), failure);
  EXPECT_EQ(ErrorOf([] { CipherField("Administrator", false); }), failure);
  // Salt 5 puts the value 256 into the output at the 97th byte: 96 bytes
  // decipher, 97 do not, whatever the bytes are.
  EXPECT_EQ(CipherField(SaltOf(5) + std::string(96, 'x'), false).size(), 96u);
  EXPECT_EQ(ErrorOf([] { CipherField(SaltOf(5) + std::string(97, 'x'), false); }), failure);
  // A bare salt is the enciphered empty text.
  EXPECT_EQ(CipherField(SaltOf(3), false), "");
}

TEST(CipherTest, SaltsFollowTheRuleAndVary) {
  std::set<std::string> salts;
  std::set<std::string> forms;
  for (int n = 0; n < 200; ++n) {
    std::string form = CipherField("operator", true);
    ASSERT_EQ(form.size(), 18u);
    for (unsigned k = 1; k <= 10; ++k) {
      unsigned code = static_cast<unsigned char>(form[k - 1]);
      EXPECT_TRUE(code == k || code == k + 1) << "salt character " << k << " has code " << code;
    }
    salts.insert(form.substr(0, 10));
    forms.insert(form);
  }
  EXPECT_GT(salts.size(), 50u);
  EXPECT_EQ(forms.size(), salts.size());
  // Ties round to even: 0.5 gives code k, anything above gives k + 1.
  EXPECT_EQ(cipher::MakeSalt(Always(0.5)), SaltOf(0));
  EXPECT_EQ(cipher::MakeSalt(Always(0.5000001)), SaltOf(1023));
  EXPECT_EQ(CipherField("", true, Always(0.2)), SaltOf(0));
}

TEST(CipherTest, StoreSafetyRule) {
  const std::string salt = SaltOf(0);
  EXPECT_TRUE(cipher::IsSafeForStore(salt));
  EXPECT_TRUE(cipher::IsSafeForStore(salt + "ab\r\nc"));   // CR LF is fine
  EXPECT_FALSE(cipher::IsSafeForStore(salt + "ab\n\rc"));  // LF then CR is not
  EXPECT_FALSE(cipher::IsSafeForStore(salt + "it's"));
  EXPECT_FALSE(cipher::IsSafeForStore(salt + std::string("a\0b", 3)));
  EXPECT_FALSE(cipher::IsSafeForStore(""));
  EXPECT_FALSE(cipher::IsSafeForStore("            "));
  // The salt is not tested: its last character may be LF before a CR.
  EXPECT_TRUE(cipher::IsSafeForStore(salt.substr(0, 9) + "\n" + "\r"));
}

TEST(CipherTest, EncipherForStoreDrawsAgainUntilSafe) {
  // Under the low salt the first keystream byte is 177: 177 XOR 177 = 0.
  const std::string plain = Bytes({177, 'x'});
  EXPECT_EQ(CipherField(plain, true, Always(0.0)), SaltOf(0) + Bytes({0, 0x23}));
  std::string result;
  ASSERT_TRUE(EncipherForStore(plain, result, Salts({0, 1023})));
  EXPECT_EQ(result, SaltOf(1023) + Bytes({0x87, 0xec}));
  // Apostrophe (177 XOR 150 = 39) and LF CR (177^187=10, 91^86=13) likewise.
  ASSERT_TRUE(EncipherForStore(Bytes({150}), result, Salts({0, 0, 1023})));
  EXPECT_EQ(result.substr(0, 10), SaltOf(1023));
  ASSERT_TRUE(EncipherForStore(Bytes({187, 86}), result, Salts({0, 1023})));
  EXPECT_EQ(result.substr(0, 10), SaltOf(1023));
  EXPECT_EQ(CipherField(result, false), Bytes({187, 86}));

  // The empty text gives a bare salt, which passes.
  ASSERT_TRUE(EncipherForStore("", result));
  EXPECT_EQ(result.size(), 10u);

  // Random salts: every result is safe and deciphers.
  for (int n = 0; n < 200; ++n) {
    std::string owner = "owner'" + std::to_string(n) + "\n\r";
    ASSERT_TRUE(EncipherForStore(owner, result));
    EXPECT_TRUE(cipher::IsSafeForStore(result));
    EXPECT_EQ(CipherField(result, false), owner);
  }
}

TEST(CipherTest, NoSaltThatCanServeIsAClearError) {
  // A source that always draws the low salt, which makes the text unsafe.
  std::string result = "unchanged";
  EXPECT_EQ(ErrorOf([&] { EncipherForStore(Bytes({177}), result, Always(0.0)); }),
            Number(Ours::CipherExhausted));
  EXPECT_EQ(result, "unchanged");
  // Salt 21 fails every short text of three bytes or more under the byte reading.
  EXPECT_EQ(ErrorOf([] { CipherField("jsmith", true, Salts({21})); }), Number(Ours::CipherExhausted));
}

}  // namespace
}  // namespace kestrel
