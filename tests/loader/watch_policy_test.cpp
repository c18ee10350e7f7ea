#include "loader/watch_policy.h"

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
using testing::kDisplay1;
using testing::kDisplay2;
using Words = std::vector<uint16_t>;

// The clock, the pause list, the running programs and the report, all set by
// the test.
class FakeEnvironment final : public WatchEnvironment {
 public:
  uint64_t NowMs() override { return now; }
  std::string LocalTime(int64_t offset_ms) override {
    return "t+" + std::to_string((static_cast<int64_t>(now) + offset_ms) / 1000);
  }
  bool StoredPauseList(std::vector<std::string>* names, bool* wrong_type) override {
    *wrong_type = stored_wrong_type;
    if (!stored) return false;
    *names = stored_list;
    return true;
  }
  Status RunningPrograms(std::vector<std::string>* names) override {
    ++listings;
    *names = running;
    return running_status;
  }
  void Report(const std::string& line) override { lines.push_back(line); }

  // How many reported lines contain `part`.
  int Said(const std::string& part) const {
    int count = 0;
    for (const std::string& line : lines) count += line.find(part) != std::string::npos;
    return count;
  }

  uint64_t now = 1000;
  bool stored = false;
  bool stored_wrong_type = false;
  std::vector<std::string> stored_list;
  std::vector<std::string> running = {"explorer.exe"};
  Status running_status = kOk;
  int listings = 0;  // of the running programs
  std::vector<std::string> lines;
};

Words Curves(double gamma_shift) { return testing::CurveWords(65535, gamma_shift); }
Words Identity() { return testing::IdentityWords(); }

class Watching : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::ScratchDir("watch_policy");
    calibration_ = Curves(0);
    other_calibration_ = Curves(0.3);
    Install("calibration.icm", calibration_);
    Install("other.icm", other_calibration_);
    Install("plain.icm", {});
    displays_.attached = {kDisplay1};
    Use(kDisplay1, "calibration.icm");
  }

  void Install(const std::string& name, const Words& table) {
    testing::IccBuilder builder;
    builder.AddTag(Signature("desc"), testing::DescTagData(name.c_str()));
    if (!table.empty()) builder.AddTag(Signature("vcgt"), testing::VcgtTableTagData(3, 256, 2, table));
    ASSERT_TRUE(testing::WriteFileBytes(testing::SystemPath(dir_ + "/" + name), builder.Build())) << name;
  }
  void Use(const std::string& device, const std::string& name) {
    displays_.profiles[device] = testing::SystemPath(dir_ + "/" + name);
  }
  Words Card(int screen = 0) const { return Words(card_.tables[screen], card_.tables[screen] + 768); }
  void SetCard(const Words& words, int screen = 0) {
    std::copy(words.begin(), words.end(), card_.tables[screen]);
  }
  // Another program's ramp, then the next periodic check.
  void ForeignRampThenCheck(WatchPolicy& policy, uint64_t after_ms = 2000) {
    SetCard(Curves(-0.9));
    environment_.now += after_ms;
    policy.Check();
  }
  std::string Status0(WatchPolicy& policy) const { return policy.StatusLines().at(0); }

  std::string dir_;
  Words calibration_, other_calibration_;
  testing::FakeDisplaySystem displays_;
  FakeEnvironment environment_;
  FakeGammaDevice card_;
};

TEST_F(Watching, AChangedRampIsRestoredThreeTimesThenTheDisplayIsYielded) {
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  ASSERT_EQ(Card(), calibration_);
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  watched (no restores)");

  for (int restore = 1; restore <= 3; ++restore) {
    ForeignRampThenCheck(policy, 500 * 4);
    EXPECT_EQ(Card(), calibration_) << "restore " << restore;
  }
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  watched (3 restores, the last at t+7)");
  EXPECT_EQ(environment_.Said("(its ramp had been changed)"), 3);

  // The fourth change within two minutes: the program that sets it keeps it.
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9)) << "the watcher fought on";
  EXPECT_EQ(policy.StateOf(0), WatchState::kYielded);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  yielded (since t+9)");
  EXPECT_EQ(environment_.Said("yielded: its ramp was changed again after 3 restores within 2 minutes"), 1);
  for (int check = 0; check < 100; ++check) ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9));
  EXPECT_EQ(environment_.Said("(its ramp had been changed)"), 3) << "a yielded display was restored";
  EXPECT_EQ(environment_.Said("yielded"), 1) << "the yield is said once";

  // The calibration loaded again by someone else ends the yield...
  SetCard(calibration_);
  environment_.now += 2000;
  policy.Check();
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);
  EXPECT_EQ(environment_.Said("watched again: the card holds its calibration"), 1);

  // ...and so does the next display, power or session event.
  for (int change = 0; change < 4; ++change) ForeignRampThenCheck(policy);
  ASSERT_EQ(policy.StateOf(0), WatchState::kYielded);
  policy.LoadAll("a display change");
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);
  EXPECT_EQ(Card(), calibration_);
}

