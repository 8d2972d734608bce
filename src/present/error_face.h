// What the command line and the web wizard say about a failure, in their own
// words: one sentence that names what failed (the file, folder, table,
// profile, store or server), and a hint at what to do, in the words of the
// face that shows it (an option of the command line, a control of the
// wizard). The texts of the original component (its procedures' names,
// "Suggession : Set Overwrite Option to True") and the texts that name a
// command-line option stay in the error's description, which the component's
// ErrorDescription and the import's run log keep byte for byte; here they
// are recognised, never shown; its traps' words are the component's alone. The table in error_face.cpp is the one place
// that maps an error to what a face says about it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kestrel/error.h"
#include "present/json.h"

namespace kestrel::present {

// How the web wizard's access checks begin the description of a request
// they refuse (number 70): told apart from a file the system may not touch,
// which the web says otherwise.
inline constexpr std::string_view kRequestRefused = "Permission denied: ";

// Who shows the failure: the hint speaks its language.
enum class Face { CommandLine, Web };

struct Said {
  int32_t number = 0;    // the error's number, as it came
  std::string description;  // the error's description, as it came (stored bytes)
  std::string sentence;  // the face's sentence, naming what failed where that is known
  std::string hint;      // what to do, in the face's words; "" when there is nothing to add
  std::string sqlstate;  // the server's SQLSTATE ("42P01") of a server store's failure, else ""
  Place place;   // the error's place, whole
  Place beside;  // what a face shows beside the sentence: the place less what the sentence names
};

// What `face` says about `e`. A failure a procedure's trap caught is said as
// the failure it caught, under the trap's number.
Said Say(const Error& e, Face face);

// {"error": {"number": N, "description": SENTENCE, "hint": ..., "sqlstate": ...,
// "place": {...}}}: the sentence as the description; hint, sqlstate and the
// (whole) place's fields only where they say something. The web wizard's
// answer keeps the error's own description for scripts and gives the page
// its sentence apart: {"error": {"number", "description": DESCRIPTION,
// "sentence", "hint", "sqlstate", "place"}}.
Json SaidJson(const Said& said, Face face = Face::CommandLine);

// Every fixed text `face` says (sentences and hints of the table, without
// the error's own text a sentence may quote): what a test reads to keep
// another face's words out of them.
std::vector<std::string_view> FixedTexts(Face face);

}  // namespace kestrel::present
