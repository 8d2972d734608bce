// Stored texts (8-bit bytes, Latin-1) as a person's screen or pipe should
// carry them: decoded to UTF-8 where the locale is UTF-8, whether the output
// is a terminal, a pipe or a file (`list | grep Müller` finds Müller), and
// the stored bytes otherwise or when asked for them. Every face that prints
// stored text for people goes through here; JSON is always UTF-8 (json.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "kestrel/env.h"

namespace kestrel::present {

enum class ShownEncoding {
  StoredBytes,  // the bytes as the store holds them
  Utf8,         // each byte as the Latin-1 character of its value, in UTF-8
};

// What the locale the environment names asks for: the first of LC_ALL,
// LC_CTYPE and LANG that is set and not empty decides, UTF-8 when its
// codeset is "UTF-8" or "utf8" (in any case); no locale at all, "C" or
// "POSIX" are the stored bytes. Read from the names, so that a locale this
// machine has not generated still counts.
ShownEncoding EncodingOfLocale(Env& env);

// The stored text as `encoding` shows it.
std::string ShownText(std::string_view stored, ShownEncoding encoding);

// A text a person typed (an application code on the command line) as the
// store holds it: under a UTF-8 locale, UTF-8 that stands for Latin-1
// characters becomes their bytes; any other text (ASCII, bytes that are no
// such UTF-8) is taken as typed.
std::string StoredFromTyped(std::string_view typed, ShownEncoding encoding);

// The width of a shown text in characters (UTF-8 sequences counted once when
// `encoding` is UTF-8), for padding columns.
size_t ShownWidth(std::string_view shown, ShownEncoding encoding);

}  // namespace kestrel::present
