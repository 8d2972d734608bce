// The recordset over a PostgreSQL select: rows read forward from a server
// cursor in pieces (memory stays flat however many rows the select has). The
// cursor is held across commits, so a recordset
// stays readable while other statements run and transactions end around it.
// A select with parameters that gave few rows before runs whole, without a
// cursor, as long as it keeps giving no more than one piece. A reader that
// reads a snapshot's rows through alone gets the rows after the first piece
// by COPY, which costs the server and the reader less per row.
// It shares ownership of the session, so it stays usable when the connection
// that made it is released first.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/postgres/session.h"
#include "store/postgres/values.h"
#include "store/recordset.h"

namespace kestrel::store::postgres {

class PgRecordset final : public Recordset {
 public:
  // Runs `statement` with `values` bound in order.
  PgRecordset(std::shared_ptr<Session> session, std::string_view statement, const std::vector<Value>& values);
  // How a select with parameters that gave few rows before runs whole: its
  // text limited to one row more than a piece, prepared, the values bound.
  struct WholeRead {
    std::string select, limited;
    const Prepared* prepared = nullptr;
    Params params;
  };
  // Nothing when the select goes through a cursor.
  static std::optional<WholeRead> PlanWhole(Session& s, std::string_view statement, const std::vector<Value>& values);
  // Whether a whole read's result holds every row of its select.
  static bool IsWhole(const PGresult* r);
  // The recordset over the rows of a whole read that IsWhole.
  PgRecordset(std::shared_ptr<Session> session, Result whole);
  // Selects without parameters read side by side on one session:
  // DeclareSideBySide declares every cursor, then asks for all first pieces
  // at once, so that the server makes them one after the other without
  // waiting (the first piece of a join carries most of its work);
  // StartSideBySide takes them in order. A recordset not started yet may
  // only be released.
  static std::vector<std::unique_ptr<PgRecordset>> DeclareSideBySide(const std::shared_ptr<Session>& session,
                                                                     const std::vector<std::string_view>& selects);
  static std::vector<std::unique_ptr<Recordset>> StartSideBySide(std::vector<std::unique_ptr<PgRecordset>> declared);
  ~PgRecordset() override;

  using Recordset::Fields;

  bool BOF() const override { return bof_; }
  bool IsEOF() const override { return eof_; }
  void MoveNext() override;
  void Close() override;
  int FieldCount() const override;
  const std::string& FieldName(int index) const override;
  int IndexOf(std::string_view name) const override;
  Value Fields(int index) const override;
  void AppendField(std::string& out, int index) const override;
  bool ViewText(int index, std::string_view& out) const override;
  void ReadThroughAlone() override { read_through_ = true; }

 protected:
  bool IsOpen() const override { return !closed_; }
  // A copied line without a backslash (no escape, no NULL) gives its
  // fields as they are, without taking it apart.
  bool AppendRow(std::string& out, std::string_view column_sep) const override;

 private:
  // As the first constructor, leaving the first piece to AskFirstPiece and
  // Start; the declare brings it along unless `first_piece_later`.
  PgRecordset(std::shared_ptr<Session> session, std::string_view statement, const std::vector<Value>& values,
              bool first_piece_later);
  void AskFirstPiece();
  // The first piece, the columns and where the rows begin.
  void Start(bool with_values);
  void Declare(const std::string& select, const std::vector<Value>& values, const std::vector<bool>& binary,
               bool first_piece_later = false);
  // The next piece of rows, unless the declare brought the first already.
  void Fetch();
  std::string FetchText(int rows) const;
  void CloseCursor() noexcept;
  void LearnColumns();
  void RequireRow() const;
  // Whether the rows after the current piece may come by COPY: a reader
  // that reads them through alone, in a snapshot (the select run again
  // gives the same rows), a select without parameters whose columns COPY
  // writes as a fetch gives them.
  bool CanCopyRest() const;
  // Closes the cursor and reads the rows after those fetched by COPY.
  void CopyRest();
  // The next row that COPY gives; the end of the rows when none.
  void NextCopiedRow();
  // After the copy's last row: the session's sorts as they were.
  void EndCopy();
  // The copied row's fields, taken apart when first asked for.
  void SplitCopiedRow() const;

  std::shared_ptr<Session> s_;
  std::string cursor_;
  std::string read_;  // the select the cursor reads
  bool cursor_open_ = false;
  int asked_ = 0;  // rows the first piece asked for
  Result piece_;
  int row_ = 0;
  bool bof_ = true;
  bool eof_ = true;
  bool closed_ = false;
  std::vector<std::string> names_;
  std::vector<bool> binary_;
  // Bytea fields of the current row, decoded when first viewed.
  mutable std::vector<std::string> decoded_;
  mutable std::vector<bool> is_decoded_;
  // Reading through alone (ReadThroughAlone): the rows of the pieces before
  // the current one, and once they come by COPY, the current row's fields.
  bool read_through_ = false;
  bool read_has_values_ = false;  // the select the cursor reads has parameters
  int64_t rows_before_piece_ = 0;
  bool copying_ = false;
  std::vector<Oid> types_;
  std::string copied_line_;
  mutable bool copied_split_ = false;  // copied_fields_ and copied_nulls_ are the line's
  mutable std::vector<std::string> copied_fields_;
  mutable std::vector<uint8_t> copied_nulls_;
};

}  // namespace kestrel::store::postgres
