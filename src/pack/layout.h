// The record layouts of every file in a logic pack, as data: the tagged record
// files (rules, revisions, functions), the row files and the application data
// tables. Writers and readers both walk these tables, so a layout is stated
// here once and nowhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrel::pack {

enum class FieldKind : uint8_t {
  Tag,    // tag + value text on one line; the tag alone for NULL
  Block,  // start line, the value's lines (one empty line for NULL), end line
  Bare,   // the value text alone on its line, no tag
  Fixed,  // a constant line written whatever the row holds; read back as a tag line
};

// Whether a field is part of every record.
enum class Presence : uint8_t {
  Always,
  // Written by the rule table writers, left out by the mapping object export;
  // optional when reading.
  RuleWritersOnly,
  // Written only into packs for synchronisation; whether it is read depends on
  // the manifest, so the reader's caller decides.
  SyncOnly,
};

// How a value is trimmed (spaces only, at both ends) when it is read.
enum class Trim : uint8_t { None, Whole, FirstLine };

// How the lines of a block are joined when it is read. All join with CR LF;
// two variants leave out leading lines first.
enum class BlockJoin : uint8_t {
  Lines,
  DropLeadingEmpty,  // empty lines before the first non-empty one are left out
  DropLeadingBlank,  // lines before the first one that is not empty after trimming
};

struct Field {
  FieldKind kind = FieldKind::Tag;
  std::string_view column{};  // lower-case column; Fixed: the column its read value fills
  std::string_view tag{};  // Tag, Fixed: the tag (":MPRF:"); Block: the start line
  std::string_view end{};  // Block: the end line
  std::string_view constant{};  // Fixed: the value text always written
  std::string_view null_text{};  // written for NULL (empty unless a replacement is named)
  Presence presence = Presence::Always;
  bool null_fails = false;      // the text conversion fails on NULL (94 "Invalid use of Null")

  // How the loaders read the field.
  Trim trim = Trim::None;
  BlockJoin join = BlockJoin::Lines;
  std::string_view continued_until{};  // the value runs on up to the line that begins with this tag
  bool tag_optional = false;    // a line without the tag is the value, taken whole
  bool blank_unset = false;     // a value that is empty after trimming leaves the column unset
  bool needs_a_line = false;    // a block without any line is malformed

  constexpr Field Trimmed() const { Field f = *this; f.trim = Trim::Whole; return f; }
  constexpr Field FirstLineTrimmed() const { Field f = *this; f.trim = Trim::FirstLine; return f; }
  constexpr Field JoinedBy(BlockJoin j) const { Field f = *this; f.join = j; return f; }
  constexpr Field ContinuedUntil(std::string_view t) const { Field f = *this; f.continued_until = t; return f; }
  constexpr Field NullAs(std::string_view t) const { Field f = *this; f.null_text = t; return f; }
  constexpr Field NullFails() const { Field f = *this; f.null_fails = true; return f; }
  constexpr Field Only(Presence p) const { Field f = *this; f.presence = p; return f; }
  constexpr Field TagOptional() const { Field f = *this; f.tag_optional = true; return f; }
  constexpr Field BlankUnset() const { Field f = *this; f.blank_unset = true; return f; }
  constexpr Field NeedsALine() const { Field f = *this; f.needs_a_line = true; return f; }
};

constexpr Field TagLine(std::string_view tag, std::string_view column) {
  return Field{.kind = FieldKind::Tag, .column = column, .tag = tag};
}
constexpr Field BlockOf(std::string_view start, std::string_view end, std::string_view column) {
  return Field{.kind = FieldKind::Block, .column = column, .tag = start, .end = end};
}
constexpr Field BareLine(std::string_view column) { return Field{.kind = FieldKind::Bare, .column = column}; }
constexpr Field FixedLine(std::string_view tag, std::string_view constant, std::string_view column) {
  return Field{.kind = FieldKind::Fixed, .column = column, .tag = tag, .constant = constant};
}

// One tagged record file.
struct TaggedLayout {
  std::string_view table;
  std::string_view file;                 // as the rule table and function writers name it
  std::string_view single_profile_file;  // as the single-profile export names it
  std::string_view start_line;           // empty: records begin with their first field
  std::span<const Field> fields;

