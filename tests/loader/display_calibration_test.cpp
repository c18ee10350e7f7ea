#include "loader/display_calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/testing/fake_display_system.h"
#include "tests/testing/fake_gamma_device.h"
#include "tests/testing/icc_builder.h"
#include "tests/testing/paths.h"

namespace lumetra {
namespace {

using testing::FakeGammaDevice;
using testing::IccBuilder;
using Words = std::vector<uint16_t>;

using testing::kDisplay1;
using testing::kDisplay2;
using FakeDisplays = testing::FakeDisplaySystem;

Words Curves(double top) { return testing::CurveWords(top); }
Words Identity() { return testing::IdentityWords(); }

Words Card(const FakeGammaDevice& card, int screen) { return Words(card.tables[screen], card.tables[screen] + 768); }

class CalibrationRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::ScratchDir("display_calibration");
    table16_ = Curves(65535);
    table8_ = Curves(255);
    for (uint16_t v : table8_) table8_widened_.push_back(static_cast<uint16_t>(v << 8));
    Install("sixteen.icm", WithVcgt(testing::VcgtTableTagData(3, 256, 2, table16_)));
    Install("eight.icm", WithVcgt(testing::VcgtTableTagData(3, 256, 1, table8_)));
    Install("plain.icm", WithVcgt({}));
    Install("flat-gamma.icm", WithVcgt(testing::VcgtFormulaTagData({2.2, 0, 2.2}, {0, 0, 0}, {1, 1, 1})));
    IccBuilder long_one;
    long_one.declared_size = static_cast<uint32_t>(long_one.Build().size() + 100);
    Install("declares-more.icm", long_one.Build());
  }

  static std::vector<uint8_t> WithVcgt(const std::vector<uint8_t>& vcgt) {
    IccBuilder builder;
    builder.AddTag(Signature("desc"), testing::DescTagData("test"));
    if (!vcgt.empty()) builder.AddTag(Signature("vcgt"), vcgt);
    return builder.Build();
  }
  void Install(const std::string& name, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(testing::WriteFileBytes(Path(name), bytes)) << name;
  }
  std::string Path(const std::string& name) const { return testing::SystemPath(dir_ + "/" + name); }
  void Use(const std::string& device, const std::string& name) { displays_.profiles[device] = Path(name); }

  std::vector<DisplayResult> Run(RampAction action, int32_t only = 0) {
    std::vector<DisplayResult> results;
    EXPECT_EQ(RunOnDisplays(action, only, displays_, &results), kOk);
    return results;
  }

  std::string dir_;
  Words table16_, table8_, table8_widened_;
  FakeDisplays displays_;
  FakeGammaDevice card_;
};

TEST_F(CalibrationRun, EachDisplayGetsTheTableOfItsOwnProfile) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "eight.icm");
  std::vector<DisplayResult> results = Run(RampAction::kLoad);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(Card(card_, 0), table16_);
  EXPECT_EQ(Card(card_, 1), table8_widened_) << "1-byte entries fill the high byte";
  for (const DisplayResult& result : results) {
    EXPECT_TRUE(result.as_intended) << ReportLine(result);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.status, kOk);
  }
  EXPECT_EQ(ReportLine(results[0]), kDisplay1 + "  sixteen.icm  calibration loaded, verified");
  EXPECT_EQ(ReportLine(results[1]), kDisplay2 + "  eight.icm  calibration loaded, verified");
  EXPECT_EQ(Words(&results[0].wanted[0][0], &results[0].wanted[0][0] + 768), table16_);
  EXPECT_EQ(ExitCodeOf(results), 0);
}

TEST_F(CalibrationRun, OnlyTheDisplayAskedForIsTouched) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "eight.icm");
  std::vector<DisplayResult> results = Run(RampAction::kLoad, 2);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].device_name, kDisplay2);
  EXPECT_EQ(Card(card_, 0), Identity()) << "display 1 was touched";
  EXPECT_EQ(Card(card_, 1), table8_widened_);
  EXPECT_EQ(card_.display_set_calls, 1);

  results = Run(RampAction::kReset, 1);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(Card(card_, 0), Identity());
  EXPECT_EQ(Card(card_, 1), table8_widened_) << "display 2 was reset too";

  // A display that is not attached: one line saying so, nothing touched.
  card_.display_set_calls = 0;
  results = Run(RampAction::kLoad, 3);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_EQ(results[0].status, kIndexOutOfRange);
  EXPECT_EQ(ReportLine(results[0]).rfind("\\\\.\\DISPLAY3  -  not attached", 0), 0u) << ReportLine(results[0]);
  EXPECT_EQ(card_.display_set_calls, 0);
  EXPECT_EQ(ExitCodeOf(results), 1);
}

