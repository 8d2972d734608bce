// The field cipher: vectors worked out by hand from the algorithm, the two
// readings of the keystream indices and the rule that keeps a stored form
// safe.
#include "base/cipher.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/errors_ours.h"
#include "support/error_of.h"

namespace kestrel {
namespace {

using kestrel::testing::ErrorOf;

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
    return ((bits[std::min(n / 10, bits.size() - 1)] >> (n % 10)) & 1u) ? 0.9 : 0.1;
  };
}

UnitRandom Always(double r) {
  return [r] { return r; };
}

// Low salt, key "PXQVRMLTZNWDF" + salt: the schedule's first rounds give
// j = 83, 167, 253, 78 and leave S(2)=83, S(84)=143, S(226)=177; "ADMIN"
// then takes i = 2 j = 84 t = 226 -> 177^'A' = 240, and i = 4, 6, 8, 10 ->
// 91^'D' = 31, 242^'M' = 191, 181^'I' = 252, 107^'N' = 37. The high salt
// changes the schedule after its fourth round: "Müller" in an 8-bit code
// page (77 252 108 108 101 114) meets 54, 148, 85, 136, 134, 44. A text of
// 130 bytes takes i = 256 at its 128th byte: j = 222, S(216) = 175, 175^124 = 211.
TEST(CipherTest, HandWorkedVectors) {
  std::string long_plain;
  for (int n = 0; n < 130; ++n) long_plain += static_cast<char>((n * 7 + 3) % 256);
  const struct {
    std::string plain;
    double draw;
    std::string form;
  } rows[] = {
      {"ADMIN", 0.0, SaltOf(0) + Bytes({240, 31, 191, 252, 37})},
      {Bytes({77, 252, 108, 108, 101, 114}), 0.9, SaltOf(1023) + Bytes({123, 104, 57, 228, 227, 94})},
      {Bytes({177, 'x'}), 0.0, SaltOf(0) + Bytes({0, 0x23})},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CipherField(row.plain, true, Always(row.draw)), row.form);
    EXPECT_EQ(CipherField(row.form, false), row.plain);
  }
  // A draw of 0.5 ties and rounds to even: code k; anything above gives k + 1.
  EXPECT_EQ(cipher::MakeSalt(Always(0.5)), SaltOf(0));
  EXPECT_EQ(cipher::MakeSalt(Always(0.5000001)), SaltOf(1023));
  const std::string form = CipherField(long_plain, true, Always(0.0));
  ASSERT_EQ(form.size(), 140u);
  EXPECT_EQ(form.substr(130), Bytes({148, 111, 36, 77, 179, 13, 45, 211, 185, 152}));
  EXPECT_EQ(CipherField(form, false), long_plain);
}

// Salt 21 (codes 2 2 4 4 6 6 7 8 9 10) runs j to 256 at a short text's 3rd
// byte: enciphering draws another salt, so that the form deciphers under
// either reading; a form stored with j at 256 still deciphers.
TEST(CipherTest, ShortTextsAvoidIndex256ButFormsThatReachedItDecipher) {
  EXPECT_FALSE(cipher::Combine(SaltOf(21), "jsmith", cipher::Reading::Byte).has_value());
  EXPECT_EQ(CipherField("jsmith", true, Salts({21, 0})), SaltOf(0) + Bytes({0xdb, 0x28, 0x9f, 0xdc, 0x1f, 0x76}));
  EXPECT_EQ(CipherField(SaltOf(21) + Bytes({0x92, 0x30, 0x0f, 0x5d, 0xa4, 0x36}), false), "jsmith");
  EXPECT_EQ(ErrorOf([] { CipherField("jsmith", true, Salts({21})); }), Number(Ours::CipherExhausted));
  // Every stored form deciphers under the byte reading too, whatever its length.
  for (size_t length : {0u, 5u, 127u, 255u, 256u, 600u}) {
    std::string plain;
    for (size_t k = 0; k < length; ++k) plain += static_cast<char>((k * 131 + 17) % 256);
    const std::string stored = CipherField(plain, true);
    if (length < 128) { EXPECT_EQ(cipher::Combine(stored.substr(0, 10), stored.substr(10), cipher::Reading::Byte), plain); }
    EXPECT_EQ(CipherField(stored, false), plain) << "length " << length;
  }
}

TEST(CipherTest, StoredFormsAreSafeAndDrawnAgainUntilTheyAre) {
  const std::string salt = SaltOf(0);
  const std::pair<std::string, bool> safe[] = {
      {salt, true}, {salt + "ab\r\nc", true}, {salt + "ab\n\rc", false}, {salt + "it's", false},
      {salt + std::string("a\0b", 3), false}, {"", false}, {"            ", false},
      {salt.substr(0, 9) + "\n\r", true},  // the salt itself is not tested
  };
  for (const auto& [form, ok] : safe) EXPECT_EQ(cipher::IsSafeForStore(form), ok) << form;
  // Under the low salt the first keystream byte is 177: NUL, apostrophe (150)
  // and LF CR (187 86) come out; the next salt is drawn.
  std::string result;
  for (const std::string& plain : {Bytes({177, 'x'}), Bytes({150}), Bytes({187, 86})}) {
    ASSERT_TRUE(EncipherForStore(plain, result, Salts({0, 1023})));
    EXPECT_EQ(result.substr(0, 10), SaltOf(1023));
    EXPECT_EQ(CipherField(result, false), plain);
  }
  result = "unchanged";
  EXPECT_EQ(ErrorOf([&] { EncipherForStore(Bytes({177}), result, Always(0.0)); }), Number(Ours::CipherExhausted));
  EXPECT_EQ(result, "unchanged");
}

}  // namespace
}  // namespace kestrel
