// kestrel show and kestrel verify on the demo chain pack: the readable table
// with its markers, the raw details, JSON, the verdict and its exit code, and
// --target entries refused as usage errors.
#include <gmock/gmock.h>

#include "cli/demo_pack.h"

namespace kestrel::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The pack's chain, then the proposal: each profile, application and root
// parent the store already holds is marked.
const std::string kProposal =
    "10|ACC10|ACCX2|0|0|1\x01" "20|ACC10|ACCX2|10|0|1\x01" "30|ACC10|ACCX2|20|0|1\r"
    "10*|ACC10*|ACCX2*|0*|0|1\x01" "20*|ACC10*|ACCX2*|10|0|1\x01" "30*|ACC10*|ACCX2*|20|0|1";

TEST(ShowVerifyTest, ShowAndVerifyPrintTheProposalAndTheVerdict) {
  const struct {
    std::string command;
    std::vector<std::string> options;
    int exit_code;
    std::vector<std::string> out_has;
    std::string err_start;
  } rows[] = {
      {"show", {"--raw"}, 0, {kProposal}, ""},
      {"show", {}, 0,
       {"#  Pack profile  Source app  Target app  Parent  Source extn  Target extn  |  Import as  Source app",
        "\n0  10            ACC10       ACCX2       0       0            1            |  10*        ACC10*      "
        "ACCX2*      0*\n",
        "\n2  30            ACC10       ACCX2       20      0            1            |  30*        ACC10*      "
        "ACCX2*      20\n",
        "\nMarkers: \"*\" after a profile number"},
       ""},
      {"show", {"--json"}, 0,
       {"{\"details\":\"10|ACC10|ACCX2|0|0|1\\u000120|ACC10|ACCX2|10|0|1\\u000130|ACC10|ACCX2|20|0|1\\u000d10*|",
        "\"target\":[{\"profile\":\"10*\",\"source_application\":\"ACC10*\",\"target_application\":\"ACCX2*\"",
        "\"target_extn\":\"1\"}]}"},
       ""},
      // Checked and marked again from the proposal without markers.
      {"verify", {"--raw"}, 0, {kProposal}, ""},
      {"verify", {}, 0, {"\nThe selection passes.\n"}, ""},
      // Two entries for three profiles: the table still shows the third pack profile.
      {"verify", {"--target", "50|ACC10|ACCX2|0|0|1", "--target", "7|ACC10|ACCX2|9|0|1"}, 1,
       {"\n2  30            ACC10       ACCX2       20      0            1            |\n",
        "The selection does not pass:\nThe user selection is not complete.3 profiles are present in source, "
        "and 2 profiles are present in target.\n"
        "Profile Number (7) should be greater than the derived from profile (9) .\n"
        "Profiles 10, 20, 30 already exists with the application combination ACC10, ACCX2. You have to "
        "derive an update profile for 50 from existing profiles.\n"},
       "error 504: The user selection is not complete."},
      {"verify", {"--json", "--target", "40|ACC10|ACCX2|30|0|1", "--target", "41|ACC10|ACCX2|40|0|1", "--target",
                  "42|ACC10|ACCX2|41|0|1"}, 0,
       {"{\"profile\":\"41\",\"source_application\":\"ACC10*\",\"target_application\":\"ACCX2*\",\"parent\":\"40*\"",
        "\"passed\":true,\"messages\":[]}"},
       ""},
      // Markers and malformed entries are usage errors.
      {"verify", {"--target", "10|ACC10|ACCX2|0*|0|1", "--target", "20|ACC10|ACCX2|10|0|1", "--target", "30|ACC10|ACCX2|20|0|1"},
       2, {}, ""},
      {"verify", {"--target", "10|ACC10|ACCX2|0|0", "--target", "20|ACC10|ACCX2|10|0|1", "--target", "30|ACC10|ACCX2|20|0|1"},
       2, {}, ""},
  };
  const DemoPack& demo = SharedDemoPack();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.command + " " + ::testing::PrintToString(row.options));
    std::vector<std::string> args = {row.command, demo.pack, "--store", demo.store, "--registry", demo.registry};
    args.insert(args.end(), row.options.begin(), row.options.end());
    const RunResult r = RunKestrel(args);
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    for (const auto& text : row.out_has) EXPECT_THAT(r.out, HasSubstr(text));
    EXPECT_THAT(r.err, StartsWith(row.err_start));
    if (row.exit_code == 2) { EXPECT_THAT(r.out + "|" + r.err, ::testing::MatchesRegex("\\|.*--target.*")); }
    // Only verify gives a verdict; raw details are the string and nothing else.
    if (row.command == "show") { EXPECT_THAT(r.out, ::testing::Not(HasSubstr("passe"))); }
    if (row.options == std::vector<std::string>{"--raw"}) { EXPECT_EQ(r.out, kProposal); }
  }
}

}  // namespace
}  // namespace kestrel::testing