TEST_F(CalibrationRun, AProfileWithoutATableMakesTheDisplayLinear) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "plain.icm");
  Run(RampAction::kLoad);
  Use(kDisplay1, "plain.icm");
  std::vector<DisplayResult> results = Run(RampAction::kLoad, 1);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_TRUE(results[0].as_intended);
  EXPECT_EQ(Card(card_, 0), Identity());
  EXPECT_EQ(ReportLine(results[0]), kDisplay1 + "  plain.icm  no vcgt tag: linear ramp loaded, verified");
}

TEST_F(CalibrationRun, ARefusedRampLeavesTheCardAndSaysWhy) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "sixteen.icm");
  card_.refuse_sets = true;
  std::vector<DisplayResult> results = Run(RampAction::kLoad);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(Card(card_, 0), Identity());
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_FALSE(results[0].loaded);
  EXPECT_EQ(results[0].status, kSystemCallFailed) << "a refusal without a reason";
  const std::string line = ReportLine(results[0]);
  EXPECT_NE(line.find("refused"), std::string::npos) << line;
  EXPECT_NE(line.find("status 21001"), std::string::npos) << line;
  EXPECT_NE(line.find("GdiIcmGammaRange"), std::string::npos) << line;
  EXPECT_EQ(ExitCodeOf(results), 1);

  // Refused, but the card holds the ramp already: where it should be.
  card_.refuse_sets = false;
  Run(RampAction::kLoad);
  card_.refuse_sets = true;
  results = Run(RampAction::kLoad);
  EXPECT_TRUE(results[0].as_intended) << ReportLine(results[0]);
  EXPECT_EQ(ExitCodeOf(results), 0);
}

TEST_F(CalibrationRun, ARefusalIsTriedOnceMoreAndADisplayWithoutRampsIsNamedSo) {
  Use(kDisplay1, "sixteen.icm");
  card_.refuse_next_sets = 1;  // as some drivers do right after a mode change
  std::vector<DisplayResult> results = Run(RampAction::kLoad, 1);
  EXPECT_TRUE(results[0].as_intended) << ReportLine(results[0]);
  EXPECT_EQ(Card(card_, 0), table16_);
  EXPECT_EQ(displays_.retry_waits, 1) << "no pause before the second try";

  // Neither set nor read: no registry value helps such a display.
  card_.refuse_sets = card_.refuse_gets = true;
  results = Run(RampAction::kReset, 1);
  const std::string line = ReportLine(results[0]);
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_NE(line.find("not loaded: this display takes no gamma ramp: a remote, virtual or basic display"),
            std::string::npos) << line;
  EXPECT_EQ(line.find("GdiIcmGammaRange"), std::string::npos) << line;
}

TEST_F(CalibrationRun, ADisplayInAdvancedColourIsNotLoaded) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "sixteen.icm");
  displays_.advanced_color.insert(kDisplay2);
  for (RampAction action : {RampAction::kLoad, RampAction::kReset}) {
    std::vector<DisplayResult> results = Run(action);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].as_intended);
    EXPECT_FALSE(results[1].as_intended);
    EXPECT_EQ(ReportLine(results[1]), kDisplay2 + "  -  not loaded: advanced colour (HDR) is on for this display");
  }
  EXPECT_EQ(Card(card_, 1), Identity()) << "the HDR display's card was touched";
}

