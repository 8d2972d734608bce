// The table of this system's own error numbers and texts.
#include "base/errors_ours.h"

#include <array>
#include <iterator>
#include <utility>

#include <fmt/format.h>

#include "base/error.h"

namespace kestrel {
namespace {

struct Entry {
  Ours code;
  std::string_view text;
};

constexpr std::array kTable = {
    Entry{Ours::Internal, "Internal error"},
    Entry{Ours::AmbiguousFileName, "More than one file matches the name without regard to case"},
    Entry{Ours::StoreFailure, "The profile store refused the statement"},
    Entry{Ours::CipherFailure, "The text was not enciphered by this cipher"},
    Entry{Ours::BadApplicationCode, "The application code cannot name a file in the pack folder"},
    Entry{Ours::ChainTooLong, "The chain of parent profiles loops or is too long"},
    Entry{Ours::MalformedPackFile, "A pack file holds a line outside its format"},
    Entry{Ours::UnsafeBatchValue, "A value cannot be carried by the bulk-load line format"},
    Entry{Ours::BulkLoadFailed, "A bulk-load line failed"},
    Entry{Ours::UpdateVrcExhausted, "No free VRC is left for the update profile"},
    Entry{Ours::InvalidSelection, "The selection entry is not valid"},
    Entry{Ours::UnwritableValue, "A value cannot be written into a pack file without breaking its format"},
    Entry{Ours::CipherExhausted, "No salt gives the text an enciphered form that can be stored"},
    Entry{Ours::FieldNotFound, "The recordset has no such field"},
    Entry{Ours::NoCurrentRow, "Either BOF or EOF is true: the recordset has no current row"},
    Entry{Ours::StatementNotSingle, "Only one statement can be executed at a time"},
    Entry{Ours::StoreKindUnsupported, "Stores of this kind are not supported by this build"},
    Entry{Ours::ReplaceNotConfirmed, "The import would delete and replace what the store holds"},
    Entry{Ours::StoreLocked, "The store is locked by another program"},
    Entry{Ours::ImportInterrupted, "The import was interrupted and rolled back: the store is unchanged"},
    Entry{Ours::ImportRunning, "An import into this store is running; wait until it has ended"},
    Entry{Ours::NulInValue, "A value the import would write holds a NUL byte"},
    Entry{Ours::KeyCollision, "Rows the import would add collide on a unique key of the store"},
    Entry{Ours::TableMissing, "The store has no table that a file of the pack is loaded into"},
    Entry{Ours::NothingToImport, "The logic pack names no profile to import"},
    Entry{Ours::ApplicationCodeTooLong, "The application code is longer than the store or a file name can hold"},
    Entry{Ours::ProfileNotInPack, "A record names a profile that the pack's header file does not hold"},
    Entry{Ours::ApplicationMismatch, "A row of an application's data file names another application"},
    Entry{Ours::ApplicationCodesDifferByCase, "Two application codes of the pack differ only by case"},
    Entry{Ours::NotARegularFile, "A file of the pack is a link, a folder or a device, not a regular file"},
    Entry{Ours::PackSumsMismatch, "The pack's files differ from those its export listed in ExportMR.sums"},
    Entry{Ours::SumsNameOutsidePack, "A line of ExportMR.sums names no file of the pack folder"},
    Entry{Ours::PackWithoutSums, "The logic pack has no ExportMR.sums: its integrity cannot be checked"},
    Entry{Ours::UnlistedPackFile, "A data file the import would load is not listed in the pack's manifest ExportMR.log"},
    Entry{Ours::ExportRootUnusable, "The export root cannot hold a logic pack"},
    Entry{Ours::WorkFolderWriteFailed, "The import's working folder could not be written"},
    Entry{Ours::NulInArgument, "The text holds a NUL byte, which would cut it short"},
    Entry{Ours::RequestNotJson, "The wizard takes only JSON requests"},
    Entry{Ours::DiffTableUnknown, "No logic pack carries this table"},
    Entry{Ours::CommandLineInvalid, "The command line is not valid"},
    Entry{Ours::RenumberedProfileNotInPack, "The logic pack holds no profile of the number to renumber"},
    Entry{Ours::BareTargetNeedsOneProfile,
          "A target given as a bare number renumbers a pack of one profile; this pack holds more"},
    Entry{Ours::ApplicationPairsMismatch,
          "The applications name neither one pair for every profile nor one pair per profile of the pack"},
    Entry{Ours::ReplaceNotAsConfirmed, "The store changed after the import was confirmed"},
    Entry{Ours::NotAProfileStore, "The store is not a profile store (it has no table qzmap100)"},
    Entry{Ours::ProfileNotStored, "The store holds no profile of this number"},
    Entry{Ours::StoresFileLine, "A line of a stores file is not NAME = LOCATION"},
    Entry{Ours::StoresFileUnreadable, "A stores file cannot be read"},
    Entry{Ours::ProfileHasDescendants, "Other profiles derive from the profile; delete or move them first"},
    Entry{Ours::ProfileNumberTaken, "The store holds a profile of that number already"},
    Entry{Ours::ProfileNumberOutOfOrder,
          "A profile's number must stay above its parent's and below each of its children's"},
    Entry{Ours::ChangeNotConfirmed, "The change was not confirmed; run it again with --yes"},
    Entry{Ours::PackArchiveUnreadable, "The pack archive cannot be read"},
    Entry{Ours::PackArchiveEntryRefused, "The pack archive holds an entry that is not a file of a logic pack"},
    Entry{Ours::PackArchiveTooLarge, "The pack archive unpacks to more than a logic pack holds"},
    Entry{Ours::PackArchiveWriteFailed, "The pack archive could not be written"},
    Entry{Ours::PrivateFolderFailed, "The private temporary folder for the pack could not be made or written"},
    Entry{Ours::PackArchiveExists, "The archive file exists already"},
    Entry{Ours::PromoteIntoItself, "The source and the destination of the promotion are the same store"},
    Entry{Ours::RunNotKept, "The store keeps no run of this number"},
    Entry{Ours::RunUndoneAlready, "The run was undone already"},
    Entry{Ours::UndoCopyNotKept, "The run kept no copy of the profiles it replaced, so it cannot be undone"},
    Entry{Ours::UndoAfterLaterRun, "A later run changed the same profiles; undoing this one would lose its changes"},
};

}  // namespace

int32_t Number(Ours e) { return static_cast<int32_t>(e); }

std::string_view DefaultText(Ours e) {
  for (const auto& entry : kTable)
    if (entry.code == e) return entry.text;
  return "Unknown error";
}

std::vector<Ours> AllOurs() {
  std::vector<Ours> all;
  for (const auto& entry : kTable) all.push_back(entry.code);
  return all;
}

void Raise(Ours e, std::string detail) {
  throw ComError(Number(e), detail.empty() ? std::string(DefaultText(e)) : std::move(detail));
}

std::string TextWithDetail(Ours e, std::string_view detail) {
  std::string text(DefaultText(e));
  text += ": ";
  text += detail;
  return text;
}

void RaiseWithDetail(Ours e, std::string_view detail) { Raise(e, TextWithDetail(e, detail)); }

std::string QuoteForMessage(std::string_view text, size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < limit; ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > limit) out += "...";
  out += '"';
  return out;
}

void RaiseMalformedPackFile(std::string_view path, size_t line, std::string_view what,
                            std::optional<std::string_view> found) {
  std::string text = fmt::format("{}: {}, line {}: {}", DefaultText(Ours::MalformedPackFile), path, line, what);
  if (found) fmt::format_to(std::back_inserter(text), ", found {}", QuoteForMessage(*found));
  Raise(Ours::MalformedPackFile, std::move(text));
}

}  // namespace kestrel