TEST_F(Watching, RestoresFurtherApartThanTheWindowNeverYield) {
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  for (int restore = 0; restore < 10; ++restore) {
    ForeignRampThenCheck(policy, 41 * 1000);  // three within 2 minutes at most: 0, 41, 82 s
    EXPECT_EQ(Card(), calibration_) << "change " << restore;
  }
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);
}

TEST_F(Watching, ANewlyChosenProfileThatTheCardHoldsIsAdopted) {
  displays_.attached = {kDisplay1, kDisplay2};
  Use(kDisplay2, "calibration.icm");
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");

  // Chosen in the dialog: associated and loaded there.
  Use(kDisplay1, "other.icm");
  SetCard(other_calibration_);
  environment_.now += 2000;
  policy.Check();
  EXPECT_EQ(Card(), other_calibration_) << "the new choice was reverted";
  EXPECT_EQ(Status0(policy), kDisplay1 + "  other.icm  watched (no restores)") << "a restore was counted";
  EXPECT_EQ(environment_.Said(kDisplay1 + "  other.icm  calibration adopted: the card already holds it"), 1);

  // From now on the new choice is what is protected.
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), other_calibration_);
  EXPECT_EQ(Card(1), calibration_) << "display 2 was touched";

  // A profile without a table chosen elsewhere: nothing to protect any more.
  Use(kDisplay1, "plain.icm");
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9));
  EXPECT_EQ(policy.StateOf(0), WatchState::kNotWatched);
}

TEST_F(Watching, ADisplayWithoutATableGetsTheLinearRampAtLoadsOnly) {
  Use(kDisplay1, "plain.icm");
  SetCard(Curves(-0.9));
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  EXPECT_EQ(Card(), Identity());
  EXPECT_EQ(Status0(policy), kDisplay1 + "  plain.icm  not watched (no vcgt: linear)");
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9)) << "a linear display was restored";
  policy.LoadAll("an unlock");
  EXPECT_EQ(Card(), Identity());

  displays_.profiles.clear();  // no profile at all: the same, and not as intended
  SetCard(Curves(-0.9));
  policy.LoadAll("a display change");
  EXPECT_EQ(policy.StateOf(0), WatchState::kNotLoaded);
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9));
}

TEST_F(Watching, AListedProgramPausesTheWatcherAndItsEndLoadsEveryDisplay) {
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  environment_.running = {"explorer.exe", "DispCal.EXE"};  // names compare ignoring case
  // While every card holds its calibration the processes are not listed:
  // a pause changes nothing then, and listing them is a check's dearest part.
  const int listings = environment_.listings;
  for (int check = 0; check < 10; ++check, environment_.now += 2000) policy.Check();
  EXPECT_EQ(environment_.listings, listings);
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9)) << "restored under a measurement";
  EXPECT_EQ(policy.StateOf(0), WatchState::kPaused);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  paused (while dispcal.exe runs)");
  EXPECT_EQ(environment_.Said("paused while dispcal.exe runs"), 1);

  policy.LoadAll("a display change");  // events load nothing either
  EXPECT_EQ(Card(), Curves(-0.9));

  environment_.running = {"explorer.exe"};
  environment_.now += 2000;
  policy.Check();
  EXPECT_EQ(Card(), calibration_);
  EXPECT_EQ(environment_.Said("dispcal.exe has ended: loading every display"), 1);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  watched (no restores)") << "the load counted as a restore";

  // A stored list replaces the defaults, even an empty one.
  environment_.stored = true;
  environment_.stored_list = {"Game.exe"};
  environment_.running = {"dispcal.exe"};
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), calibration_) << "a default paused although a list is stored";
  environment_.running = {"game.exe"};
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  paused (while Game.exe runs)");
  environment_.stored_list.clear();
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), calibration_);

  // A value of another kind: ignored once said, the defaults apply.
  environment_.stored = false;
  environment_.stored_wrong_type = true;
  environment_.running = {"flux.exe"};
  for (int check = 0; check < 3; ++check) ForeignRampThenCheck(policy);
  EXPECT_EQ(policy.StateOf(0), WatchState::kPaused);
  EXPECT_EQ(environment_.Said("PauseWhileRunning is not a list of program names"), 1);

  // Programs that cannot be listed leave the state as it was.
  environment_.running_status = kSystemCallFailed;
  environment_.running = {};
  ForeignRampThenCheck(policy);
  EXPECT_EQ(policy.StateOf(0), WatchState::kPaused);
}