TEST_F(CalibrationRun, AChosenProfileIsLoadedFirstAndAssociatedOnlyWhenTheCardTookIt) {
  Use(kDisplay2, "eight.icm");
  DisplayResult result = ChooseProfile(kDisplay2, Path("sixteen.icm"), displays_);
  EXPECT_TRUE(result.as_intended) << ReportLine(result);
  EXPECT_EQ(ReportLine(result), kDisplay2 + "  sixteen.icm  chosen: calibration loaded, verified");
  EXPECT_EQ(Card(card_, 1), table16_);
  EXPECT_EQ(displays_.profiles[kDisplay2], Path("sixteen.icm"));
  EXPECT_EQ(Card(card_, 0), Identity()) << "display 1 was touched";

  // Nothing changes for a profile that cannot be read, a refused ramp or a
  // refused association.
  const struct {
    const char* what;
    const char* profile;
    bool refuse_sets, refuse_association;
    const char* said;
  } cases[] = {
      {"unreadable", "declares-more.icm", false, false, "not loaded: the profile cannot be read"},
      {"missing", "gone.icm", false, false, "not loaded: the profile cannot be read"},
      {"refused ramp", "eight.icm", true, false, "not loaded: the system refused the ramp"},
      {"refused association", "eight.icm", false, true, "not chosen: the profile cannot be associated"},
  };
  for (const auto& c : cases) {
    card_.refuse_sets = c.refuse_sets;
    displays_.refuse_associations = c.refuse_association;
    result = ChooseProfile(kDisplay2, Path(c.profile), displays_);
    EXPECT_FALSE(result.as_intended) << c.what;
    EXPECT_NE(ReportLine(result).find(c.said), std::string::npos) << c.what << ": " << ReportLine(result);
    EXPECT_EQ(Card(card_, 1), table16_) << c.what << " changed the card";
    EXPECT_EQ(displays_.profiles[kDisplay2], Path("sixteen.icm")) << c.what << " changed the association";
  }

  card_.refuse_sets = false;
  displays_.refuse_associations = false;
  displays_.advanced_color.insert(kDisplay2);
  result = ChooseProfile(kDisplay2, Path("eight.icm"), displays_);
  EXPECT_EQ(ReportLine(result), kDisplay2 + "  eight.icm  not loaded: advanced colour (HDR) is on for this display");
  EXPECT_EQ(displays_.profiles[kDisplay2], Path("sixteen.icm"));
}

TEST_F(CalibrationRun, TheReadBackIsComparedAtTheCardsPrecision) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "sixteen.icm");
  card_.kept_bits = 0xFF00;  // 8 bits per entry, as X servers keep them
  std::vector<DisplayResult> results = Run(RampAction::kLoad);
  EXPECT_TRUE(results[0].as_intended) << ReportLine(results[0]);
  EXPECT_GT(results[0].largest_difference, 0u);
  EXPECT_LE(results[0].largest_difference, 255u);

  card_.kept_bits = 0xFFFF;
  card_.sets_without_effect = true;  // reports success, keeps the old ramp
  results = Run(RampAction::kReset);  // the card keeps the table
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_FALSE(results[0].loaded);
  EXPECT_NE(ReportLine(results[0]).find("holds another ramp"), std::string::npos) << ReportLine(results[0]);

  card_.sets_without_effect = false;
  card_.refuse_gets = true;
  results = Run(RampAction::kLoad);
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_NE(ReportLine(results[0]).find("cannot be read back"), std::string::npos) << ReportLine(results[0]);
}

TEST_F(CalibrationRun, ProfilesThatCannotBeUsedLoadNothing) {
  const struct {
    const char* profile;  // null: the system names none
    Status status;
  } cases[] = {
      {"missing.icm", kProfileCannotOpen},
      {"declares-more.icm", kProfileSizeExceedsFile},
      {"flat-gamma.icm", kNotAvailable},
      {nullptr, kNotAvailable},
  };
  for (const auto& c : cases) {
    displays_.profiles.clear();
    if (c.profile) Use(kDisplay1, c.profile);
    card_.display_set_calls = 0;
    std::vector<DisplayResult> results = Run(RampAction::kLoad, 1);
    ASSERT_EQ(results.size(), 1u);
    const std::string line = ReportLine(results[0]);
    EXPECT_FALSE(results[0].as_intended) << line;
    EXPECT_EQ(results[0].status, c.status) << line;
    EXPECT_NE(line.find("status " + std::to_string(c.status)), std::string::npos) << line;
    EXPECT_EQ(line.rfind(kDisplay1 + "  " + (c.profile ? c.profile : "-") + "  ", 0), 0u) << line;
    EXPECT_EQ(card_.display_set_calls, 0) << line;
  }
}

