// The key table of the diff.
#include "diff/table_keys.h"

#include <array>

#include "base/errors_ours.h"
#include "kestrel/diff.h"

namespace kestrel::diff {
namespace {

using G = TableGroup;

// Rules are found by profile, VRC and mapping object (target, or base and
// copy for qzmap170/175), then what tells a rule's rows of one object apart;
// revision twins add the revision number.
constexpr std::array<TableKey, 29> kKeys = {{
    {"qzmap100", G::Profile, "mprf"},
    {"qzmap101", G::Profile, "mprf levl"},
    {"qzmap105", G::Profile, "mprf"},
    {"qzmap110", G::Rules, "mprf vers rele cust tcpac tcmod tflno revi"},
    {"qzmap120", G::Rules, "mprf vers rele cust tcpac tcmod tflno"},
    {"qzmap125", G::Rules, "mprf vers rele cust tcpac tcmod tflno revi"},
    {"qzmap130", G::Rules, "mprf vers rele cust tcpac tcmod tflno scpac scmod sflno"},
    {"qzmap135", G::Rules, "mprf vers rele cust tcpac tcmod tflno scpac scmod sflno revi"},
    {"qzmap140", G::Rules, "mprf vers rele cust tcpac tcmod tflno dnum"},
    {"qzmap145", G::Rules, "mprf vers rele cust tcpac tcmod tflno dnum revi"},
    {"qzmap160", G::Rules, "mprf vers rele cust tcpac tcmod tflno func"},
    {"qzmap165", G::Rules, "mprf vers rele cust tcpac tcmod tflno func revi"},
    {"qzmap170", G::Rules, "mprf vers rele cust bpac bmod bflno cpac cmod cflno"},
    {"qzmap175", G::Rules, "mprf vers rele cust bpac bmod bflno revi cpac cmod cflno"},
    {"qzlib100", G::Libraries, "mprf vers rele cust fnam"},
    {"qzlib105", G::Libraries, "mprf vers rele cust fnam revi"},
    {"qzmap150", G::Functions, "func"},
    {"qzlgy115", G::Codes, "code ival"},
    {"qzddi100", G::ApplicationData, "appl"},
    {"qzddi101", G::ApplicationData, "appl cpac cmod flno"},
    {"qzddi140", G::ApplicationData, "appl cpac cmod flno"},
    {"qzddi150", G::ApplicationData, "appl cpac cmod flno fldn"},
    {"qzddi160", G::ApplicationData, "appl domn dval"},
    {"qzddi200", G::ApplicationData, "appl cpac cmod flno kseq"},
    {"qzddi220", G::ApplicationData, "appl cpac cmod flno rpac rmod rfln"},
    {"qzddi230", G::ApplicationData, "appl grpn cpac cmod flno"},
    {"qzlgy140", G::ApplicationData, "appl cpac cmod flno"},
    {"qzlgy141", G::ApplicationData, "appl cpac cmod flno fldn"},
    {"qzlgy150", G::ApplicationData, "appl grpn"},
}};

}  // namespace

std::span<const TableKey> TableKeys() { return kKeys; }

const TableKey& KeyOf(std::string_view table) {
  for (const auto& k : kKeys)
    if (k.table == table) return k;
  Raise(Ours::Internal, "no diff key for table " + std::string(table));
}

std::string_view GroupName(TableGroup g) {
  switch (g) {
    case G::Profile: return "profile";
    case G::Rules: return "rules";
    case G::Libraries: return "libraries";
    case G::Functions: return "functions";
    case G::Codes: return "codes";
    case G::ApplicationData: return "application data";
  }
  return "";
}

std::string_view KindOfTable(std::string_view table) { return GroupName(KeyOf(table).group); }

}  // namespace kestrel::diff
