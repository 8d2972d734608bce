// The fixture of the store conformance suite, shared by its files: a store
// of the backend under test with the tables the cases use, and the little
// helpers they share. The suite runs once per backend (backends.h).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

#include "base/error.h"
#include "base/errors_ours.h"
#include "base/files.h"
#include "store/backends.h"
#include "store/connection.h"
#include "store/open.h"
#include "store/saved_rows.h"
#include "store/sql.h"
#include "store/statements_profiles.h"
#include "support/error_of.h"
#include "support/fault_env.h"
#include "support/temp_folder.h"

namespace kestrel::store::conformance {

using kestrel::testing::BytesFrom;
using kestrel::testing::ErrorOf;
using kestrel::testing::FaultEnv;
using kestrel::testing::StoreBackend;
using kestrel::testing::TempFolder;
using kestrel::testing::CaughtFrom;
using kestrel::testing::ReadFile;
using kestrel::testing::WriteFile;
using Ints = std::vector<int64_t>;

const std::string S(1, '\x01');  // the field separator of data files

class StoreConformance : public ::testing::TestWithParam<StoreBackend> {
 protected:
  void SetUp() override {
    if (const std::string why = GetParam().unavailable(); !why.empty()) GTEST_SKIP() << why;
    location_ = GetParam().location(dir_.path());
    c_ = store::Create(location_);
    c_->ExecuteScript(
        "create table qzmap120 (mprf integer, vers text, rele text, cust text, tcpac text, isms text, "
        "ldat text, comt text);"
        "create table qzusr100 (usrn blob, dsca text);"
        "create table qzddi100 (appl text unique, dsca text, aver text, crdt text, extn integer);"
        "create table qzddi160 (appl text, domn text, dval text, dsca text);");
  }
  int64_t Count(const std::string& where = "", Connection* on = nullptr) {
    const std::string select = "select count(*) from qzmap120" + where;
    return (on ? on : c_.get())->OpenRecordset(select)->Fields(0).Integer();
  }
  void Insert(int64_t mprf, Connection* on = nullptr) {
    (on ? on : c_.get())->Execute("insert into qzmap120 (mprf) values (" + std::to_string(mprf) + ")");
  }
  // A data file of `lines` in the test's folder.
  std::string Data(const std::string& name, const std::vector<std::string>& lines) {
    std::string content;
    for (const auto& l : lines) content += l + "\r\n";
    WriteFile(dir_ / name, content);
    return dir_ / name;
  }
  // "qzddi160" rows: appl, domn, dval, dsca; DomainLines(n): rows 1 to n.
  static std::string Domain(int k) {
    return "EXB" + S + "CURR" + S + "V" + std::to_string(k) + S + "Value " + std::to_string(k);
  }
  static std::vector<std::string> DomainLines(int n) {
    std::vector<std::string> lines;
    for (int k = 1; k <= n; ++k) lines.push_back(Domain(k));
    return lines;
  }
  // The log of a load of qzddi160 from `file` (`stopped`: the line it stopped at, if any).
  static std::string LoadLog(const std::string& file, int64_t read, int64_t loaded, int64_t batches, int stopped = 0) {
    return "Table: qzddi160\r\nData file: " + file + "\r\nRows read: " + std::to_string(read) + "\r\nRows loaded: " +
           std::to_string(loaded) + "\r\nBatches committed: " + std::to_string(batches) + "\r\n" +
           (stopped ? "Stopped at line " + std::to_string(stopped) + "\r\n" : "");
  }
  std::string DomainValues() {
    return c_->OpenRecordset("select dval from qzddi160 order by dval")->GetString(-1, "", ",");
  }
  Ints Mprfs() {
    Ints out;
    for (auto rs = c_->OpenRecordset("select mprf from qzmap120 order by mprf"); !rs->IsEOF(); rs->MoveNext())
      out.push_back(rs->Fields(0).Integer());
    return out;
  }

  TempFolder dir_;
  std::string location_;
  std::shared_ptr<Connection> c_;
};

}  // namespace kestrel::store::conformance