TEST_F(Watching, APauseAskedForLastsItsMinutesAndResumeEndsIt) {
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  policy.PauseFor(2);
  EXPECT_EQ(Status0(policy), kDisplay1 + "  calibration.icm  paused (until t+121)");
  ForeignRampThenCheck(policy, 60 * 1000);
  EXPECT_EQ(Card(), Curves(-0.9));
  environment_.now += 60 * 1000;
  policy.Check();
  EXPECT_EQ(Card(), calibration_) << "the pause's end did not load";
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);

  policy.PauseFor(60);
  ForeignRampThenCheck(policy);
  policy.Resume();
  EXPECT_EQ(Card(), calibration_);
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched);

  // Resume also ends a yield, and loads even while a listed program runs.
  for (int change = 0; change < 4; ++change) ForeignRampThenCheck(policy);
  ASSERT_EQ(policy.StateOf(0), WatchState::kYielded);
  environment_.running = {"dccw.exe"};
  policy.Resume();
  EXPECT_EQ(Card(), calibration_);
  EXPECT_EQ(environment_.Said("still paused while dccw.exe runs"), 1);
}

TEST_F(Watching, AResetPausesItsDisplaysUntilTheirCalibrationIsBack) {
  displays_.attached = {kDisplay1, kDisplay2};
  Use(kDisplay2, "calibration.icm");
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");

  policy.PauseForReset(2);
  SetCard(Identity(), 1);
  environment_.now += 2000;
  policy.Check();
  EXPECT_EQ(Card(1), Identity()) << "the reset was undone";
  EXPECT_EQ(policy.StatusLines().at(1), kDisplay2 + "  calibration.icm  paused (after a reset)");
  EXPECT_EQ(policy.StateOf(0), WatchState::kWatched) << "display 1 was not reset";
  policy.LoadAll("a display change");
  EXPECT_EQ(Card(1), Identity()) << "an event undid the reset";

  // A load from the command line ends it.
  SetCard(calibration_, 1);
  environment_.now += 2000;
  policy.Check();
  EXPECT_EQ(policy.StateOf(1), WatchState::kWatched);

  policy.PauseForReset(0);
  SetCard(Identity(), 0);
  SetCard(Identity(), 1);
  policy.Resume();
  EXPECT_EQ(Card(0), calibration_);
  EXPECT_EQ(Card(1), calibration_);
}

TEST_F(Watching, DisplaysInAdvancedColourOrWithoutRampsAreLeftAlone) {
  displays_.attached = {kDisplay1, kDisplay2};
  Use(kDisplay2, "calibration.icm");
  displays_.friendly_names[kDisplay1] = "Studio 27";
  displays_.advanced_color.insert(kDisplay1);
  SetCard(Curves(-0.9));
  WatchPolicy policy(displays_, environment_, 0);
  policy.LoadAll("");
  EXPECT_EQ(Card(), Curves(-0.9));
  EXPECT_EQ(policy.StatusLines().at(0),
            kDisplay1 + "  Studio 27  -  not loaded (advanced colour (HDR) is on for this display)");
  ForeignRampThenCheck(policy);
  EXPECT_EQ(Card(), Curves(-0.9));

  // Back to SDR: the display change that says so loads it.
  displays_.advanced_color.clear();
  policy.LoadAll("a display change");
  EXPECT_EQ(Card(), calibration_);

  card_.refuse_sets = card_.refuse_gets = true;
  policy.LoadAll("a display change");
  EXPECT_EQ(policy.StateOf(1), WatchState::kNotLoaded);
  EXPECT_NE(policy.StatusLines().at(1).find("not loaded (this display takes no gamma ramp"), std::string::npos)
      << policy.StatusLines().at(1);
  EXPECT_EQ(policy.ExitCode(), 1);
}

TEST_F(Watching, OnlyTheDisplayAskedForIsWatched) {
  displays_.attached = {kDisplay1, kDisplay2};
  Use(kDisplay2, "other.icm");
  WatchPolicy policy(displays_, environment_, 2);
  policy.LoadAll("");
  ASSERT_EQ(policy.DisplayCount(), 1u);
  EXPECT_EQ(Card(0), Identity());
  EXPECT_EQ(Card(1), other_calibration_);

  WatchPolicy absent(displays_, environment_, 3);
  absent.LoadAll("");
  EXPECT_EQ(absent.DisplayCount(), 0u);
  EXPECT_EQ(environment_.Said("\\\\.\\DISPLAY3  -  not attached"), 1);
  EXPECT_EQ(absent.StatusLines(), std::vector<std::string>{"no display is watched"});
  EXPECT_EQ(absent.ExitCode(), 1);
}

TEST(FirstListedRunning, ComparesProgramNamesIgnoringCase) {
  EXPECT_EQ(FirstListedRunning(DefaultPauseList(), {"MADTPG.EXE"}), "madTPG.exe");
  EXPECT_EQ(FirstListedRunning(DefaultPauseList(), {"dispcal", "xdispcal.exe", "dispcal.exe.bak"}), "");
  EXPECT_EQ(FirstListedRunning({"", "a.exe"}, {""}), "") << "an empty name matches nothing";
  EXPECT_EQ(DefaultPauseList().size(), 7u);
}

}  // namespace
}  // namespace lumetra
