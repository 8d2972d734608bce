// The field cipher that protects the profile owner in the store (column
// ownr of qzmap100): a salted stream cipher on 8-bit codes. The export
// deciphers the stored owner, the import enciphers the pack's owner with a
// fresh salt. Stored owners of existing databases depend on every index
// formula here, so none of them may change.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel {

// A source of random numbers in [0, 1), from which salts are drawn.
using UnitRandom = std::function<double()>;

// Enciphering (`encipher` true) returns a 10-character salt followed by one
// enciphered byte per byte of `text`; deciphering takes such a form and
// returns the plain text. Deciphering a text this cipher did not make raises
// Ours::CipherFailure. The overloads without `random` draw salts from a
// generator of their own.
std::string CipherField(std::string_view text, bool encipher);
std::string CipherField(std::string_view text, bool encipher, const UnitRandom& random);

// Enciphers `text` into `result` with new salts until the form can be put
// between single quotes in a statement and on a line of text: after the salt
// no code 0, no apostrophe (39), no LF followed by CR. Returns true.
bool EncipherForStore(std::string_view text, std::string& result);
bool EncipherForStore(std::string_view text, std::string& result, const UnitRandom& random);

namespace cipher {

inline constexpr std::string_view kCipherKey = "PXQVRMLTZNWDF";
inline constexpr size_t kSaltLength = 10;

// How far the keystream indices may run. Under the byte reading an index
// that would reach 256 is a failure; under the wide reading i and j reach
// 256 and only a table value of 256 in the output fails.
enum class Reading { Byte, Wide };

// The salt: the k-th character (k = 1..10) has code k, or k + 1 when the
// drawn number rounds (ties to even) to 1.
std::string MakeSalt(const UnitRandom& random);
// True when the first 10 characters of `form` follow the salt rule.
bool HasSalt(std::string_view form);
// The key schedule on "PXQVRMLTZNWDF" + salt, then the keystream combined
// with `body`. nullopt when the reading's failure arises.
std::optional<std::string> Combine(std::string_view salt, std::string_view body, Reading reading);
// The safety test of a stored form (salt included; the salt is not tested).
bool IsSafeForStore(std::string_view form);
// Texts shorter than this are enciphered under the byte reading, so that what
// is stored deciphers under either reading.
inline constexpr size_t kByteReadingLimit = 128;

}  // namespace cipher
}  // namespace kestrel