  // Position of the field carrying `column`, or -1.
  constexpr int IndexOf(std::string_view column) const {
    for (size_t i = 0; i < fields.size(); ++i)
      if (fields[i].column == column) return static_cast<int>(i);
    return -1;
  }
};

// One row file of chosen columns.
struct RowLayout {
  std::string_view table;
  std::string_view file;
  std::span<const std::string_view> columns;
};

namespace fields {

// The first lines of every profile-bound record.
inline constexpr Field kMprf = TagLine(":MPRF:", "mprf");
inline constexpr Field kVers = TagLine(":VERS:", "vers");
inline constexpr Field kRele = TagLine(":RELE:", "rele");
inline constexpr Field kCust = TagLine(":CUST:", "cust");
inline constexpr Field kTcpac = TagLine(":TCPAC:", "tcpac");
inline constexpr Field kTcmod = TagLine(":TCMOD:", "tcmod");
inline constexpr Field kTflno = TagLine(":TFLNO:", "tflno");
inline constexpr Field kScpac = TagLine(":SCPAC:", "scpac");
inline constexpr Field kScmod = TagLine(":SCMOD:", "scmod");
inline constexpr Field kSflno = TagLine(":SFLNO:", "sflno");
inline constexpr Field kBpac = TagLine(":BPAC:", "bpac");
inline constexpr Field kBmod = TagLine(":BMOD:", "bmod");
inline constexpr Field kBflno = TagLine(":BFLNO:", "bflno");
inline constexpr Field kCpac = TagLine(":CPAC:", "cpac");
inline constexpr Field kCmod = TagLine(":CMOD:", "cmod");
inline constexpr Field kCflno = TagLine(":CFLNO:", "cflno");
inline constexpr Field kRevi = TagLine(":REVI:", "revi").Trimmed();
inline constexpr Field kLogn = TagLine(":LOGN:", "logn");
inline constexpr Field kCsta = TagLine(":CSTA:", "csta").Trimmed();
inline constexpr Field kTxtn = BlockOf(":TEXT:", ":TEXT:END", "txtn");
inline constexpr Field kPrtx = BlockOf(":PRTX:START", ":PRTX:END", "prtx");
inline constexpr Field kQury = BlockOf(":QURY:START", ":QURY:END", "qury");
inline constexpr Field kMrul = BlockOf(":MRUL:START", ":MRUL:END", "mrul");
inline constexpr Field kFunc = BlockOf(":FUNC:START", ":FUNC:END", "func");
inline constexpr Field kRinf = BlockOf(":RINF:START", ":RINF:END", "rinf");
inline constexpr Field kComt = BlockOf(":COMT:START", ":COMT:END", "comt");
inline constexpr Field kFdef = BlockOf(":FDEF:START", ":FDEF:END", "fdef");

inline constexpr std::array kQzmap120 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno,
    TagLine(":LDAT:", "ldat").Only(Presence::RuleWritersOnly),
    kPrtx.JoinedBy(BlockJoin::DropLeadingEmpty),
    TagLine(":STAT:", "stat").Trimmed(),
    TagLine(":VARI:", "vari").FirstLineTrimmed().ContinuedUntil(":STBL:"),
    TagLine(":STBL:", "stbl").Trimmed(),
    kComt.JoinedBy(BlockJoin::DropLeadingBlank).BlankUnset(),
    kTxtn,
    TagLine(":ISMS:", "isms").NullAs("0").Trimmed().TagOptional(),
    kLogn.Trimmed().Only(Presence::SyncOnly),
    TagLine(":LUSR:", "lusr").Trimmed().Only(Presence::SyncOnly),
};

inline constexpr std::array kQzmap130 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kScpac, kScmod, kSflno,
    TagLine(":ICOD:", "icod").Trimmed(),
    kQury.JoinedBy(BlockJoin::DropLeadingEmpty),
    kTxtn,
};

inline constexpr std::array kQzmap140 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno,
    TagLine(":DNUM:", "dnum"),
    TagLine(":FDNM:", "fdnm"),
    kMrul,
    TagLine(":TYPE:", "type").Trimmed(),
    TagLine(":STAT:", "stat").Trimmed(),
    kTxtn,
};

inline constexpr std::array kQzmap160 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kFunc, kTxtn,
};

inline constexpr std::array kQzmap170 = {
    kMprf, kVers, kRele, kCust, kBpac, kBmod, kBflno, kCpac, kCmod, kCflno,
};

