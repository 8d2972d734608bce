// VerifyUserSelections and its checks against a real store: every message
// and number, all problems reported in one call, where a parent's
// applications come from, and the marking of the target entries.
#include <gmock/gmock.h>

#include "importer/lookups.h"
#include "importer/selection.h"
#include "selection_fixture.h"

namespace kestrel::testing {
namespace {

using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::HasSubstr;

struct Verdict {
  bool passed;
  std::string out;
  std::string message;
};

class VerifyTest : public SelectionFixture {
 protected:
  Verdict Verify(const std::vector<std::string>& targets) {
    // The source list has the same length unless a test says otherwise.
    std::vector<std::string> sources;
    for (size_t i = 0; i < targets.size(); ++i) sources.push_back(Entry({std::to_string(100 + i), "P", "Q", "0", "0", "0"}));
    return VerifyDetails(Details(sources, targets));
  }
  Verdict VerifyDetails(const std::string& details) {
    Verdict v;
    v.passed = Object().VerifyUserSelections(details, v.out, v.message);
    return v;
  }
};

constexpr const char* kBr = "<BR>";

TEST_F(VerifyTest, RepeatedNumberIsReportedAndTheOtherChecksStillRun) {
  auto v = Verify({Entry({"12", "X", "Y", "0", "0", "0"}), Entry({"12", "X", "Y", "14", "0", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, std::string("Profile Number 12 repeats in the target selection.") + kBr +
                           "Profile Number (12) should be greater than the derived from profile (14) ." + kBr + kBr);
  // The later check's number stands; its description is its own buffer.
  EXPECT_EQ(Object().get_ErrorNumber(), 502);
  EXPECT_EQ(Object().get_ErrorDescription(),
            std::string("Profile Number (12) should be greater than the derived from profile (14) .") + kBr);
}

TEST_F(VerifyTest, RepeatsAreComparedAsText) {
  auto v = Verify({Entry({"12", "X", "Y", "0", "0", "0"}), Entry({"012", "X", "Y", "0", "0", "0"})});
  EXPECT_TRUE(v.passed) << v.message;
  EXPECT_EQ(v.message, "");
}

TEST_F(VerifyTest, ParentMustBeLowerThanItsChild) {
  auto v = Verify({Entry({"5", "X", "Y", "7", "0", "0"}), Entry({"7", "X", "Y", "7", "0", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, std::string("Profile Number (5) should be greater than the derived from profile (7) .") + kBr +
                           "Profile Number (7) should be greater than the derived from profile (7) ." + kBr + kBr);
  EXPECT_EQ(Object().get_ErrorNumber(), 502);
}

TEST_F(VerifyTest, RootWithPositiveNumberPasses) {
  auto v = Verify({Entry({"1", "X", "Y", "0", "0", "0"})});
  EXPECT_TRUE(v.passed);
  // A root with number 0 is not lower than its parent 0.
  v = Verify({Entry({"0", "X", "Y", "0", "0", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(Object().get_ErrorNumber(), 502);
}

class DerivationTest : public VerifyTest {
 protected:
  void SetUp() override {
    VerifyTest::SetUp();
    StoreApplication("A", 0);
    StoreApplication("B", 1);
    StoreProfile(12, "A", "B");
  }
  static std::string Heterogeneous(const std::string& parent, const std::string& child) {
    return "Profile Number " + parent + " can not be parent profile for " + child +
           " as it will create a hetrogenous derivation structure." + kBr;
  }
};

TEST_F(DerivationTest, SourceApplicationOfAnotherKindIsRefusedOnce) {
  // Both kinds differ; the target side is only looked at when the source side passed.
  auto v = Verify({Entry({"20", "A", "B", "12", "1", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, Heterogeneous("12", "20") + kBr);
  EXPECT_EQ(Object().get_ErrorNumber(), 503);
}

TEST_F(DerivationTest, TargetApplicationOfAnotherKindIsRefused) {
  auto v = Verify({Entry({"20", "A", "B", "12", "0", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, Heterogeneous("12", "20") + kBr);
}

TEST_F(DerivationTest, SameKindsPass) {
  auto v = Verify({Entry({"20", "A", "B", "12", "0", "1"})});
  EXPECT_TRUE(v.passed) << v.message;
}

TEST_F(DerivationTest, ParentListedBeforeItsChildIsTakenFromTheList) {
  // 30 on C, D is not stored: its applications come from its own entry.
  StoreApplication("C", 1);
  StoreApplication("D", 0);
  auto v = Verify({Entry({"30", "C", "D", "0", "1", "0"}), Entry({"40", "C", "D", "30", "1", "1"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, Heterogeneous("30", "40") + kBr);
}

TEST_F(DerivationTest, ParentListedAfterItsChildIsLookedUpInTheStore) {
  // In the list 12 would be on C, D (kinds 1 and 0, as the child says); the
  // store's 12 is on A, B, whose source kind 0 differs from the child's 1.
  StoreApplication("C", 1);
  StoreApplication("D", 0);
  auto v = Verify({Entry({"20", "C", "D", "12", "1", "0"}), Entry({"12", "C", "D", "0", "1", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_THAT(v.message, HasSubstr(Heterogeneous("12", "20")));
  // Listed first, the same parent passes.
  v = Verify({Entry({"12", "C", "D", "0", "1", "0"}), Entry({"20", "C", "D", "12", "1", "0"})});
  EXPECT_TRUE(v.passed) << v.message;
}

TEST_F(DerivationTest, UnknownApplicationKindIsNotChecked) {
  // The parent's applications are in the list but not in the store: extn -1.
  auto v = Verify({Entry({"30", "M", "N", "0", "0", "0"}), Entry({"40", "M", "N", "30", "1", "1"})});
  EXPECT_TRUE(v.passed) << v.message;
}

class ServedPairTest : public VerifyTest {
 protected:
  void SetUp() override {
    VerifyTest::SetUp();
    StoreApplication("A", 0);
    StoreApplication("B", 1);
    StoreProfile(12, "A", "B");
    StoreProfile(15, "A", "B", 12);
  }
  // The store returns the pair's profiles in an order of its own.
  static std::string Unrelated(const std::string& profiles, const std::string& child) {
    return "Profiles " + profiles + " already exists with the application combination A, B." +
           " You have to derive an update profile for " + child + " from existing profiles." + kBr;
  }
};

TEST_F(ServedPairTest, NewRootForAServedPairIsRefused) {
  auto v = Verify({Entry({"20", "A", "B", "0", "0", "1"})});
  EXPECT_FALSE(v.passed);
  EXPECT_THAT(v.message, AnyOf(Unrelated("12, 15", "20") + kBr, Unrelated("15, 12", "20") + kBr));
  EXPECT_EQ(Object().get_ErrorNumber(), 504);
}

TEST_F(ServedPairTest, ProfilesDerivedFromOrReplacingAServedOnePass) {
  EXPECT_TRUE(Verify({Entry({"20", "A", "B", "15", "0", "1"})}).passed);
  EXPECT_TRUE(Verify({Entry({"15", "A", "B", "0", "0", "1"})}).passed);
  // Containment is a text test: parent 1 is found in "12, 15".
  auto v = Verify({Entry({"20", "A", "B", "1", "0", "1"})});
  EXPECT_TRUE(v.passed) << v.message;
}

TEST_F(ServedPairTest, ParentFromTheListCountsAsServing) {
  // 16 is new, listed first, on the served pair: refused as unrelated. 21
  // derives from it in the list and passes.
  auto v = Verify({Entry({"16", "A", "B", "0", "0", "1"}), Entry({"21", "A", "B", "16", "0", "1"})});
  EXPECT_FALSE(v.passed);
  EXPECT_THAT(v.message, AnyOf(Unrelated("12, 15", "16") + kBr, Unrelated("15, 12", "16") + kBr));
}

TEST_F(ServedPairTest, EveryProblemIsReportedInOneCall) {
  auto v = Verify({Entry({"20", "A", "B", "0", "0", "1"}), Entry({"20", "A", "B", "25", "0", "1"})});
  EXPECT_FALSE(v.passed);
  EXPECT_THAT(v.message, HasSubstr("Profile Number 20 repeats in the target selection.<BR>"));
  EXPECT_THAT(v.message, HasSubstr("Profile Number (20) should be greater than the derived from profile (25) .<BR>"));
  EXPECT_THAT(v.message, HasSubstr("You have to derive an update profile for 20 from existing profiles.<BR>"));
  EXPECT_THAT(v.message, ::testing::EndsWith("<BR><BR>"));
}

TEST_F(VerifyTest, ListsOfDifferentLengthAreCountedAndStillChecked) {
  std::vector<std::string> sources = {Entry({"1", "P", "Q", "0", "0", "0"}), Entry({"2", "P", "Q", "1", "0", "0"}),
                                      Entry({"3", "P", "Q", "2", "0", "0"})};
  auto v = VerifyDetails(Details(sources, {Entry({"9", "X", "Y", "0", "0", "0"}), Entry({"9", "X", "Y", "0", "0", "0"})}));
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, std::string("The user selection is not complete.3 profiles are present in source, and 2 "
                                   "profiles are present in target.") +
                           kBr + "Profile Number 9 repeats in the target selection." + kBr);
}

TEST_F(VerifyTest, OutputMarksEveryTargetEntry) {
  StoreApplication("A", 0);
  StoreApplication("B", 1);
  StoreProfile(12, "A", "B");
  const std::string contents = Entry({"3", "A", "B", "0", "0", "1"}) + "\x01" + Entry({"4", "A", "C", "3", "0", "1"});
  auto v = VerifyDetails(contents + "\r" + Entry({"12", "A", "B", "0", "0", "1"}) + "\x01" +
                         Entry({"16", "A", "C", "12", "0", "1"}));
  EXPECT_TRUE(v.passed) << v.message;
  EXPECT_EQ(v.message, "");
  EXPECT_EQ(v.out, contents + "\r" + Entry({"12*", "A*", "B*", "0*", "0", "1"}) + "\x01" +
                       Entry({"16", "A*", "C", "12", "0", "1"}));
}

TEST_F(VerifyTest, DetailsWithoutSecondLineEndInTheUnexpectedErrorReport) {
  const std::string details = Entry({"3", "A", "B", "0", "0", "1"});
  auto v = VerifyDetails(details);
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, "Unexpected Error.Error Number: 9Description: Subscript out of range");
  EXPECT_EQ(v.out, details);
  auto log = LogMessages();
  EXPECT_THAT(log, Contains("---------------------------Verify User Selection---------------------------"));
  EXPECT_THAT(log, Contains(v.message));
}

TEST_F(VerifyTest, TargetEntryWithoutSixFieldsEndsInTheReport) {
  auto v = Verify({Entry({"3", "A", "B", "0", "0"})});
  EXPECT_FALSE(v.passed);
  EXPECT_EQ(v.message, "Unexpected Error.Error Number: 9Description: Subscript out of range");
}

TEST_F(VerifyTest, EmptySelectionPasses) {
  auto v = VerifyDetails("\r");
  EXPECT_TRUE(v.passed);
  EXPECT_EQ(v.out, "\r");
}

TEST_F(VerifyTest, VerificationLogsItsMessages) {
  Verify({Entry({"5", "X", "Y", "7", "0", "0"})});
  auto log = LogMessages();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "---------------------------Verify User Selection---------------------------");
  EXPECT_EQ(log[1], "Profile Number (5) should be greater than the derived from profile (7) .<BR>");
}

// --- MarkSelectionEntry and the look-ups ------------------------------------

class MarkTest : public SelectionFixture {
 protected:
  void SetUp() override {
    SelectionFixture::SetUp();
    StoreApplication("A", 0);
    StoreProfile(4, "A", "B");
    StoreProfile(7, "A", "B", 4);
  }
  std::string Mark(const std::string& entry, int32_t number) {
    std::string result;
    importer::MarkSelectionEntry(Context(), Error(), entry, number, result);
    EXPECT_EQ(number, 0) << "the number is used once";
    return result;
  }
};

TEST_F(MarkTest, OwnNumberIsKept) {
  EXPECT_EQ(Mark("4|A|B|0|0|1", 0), "4*|A*|B|0*|0|1");
  EXPECT_EQ(Mark("9|C|A|4|0|1", 0), "9|C|A*|4|0|1");
  // A parent the store does not hold is flagged.
  EXPECT_EQ(Mark("9|C|D|8|1|1", 0), "9|C|D|8*|1|1");
}

TEST_F(MarkTest, AnnouncedNumberTakesItsStoredParent) {
  EXPECT_EQ(Mark("3|A|B|0|0|1", 7), "7*|A*|B|4|0|1");
  // Stored as a root: no parent.
  EXPECT_EQ(Mark("3|A|B|5|0|1", 4), "4*|A*|B|0*|0|1");
  // Not stored: a new root.
  EXPECT_EQ(Mark("3|A|B|2|0|1", 11), "11|A*|B|0*|0|1");
}

TEST_F(MarkTest, LookupFailureIsRememberedAndAnsweredAsNothing) {
  Store().Execute("drop table qzddi100");
  EXPECT_FALSE(importer::ApplicationExists(Context(), Error(), "A"));
  EXPECT_NE(Error().ErrorNumber, 0);
  EXPECT_THAT(Error().ErrorDescription, HasSubstr("qzddi100"));
  EXPECT_EQ(importer::GetApplicationExtn(Context(), Error(), "A"), -1);
  EXPECT_EQ(Mark("4|A|B|0|0|1", 0), "4*|A|B|0*|0|1");
}

TEST_F(MarkTest, StoredParentLookupIsNotTrapped) {
  Store().Execute("drop table qzmap101");
  std::string result;
  int32_t number = 7;
  EXPECT_THROW(importer::MarkSelectionEntry(Context(), Error(), "3|A|B|0|0|1", number, result), ComError);
}

TEST_F(MarkTest, StoreLookups) {
  StoreProfile(8, "A", "B");
  StoreProfile(9, "A", "C");
  auto apps = importer::GetProfileApplications(Context(), Error(), 9);
  EXPECT_EQ(apps.Source, "A");
  EXPECT_EQ(apps.Target, "C");
  apps = importer::GetProfileApplications(Context(), Error(), 99);
  EXPECT_EQ(apps.Source, "");
  EXPECT_EQ(apps.Target, "");
  EXPECT_EQ(importer::GetApplicationExtn(Context(), Error(), "A"), 0);
  EXPECT_EQ(importer::GetApplicationExtn(Context(), Error(), "Z"), -1);
  const std::string pair = importer::ProfilesWithApplications(Context(), Error(), "A", "B");
  auto listed = importer::SplitList(pair, ", ");
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"4", "7", "8"}));
  EXPECT_EQ(importer::ProfilesWithApplications(Context(), Error(), "B", "A"), "");
}

TEST(NumberFields, LeadingDigitsGiveTheValue) {
  EXPECT_EQ(importer::NumericValue("12"), 12);
  EXPECT_EQ(importer::NumericValue("12*"), 12);
  EXPECT_EQ(importer::NumericValue("0*"), 0);
  EXPECT_EQ(importer::NumericValue(" 7"), 7);
  EXPECT_EQ(importer::NumericValue("-3"), -3);
  EXPECT_EQ(importer::NumericValue(""), 0);
  EXPECT_EQ(importer::NumericValue("abc"), 0);
  EXPECT_EQ(importer::NumberOf("2147483647"), 2147483647);
  try {
    importer::NumberOf("2147483648");
    FAIL() << "no overflow";
  } catch (const ComError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

}  // namespace
}  // namespace kestrel::testing
