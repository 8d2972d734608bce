// Text that grows at its end and is read whole at the end: the export's
// manifest progress. It stays in memory until it passes a threshold; from
// then on, once a spool file is named, it moves there in pieces, so that an
// export of any size keeps a flat memory. Read whole (str, WriteTo), it is
// the same text either way. Once written out, a spooled text is read back
// from the file written, held open: the text stays the object's own when
// that file is deleted or replaced (a host removing the pack between two
// exports), and an export on the same object carries it on.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/files.h"

namespace kestrel {

class SpooledText {
 public:
  // Text in memory beyond which it moves to the spool.
  static constexpr size_t kDefaultThreshold = 64 * 1024;

  // The spool is written and read through `env`, which must outlive the text.
  explicit SpooledText(Env& env) : env_(&env) {}
  ~SpooledText();
  SpooledText(const SpooledText&) = delete;
  SpooledText& operator=(const SpooledText&) = delete;

  SpooledText& operator+=(std::string_view text);
  bool empty() const { return !held_ && file_.empty() && text_.empty(); }
  // Forgets the text; a spool file is deleted.
  void clear();
  // The whole text (read back from the file that holds its beginning, if any).
  std::string str() const;
  bool operator==(std::string_view other) const { return str() == other; }

  // From now on the text moves to `path` once it passes the threshold. Text
  // held in a written file (see WriteWithFront) is copied there at once.
  void SpoolTo(std::string path);
  void SetThreshold(size_t bytes) { threshold_ = bytes; }
  // Whether a spool file holds part of the text.
  bool spooled() const { return !file_.empty(); }

  // Writes `front` and then the whole text into `out`, which it closes. The
  // text becomes front + text: in memory when it was there, else in the file
  // `out` wrote, held open for reading (the spool is deleted).
  void WriteWithFront(std::string_view front, files::TextWriter& out);
  // Brings spooled text back into memory and deletes the spool: an export
  // that ends without WriteWithFront leaves no spool behind. Never throws; if
  // the spool cannot be read back, its part of the text is lost.
  void Unspool() noexcept;

 private:
  void Spill();
  void CloseSpool() noexcept;
  // Brings the text held in a written file into memory.
  void TakeHeld() const;

  Env* env_;
  // The text is what `held_` has left to read, then what file_ holds, then text_.
  // A file written with the text in it, held open; read once, at the next
  // SpoolTo or str().
  mutable std::unique_ptr<SequentialFile> held_;
  mutable std::string text_;  // the end of the text (all of it when the two above are empty)
  std::string file_;          // our spool holding the beginning of the text, or ""
  std::unique_ptr<files::TextWriter> spool_;  // open while text is appended to file_
  std::string spool_path_;  // where the text moves past the threshold ("" keeps it in memory)
  size_t threshold_ = kDefaultThreshold;
};

}  // namespace kestrel