inline constexpr std::array kQzmap110 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kRevi, kRinf,
    TagLine(":ISID:", "isid"),
    TagLine(":SDAT:", "sdat").NullFails(),
    TagLine(":PEXP:", "pexp"),
    kLogn,
};

inline constexpr std::array kQzmap125 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kRevi, kPrtx,
    kLogn.Trimmed(),
    TagLine(":VARI:", "vari").ContinuedUntil(":CSTA:").Trimmed(),
    kCsta,
    TagLine(":STBL:", "stbl").Trimmed(),
    kTxtn,
    BareLine("isms").NullAs("0"),
    kComt,
};

inline constexpr std::array kQzmap135 = {
    kMprf.Trimmed(), kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kScpac, kScmod, kSflno,
    TagLine(":ICOD:", "icod").Trimmed(),
    kRevi, kQury, kLogn,
    TagLine(":CSTA:", "csta"),
    kTxtn,
};

inline constexpr std::array kQzmap145 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno,
    TagLine(":DNUM:", "dnum"),
    TagLine(":FDNM:", "fdnm"),
    kRevi, kMrul,
    TagLine(":TYPE:", "type").Trimmed(),
    kLogn.Trimmed(),
    TagLine(":STAT:", "stat").Trimmed(),
    kCsta, kTxtn,
};

inline constexpr std::array kQzmap165 = {
    kMprf, kVers, kRele, kCust, kTcpac, kTcmod, kTflno, kRevi, kFunc, kLogn.Trimmed(), kCsta, kTxtn,
};

inline constexpr std::array kQzmap175 = {
    kMprf, kVers, kRele, kCust, kBpac, kBmod, kBflno, kRevi, kCpac, kCmod, kCflno, kLogn.Trimmed(),
};

inline constexpr std::array kQzmap150 = {
    kFunc.NullFails().NeedsALine(),
    BlockOf(":DEFN:START", ":DEFN:END", "defn").NullFails().NeedsALine(),
    BlockOf(":HELP:START", ":HELP:END", "help").NeedsALine(),
};

inline constexpr std::array kQzlib100 = {
    kMprf, kVers, kRele, kCust,
    TagLine(":FNAM:", "fnam"),
    TagLine(":DSCA:", "dsca"),
    TagLine(":LURN:", "lurn"),
    TagLine(":LDAT:", "ldat"),
    kFdef,
    TagLine(":CURN:", "curn"),
    TagLine(":STAT:", "stat").Trimmed(),
    kComt,
};

inline constexpr std::array kQzlib105 = {
    kMprf, kVers, kRele, kCust,
    TagLine(":FNAM:", "fnam"),
    TagLine(":REVI:", "revi"),
    kRinf,
    TagLine(":ISID:", "isid"),
    TagLine(":CDAT:", "cdat"),
    FixedLine(":PEXP:", "0", "pexp"),
    TagLine(":USRN:", "usrn"),
    kFdef, kComt,
};

inline constexpr std::array<std::string_view, 18> kQzmap100Columns = {
    "mprf", "sapp", "tapp", "vers", "rele", "cust", "verf", "relf", "cusf",
    "dsca", "scme", "deph", "ownr", "bsen", "rhos", "busr", "pswd", "apln",
};
inline constexpr std::array<std::string_view, 6> kQzmap101Columns = {"mprf", "levl", "vers", "rele", "cust", "pprf"};
inline constexpr std::array<std::string_view, 7> kQzmap105Columns = {"mprf", "vers", "rele", "cust", "dver", "drel", "dcus"};
inline constexpr std::array<std::string_view, 4> kQzlgy115Columns = {"code", "dsca", "ival", "oval"};

}  // namespace fields