TEST_F(CalibrationRun, VerifyComparesWithoutChangingAnything) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "plain.icm");
  Run(RampAction::kLoad);
  card_.display_set_calls = 0;
  std::vector<DisplayResult> results = Run(RampAction::kVerify);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_TRUE(results[0].as_intended);
  EXPECT_EQ(results[0].largest_difference, 0u);
  EXPECT_EQ(ReportLine(results[0]), kDisplay1 + "  sixteen.icm  matches its profile, largest difference 0");
  EXPECT_EQ(ReportLine(results[1]),
            kDisplay2 + "  plain.icm  matches its profile (no vcgt tag: linear), largest difference 0");
  EXPECT_EQ(ExitCodeOf(results), 0);

  // Another program changed a ramp: one entry far off, one off in the low byte only.
  card_.tables[0][300] = static_cast<uint16_t>(card_.tables[0][300] + 0x1234);
  card_.tables[0][10] = static_cast<uint16_t>(card_.tables[0][10] ^ 0x0001);
  results = Run(RampAction::kVerify, 1);
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_EQ(results[0].largest_difference, 0x1234u);
  EXPECT_EQ(ReportLine(results[0]), kDisplay1 + "  sixteen.icm  differs from its profile, largest difference 4660");
  EXPECT_EQ(ExitCodeOf(results), 1);
  EXPECT_EQ(card_.display_set_calls, 0) << "verify changed a card";

  card_.tables[0][300] = static_cast<uint16_t>(card_.tables[0][300] - 0x1234);
  results = Run(RampAction::kVerify, 1);
  EXPECT_TRUE(results[0].as_intended) << "a difference in the low byte is below the card's precision";
  EXPECT_EQ(results[0].largest_difference, 1u);

  card_.refuse_gets = true;
  results = Run(RampAction::kVerify, 1);
  EXPECT_FALSE(results[0].as_intended);
  EXPECT_NE(ReportLine(results[0]).find("cannot be verified"), std::string::npos);
}

TEST_F(CalibrationRun, ResetLoadsTheIdentityEverywhere) {
  Use(kDisplay1, "sixteen.icm");
  Use(kDisplay2, "eight.icm");
  Run(RampAction::kLoad);
  std::vector<DisplayResult> results = Run(RampAction::kReset);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(Card(card_, 0), Identity());
  EXPECT_EQ(Card(card_, 1), Identity());
  EXPECT_EQ(ReportLine(results[1]), kDisplay2 + "  -  linear ramp loaded, verified");
  EXPECT_EQ(ExitCodeOf(results), 0);
}

TEST_F(CalibrationRun, TheWatchersReadBackSeesAChangedCard) {
  Use(kDisplay1, "sixteen.icm");
  std::vector<DisplayResult> results = Run(RampAction::kLoad, 1);
  ASSERT_TRUE(results[0].loaded);
  EXPECT_TRUE(CardHolds(kDisplay1, results[0].wanted));
  // A driver that keeps more bits may round an entry by up to one 8-bit step.
  card_.tables[0][700] = static_cast<uint16_t>(card_.tables[0][700] + 256);
  EXPECT_TRUE(CardHolds(kDisplay1, results[0].wanted)) << "one 8-bit step off is the same ramp";
  card_.tables[0][700] = static_cast<uint16_t>(card_.tables[0][700] + 1);
  EXPECT_FALSE(CardHolds(kDisplay1, results[0].wanted)) << "257 off is another ramp";
  EXPECT_FALSE(CardHolds("\\\\.\\DISPLAY9", results[0].wanted)) << "a card that cannot be read holds nothing";
}

TEST_F(CalibrationRun, AFailedListingIsPassedOn) {
  displays_.list_status = kOutOfMemory;
  std::vector<DisplayResult> results(3);
  EXPECT_EQ(RunOnDisplays(RampAction::kLoad, 0, displays_, &results), kOutOfMemory);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(RunOnDisplays(RampAction::kLoad, 0, displays_, nullptr), kMissingObject);

  displays_.list_status = kOk;
  displays_.attached.clear();
  results = Run(RampAction::kLoad);
  EXPECT_TRUE(results.empty());
  EXPECT_EQ(ExitCodeOf(results), 1) << "no display cannot be the intended state";
}

}  // namespace
}  // namespace lumetra
