// The canonical demo store: a base and an extension application, a chain of
// three profiles on that pair (root, update child, update grandchild) with
// rules in every rule table at different levels, revisions, libraries,
// shared functions, users and codes. Every row has the shape the import
// itself writes, so that exporting a profile, importing the pack into a
// store that holds the same shared data and exporting again gives the same
// pack. Edge cases the import would never write (checked-out rules, NULL
// isms, leading blank lines, NULL owners) belong in the tests' own stores.
#pragma once

#include "kestrel/store.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/connection.h"

namespace kestrel::store {

struct DemoProfile {
  int64_t mprf;
  std::string vers, rele, cust;  // its VRC
  std::string verf, relf, cusf;  // its parent's VRC, empty for the root
  std::string dver, drel, dcus;  // its development VRC
  int64_t deph;
  std::string owner;  // plain; stored enciphered in ownr
  std::string dsca;
};

struct DemoFacts {
  std::string base_appl;       // extn 0, the profiles' source application
  std::string extension_appl;  // extn 1, the profiles' target application
  std::vector<DemoProfile> profiles;  // root, child, grandchild
  std::vector<std::string> users;     // qzusr100, in order
  std::string last_modified_user;     // lusr of every qzmap120 row
  std::string apln;
  // Mapping objects (rows of the extension application's qzddi140) per unit
  // of scale, and how many of them have no rules at any level.
  int objects_per_unit;
  int objects_without_rules_per_unit;
};

const DemoFacts& Demo();


}  // namespace kestrel::store
