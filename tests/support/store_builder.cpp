// Test stores: the schema, the demo data, shared codes and users, and rows
// added by column name or through the profile, rule and revision helpers.
#include "support/store_builder.h"

#include <algorithm>

#include "base/cipher.h"
#include "kestrel/store.h"
#include "store/demo_data.h"
#include "store/statement.h"

namespace kestrel::testing {
namespace {

std::string Q(const std::string& s) { return "'" + s + "'"; }
std::string Q(const std::optional<std::string>& s) { return s ? Q(*s) : "NULL"; }

std::string Key(int mprf, const TestVrc& v) {
  return std::to_string(mprf) + "," + Q(v.vers) + "," + Q(v.rele) + "," + Q(v.cust);
}

std::string Object(const TestObject& o) { return Q(o.pac) + "," + Q(o.mod) + "," + Q(o.flno); }

}  // namespace

void StoreBuilder::AddApplication(const std::string& appl, int extn) const {
  conn_->Execute("insert into qzddi100 (appl, dsca, aver, crdt, extn) values (" + Q(appl) + ", 'Application " + appl +
       "', '4.2', '2021-03-04 10:00:00', " + std::to_string(extn) + ")");
  if (extn == 0) {
    conn_->Execute("insert into qzddi101 (appl, cpac, cmod, flno, dsca, rlen) values (" + Q(appl) +
         ", 'GL', 'ACCT', '001', 'Accounts', '120')");
    conn_->Execute("insert into qzlgy141 (appl, cpac, cmod, flno, fldn, fdsc, flen) values (" + Q(appl) +
         ", 'GL', 'ACCT', '001', 'ACNO', 'Account number', '10')");
    conn_->Execute("insert into qzlgy150 (appl, grpn, dsca, seqn) values (" + Q(appl) + ", 'FIN', 'Finance', '1')");
  } else {
    conn_->Execute("insert into qzddi150 (appl, cpac, cmod, flno, fldn, fdsc, ftyp, flen) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', 'CUNO', 'Customer', 'A', '8')");
    conn_->Execute("insert into qzddi160 (appl, domn, dval, dsca) values (" + Q(appl) + ", 'YN', 'Y', 'Yes')");
    conn_->Execute("insert into qzddi200 (appl, cpac, cmod, flno, kseq, fldn) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', '1', 'CUNO')");
    conn_->Execute("insert into qzddi220 (appl, cpac, cmod, flno, rpac, rmod, rfln) values (" + Q(appl) +
         ", 'AR', 'CUST', '010', 'GL', 'ACCT', '001')");
    conn_->Execute("insert into qzddi230 (appl, grpn, cpac, cmod, flno, seqn) values (" + Q(appl) +
         ", 'SALES', 'AR', 'CUST', '010', '1')");
  }
}

void StoreBuilder::AddObject(const std::string& appl, int extn, const TestObject& o) const {
  conn_->Execute(std::string("insert into ") + (extn == 1 ? "qzddi140" : "qzlgy140") +
       " (appl, cpac, cmod, flno, dsca, ftyp) values (" + Q(appl) + "," + Object(o) + ", 'Object " + o.Name() +
       "', 'F')");
}

void StoreBuilder::AddProfile(const TestProfile& p, const std::vector<const TestProfile*>& ancestors) const {
  // The owner's enciphered form is bound as bytes: its random salt may hold a
  // backslash, which a server would read as an escape in a quoted binary.
  std::string enciphered;
  if (p.owner) EncipherForStore(*p.owner, enciphered);
  std::string base = p.base ? Q(p.base->vers) + "," + Q(p.base->rele) + "," + Q(p.base->cust) : "NULL,NULL,NULL";
  auto insert = conn_->Prepare(
      "insert into qzmap100 (mprf, sapp, tapp, vers, rele, cust, verf, relf, cusf, dsca, scme, deph, ownr, apln) "
      "values (" + std::to_string(p.mprf) + "," + Q(p.sapp) + "," + Q(p.tapp) + "," + Q(p.vrc.vers) + "," +
      Q(p.vrc.rele) + "," + Q(p.vrc.cust) + "," + base + ", 'Profile " + std::to_string(p.mprf) + "', " +
      Q(p.scme) + ", " + std::to_string(ancestors.size() + 1) + ", " + conn_->Placeholder(1) + ", 'Conversion')");
  insert->Bind(1, p.owner ? Value(enciphered) : Value(), true);
  insert->Run();
  std::vector<const TestProfile*> chain{&p};
  chain.insert(chain.end(), ancestors.begin(), ancestors.end());
  for (size_t level = 0; level < chain.size(); ++level)
    conn_->Execute("insert into qzmap101 (mprf, levl, vers, rele, cust, pprf) values (" + std::to_string(p.mprf) + "," +
         std::to_string(level + 1) + "," + Q(chain[level]->vrc.vers) + "," + Q(chain[level]->vrc.rele) + "," +
         Q(chain[level]->vrc.cust) + "," + std::to_string(chain[level]->mprf) + ")");
}

void StoreBuilder::AddDevelopmentVrc(const TestProfile& p, const TestVrc& dev) const {
  conn_->Execute("insert into qzmap105 (mprf, vers, rele, cust, dver, drel, dcus) values (" + Key(p.mprf, p.vrc) + "," +
       Q(dev.vers) + "," + Q(dev.rele) + "," + Q(dev.cust) + ")");
}

void StoreBuilder::AddRule120(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                             std::optional<std::string> logn, std::optional<std::string> isms) const {
  conn_->Execute("insert into qzmap120 (mprf, vers, rele, cust, tcpac, tcmod, tflno, txtn, prtx, stat, vari, stbl, comt, "
       "isms, ldat, logn, lusr) values (" + Key(mprf, vrc) + "," + Object(o) + ", 'Note of " + text + "', " +
       Q(text) + ", 'A', 'V1', 'S', 'Comment\r\nsecond line', " + Q(isms) + ", '2022-05-06 07:08:09', " + Q(logn) +
       ", 'planner')");
}

void StoreBuilder::AddOtherRules(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) const {
  conn_->Execute("insert into qzmap130 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, sflno, icod, qury, txtn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 'SP', 'SM', '002', 'I', " + Q(text) + ", 'q')");
  conn_->Execute("insert into qzmap140 (mprf, vers, rele, cust, tcpac, tcmod, tflno, dnum, fdnm, mrul, type, stat, txtn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 3, 'FIELD', " + Q(text) + ", 1, 'A', 't')");
  conn_->Execute("insert into qzmap160 (mprf, vers, rele, cust, tcpac, tcmod, tflno, func, txtn) values (" + Key(mprf, vrc) +
       "," + Object(o) + "," + Q(text) + ", 'f')");
  conn_->Execute("insert into qzmap170 (mprf, vers, rele, cust, bpac, bmod, bflno, cpac, cmod, cflno) values (" +
       Key(mprf, vrc) + ", 'BP', 'BM', " + Q(text) + "," + Object(o) + ")");
}

void StoreBuilder::AddRevisionInfo(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                                  bool null_sdat) const {
  conn_->Execute("insert into qzmap110 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, rinf, isid, sdat, pexp, logn) "
       "values (" + Key(mprf, vrc) + "," + Object(o) + ", 1, " + Q(text) + ", 'ISS-1', " +
       (null_sdat ? std::string("NULL") : Q(std::string("2022-01-02 03:04:05"))) + ", 0, 'planner')");
}

void StoreBuilder::AddRevisionTwins(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text) const {
  conn_->Execute("insert into qzmap125 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, txtn, prtx, vari, csta, stbl, "
       "isms, comt, logn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 1, 't', " + Q(text) +
       ", 'V', 'C', 'S', NULL, 'c', 'planner')");
  conn_->Execute("insert into qzmap135 (mprf, vers, rele, cust, tcpac, tcmod, tflno, scpac, scmod, sflno, icod, revi, qury, "
       "logn, csta, txtn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 'SP', 'SM', '002', 'I', 1, " + Q(text) +
       ", 'planner', 'C', 't')");
  conn_->Execute("insert into qzmap145 (mprf, vers, rele, cust, tcpac, tcmod, tflno, dnum, fdnm, revi, mrul, type, logn, "
       "stat, csta, txtn) values (" + Key(mprf, vrc) + "," + Object(o) + ", 3, 'FIELD', 1, " + Q(text) +
       ", 1, 'planner', 'A', 'C', 't')");
  conn_->Execute("insert into qzmap165 (mprf, vers, rele, cust, tcpac, tcmod, tflno, revi, func, logn, csta, txtn) values (" +
       Key(mprf, vrc) + "," + Object(o) + ", 1, " + Q(text) + ", 'planner', 'C', 't')");
  conn_->Execute("insert into qzmap175 (mprf, vers, rele, cust, bpac, bmod, bflno, revi, cpac, cmod, cflno, logn) values (" +
       Key(mprf, vrc) + "," + Object(o) + ", 1, 'CP', " + Q(text) + ", '009', 'planner')");
}

void StoreBuilder::AddRevisions(int mprf, const TestVrc& vrc, const TestObject& o, const std::string& text,
                               bool null_sdat) const {
  AddRevisionInfo(mprf, vrc, o, text, null_sdat);
  AddRevisionTwins(mprf, vrc, o, text);
}

StoreBuilder StoreBuilder::Empty(const std::string& path) { return StoreBuilder(store::CreateStore(path)); }

StoreBuilder StoreBuilder::Demo(const std::string& path, int scale) {
  auto c = store::CreateStore(path);
  store::FillDemoStore(*c, scale);
  return StoreBuilder(std::move(c));
}

StoreBuilder StoreBuilder::RootAndChild(const std::string& path, int root, int child, const std::string& rule) {
  StoreBuilder b = Empty(path);
  const TestProfile root_profile{root, "BAS", "EXT", {"X40", "c", "ab1"}, std::nullopt, "Y"};
  for (int extn : {0, 1}) b.AddApplication(extn ? "EXT" : "BAS", extn);
  b.AddObject("EXT", 1, {"AR", "CUST", "010"});
  b.AddProfile(root_profile);
  b.AddProfile({child, "BAS", "EXT", {"X41U", "c", "ab1"}, root_profile.vrc, "Y"}, {&root_profile});
  b.AddRule120(root, root_profile.vrc, {"AR", "CUST", "010"}, rule);
  return b;
}

StoreBuilder StoreBuilder::SharedWith(const std::string& path, store::Connection& other) {
  StoreBuilder b = Empty(path);
  store::CopySharedReferenceData(*b.conn_, other);
  return b;
}

void StoreBuilder::Add(std::string_view table, const Named& values) const {
  std::vector<std::string_view> columns;
  std::vector<Value> row;
  for (const auto& [column, v] : values) {
    columns.push_back(column);
    row.push_back(v);
  }
  auto inserter = conn_->Insert(table, columns);
  inserter->Add(row);
  inserter->Flush();
}

int64_t StoreBuilder::Count(const std::string& select) const {
  return conn_->OpenRecordset(select)->Fields(0).Integer();
}

std::vector<std::vector<std::string>> StoreBuilder::Rows(const std::string& select) const {
  std::vector<std::vector<std::string>> rows;
  auto rs = conn_->OpenRecordset(select);
  for (; !rs->IsEOF(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->FieldCount(); ++i) {
      Value v = rs->Fields(i);
      row.push_back(v.IsNull() ? "NULL" : v.Text());
    }
    rows.push_back(std::move(row));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace kestrel::testing