// Rule and revision files, in the order the loaders read them.
inline constexpr TaggedLayout kQzmap120{"qzmap120", "Qzmap120.dat", "Qzmap120.dat", "MO", fields::kQzmap120};
inline constexpr TaggedLayout kQzmap130{"qzmap130", "Qzmap130.dat", "Qzmap130.dat", "QRY", fields::kQzmap130};
inline constexpr TaggedLayout kQzmap140{"qzmap140", "Qzmap140.dat", "Qzmap140.dat", "DMP", fields::kQzmap140};
inline constexpr TaggedLayout kQzmap160{"qzmap160", "Qzmap160.dat", "Qzmap160.dat", "FUNC160", fields::kQzmap160};
inline constexpr TaggedLayout kQzmap170{"qzmap170", "qzmap170.dat", "Qzmap170.dat", "MSCRIPTS", fields::kQzmap170};
inline constexpr TaggedLayout kQzmap110{"qzmap110", "Qzmap110.dat", "Qzmap110.dat", "SCM110", fields::kQzmap110};
inline constexpr TaggedLayout kQzmap125{"qzmap125", "Qzmap125.dat", "Qzmap125.dat", "SCM125", fields::kQzmap125};
inline constexpr TaggedLayout kQzmap135{"qzmap135", "Qzmap135.dat", "Qzmap135.dat", "SCM135", fields::kQzmap135};
inline constexpr TaggedLayout kQzmap145{"qzmap145", "Qzmap145.dat", "Qzmap145.dat", "SCM145", fields::kQzmap145};
inline constexpr TaggedLayout kQzmap165{"qzmap165", "Qzmap165.dat", "Qzmap165.dat", "SCM165", fields::kQzmap165};
inline constexpr TaggedLayout kQzmap175{"qzmap175", "qzmap175.dat", "Qzmap175.dat", "MSCRIPTS", fields::kQzmap175};
// Functions.
inline constexpr TaggedLayout kQzmap150{"qzmap150", "Qzmap150.dat", "Qzmap150.dat", "", fields::kQzmap150};
inline constexpr TaggedLayout kQzlib100{"qzlib100", "Qzlib100.dat", "Qzlib100.dat", "FUNC", fields::kQzlib100};
inline constexpr TaggedLayout kQzlib105{"qzlib105", "Qzlib105.dat", "Qzlib105.dat", "FUNC", fields::kQzlib105};

inline constexpr std::array<const TaggedLayout*, 14> kTaggedLayouts = {
    &kQzmap120, &kQzmap130, &kQzmap140, &kQzmap160, &kQzmap170, &kQzmap110, &kQzmap125,
    &kQzmap135, &kQzmap145, &kQzmap165, &kQzmap175, &kQzmap150, &kQzlib100, &kQzlib105,
};

// Row files of chosen columns. Readers of Qzmap100.dat require all 18 fields.
inline constexpr RowLayout kQzmap100Rows{"qzmap100", "Qzmap100.dat", fields::kQzmap100Columns};
inline constexpr RowLayout kQzmap101Rows{"qzmap101", "Qzmap101.dat", fields::kQzmap101Columns};
inline constexpr RowLayout kQzmap105Rows{"qzmap105", "Qzmap105.dat", fields::kQzmap105Columns};
inline constexpr RowLayout kQzlgy115Rows{"qzlgy115", "Qzlgy115.dat", fields::kQzlgy115Columns};

inline constexpr std::array<const RowLayout*, 4> kRowLayouts = {
    &kQzmap100Rows, &kQzmap101Rows, &kQzmap105Rows, &kQzlgy115Rows,
};

// Which applications an application data table is written for, by the `extn`
// of the application's qzddi100 row.
enum class Serves : uint8_t { Every, Base /* extn 0 */, Extension /* extn 1 */ };

struct ApplicationTable {
  std::string_view table;
  Serves serves;
};

// The application data tables. Their files carry every column in the table's
// own order (table name + application code + ".dat").
inline constexpr std::array<ApplicationTable, 11> kApplicationTables = {{
    {"qzddi100", Serves::Every},
    {"qzddi101", Serves::Base},
    {"qzlgy140", Serves::Base},
    {"qzlgy141", Serves::Base},
    {"qzlgy150", Serves::Base},
    {"qzddi140", Serves::Extension},
    {"qzddi150", Serves::Extension},
    {"qzddi160", Serves::Extension},
    {"qzddi200", Serves::Extension},
    {"qzddi220", Serves::Extension},
    {"qzddi230", Serves::Extension},
}};

// Layouts by table name ("qzmap120"); nullptr when none.
const TaggedLayout* FindTaggedLayout(std::string_view table);
const RowLayout* FindRowLayout(std::string_view table);
// Layouts by file name, matched without regard to case; nullptr when none.
const TaggedLayout* TaggedLayoutOfFile(std::string_view file);
const RowLayout* RowLayoutOfFile(std::string_view file);

}  // namespace kestrel::pack
