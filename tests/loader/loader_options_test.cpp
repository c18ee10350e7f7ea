#include "loader/loader_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

LoaderOptions Parsed(const std::vector<std::string>& words) {
  LoaderOptions options;
  options.command = LoaderCommand::kUsage;  // to see that a parse sets everything
  options.display = 77;
  EXPECT_EQ(ParseLoaderArguments(words, &options), kOk) << ::testing::PrintToString(words);
  return options;
}

TEST(ParseLoaderArguments, NoWordsLoadEveryDisplay) {
  LoaderOptions options = Parsed({});
  EXPECT_EQ(options.command, LoaderCommand::kLoad);
  EXPECT_EQ(options.display, 0);
  EXPECT_FALSE(options.quiet);
}

TEST(ParseLoaderArguments, CommandsInAnyCaseWithSlashOrDash) {
  const struct {
    std::vector<std::string> words;
    LoaderCommand command;
  } cases[] = {
      {{"/reset"}, LoaderCommand::kReset},       {{"-RESET"}, LoaderCommand::kReset},
      {{"/Verify"}, LoaderCommand::kVerify},     {{"/watch"}, LoaderCommand::kWatch},
      {{"-stop"}, LoaderCommand::kStop},         {{"/INSTALL"}, LoaderCommand::kInstall},
      {{"/uninstall"}, LoaderCommand::kUninstall}, {{"/?"}, LoaderCommand::kUsage},
      {{"/Pause"}, LoaderCommand::kPause},       {{"-resume"}, LoaderCommand::kResume},
      {{"/STATUS"}, LoaderCommand::kStatus},
      {{"-?"}, LoaderCommand::kUsage},           {{"/help"}, LoaderCommand::kUsage},
  };
  for (const auto& c : cases) EXPECT_EQ(Parsed(c.words).command, c.command) << c.words[0];
}

TEST(ParseLoaderArguments, DisplayAndQuietCombineWithTheDisplayCommands) {
  LoaderOptions options = Parsed({"/verify", "/Display", "2", "-quiet"});
  EXPECT_EQ(options.command, LoaderCommand::kVerify);
  EXPECT_EQ(options.display, 2);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(Parsed({"/display", "12", "/watch"}).display, 12);
  EXPECT_EQ(Parsed({"/display", "1"}).command, LoaderCommand::kLoad);
  EXPECT_EQ(Parsed({"/display", "999", "/reset"}).display, 999);
  EXPECT_TRUE(Parsed({"/install", "/quiet"}).quiet);
}

TEST(ParseLoaderArguments, APauseLastsAnHourOrTheMinutesGiven) {
  EXPECT_EQ(Parsed({"/pause"}).minutes, 60u);
  EXPECT_EQ(Parsed({"/pause", "1"}).minutes, 1u);
  EXPECT_EQ(Parsed({"/pause", "1440", "/quiet"}).minutes, 1440u);
  LoaderOptions options = Parsed({"/pause", "/quiet"});
  EXPECT_EQ(options.minutes, 60u);
  EXPECT_TRUE(options.quiet);
}

TEST(ParseLoaderArguments, RefusesWhatItDoesNotUnderstandAndNamesIt) {
  const struct {
    std::vector<std::string> words;
    const char* refused;
  } cases[] = {
      {{"/bogus"}, "/bogus"},
      {{"reset"}, "reset"},                         // no slash or dash
      {{"/"}, "/"},
      {{"/reset", "/verify"}, "/verify"},           // two commands
      {{"/watch", "/watch"}, "/watch"},             // one twice
      {{"/display"}, "/display"},                   // no number
      {{"/display", "0"}, "/display 0"},
      {{"/display", "1000"}, "/display 1000"},
      {{"/display", "-1"}, "/display -1"},
      {{"/display", "2x"}, "/display 2x"},
      {{"/display", ""}, "/display "},
      {{"/display", "1", "/display", "2"}, "/display"},
      {{"/install", "/display", "1"}, "/display"},  // not a command on displays
      {{"/stop", "/display", "1"}, "/display"},
      {{"/?", "/display", "1"}, "/display"},
      {{"/pause", "0"}, "/pause 0"},
      {{"/pause", "1441"}, "/pause 1441"},
      {{"/pause", "x"}, "/pause x"},
      {{"/pause", "99999"}, "/pause 99999"},
      {{"/pause", "/display", "1"}, "/display"},
      {{"/status", "5"}, "5"},                       // only a pause takes a number
  };
  for (const auto& c : cases) {
    LoaderOptions options;
    options.display = 5;
    std::string refused;
    EXPECT_EQ(ParseLoaderArguments(c.words, &options, &refused), kBadArgument) << ::testing::PrintToString(c.words);
    EXPECT_EQ(refused, c.refused) << ::testing::PrintToString(c.words);
    EXPECT_EQ(options.display, 5) << "a refused line changed the options";
  }
  EXPECT_EQ(ParseLoaderArguments({}, nullptr), kMissingObject);
}

TEST(WatcherRequest, TextsGoBothWays) {
  const WatcherRequest requests[] = {
      {WatcherRequest::Kind::kPause, 1440}, {WatcherRequest::Kind::kResume, 0},
      {WatcherRequest::Kind::kResetPause, 0}, {WatcherRequest::Kind::kResetPause, 999},
      {WatcherRequest::Kind::kStatus, 0},       {WatcherRequest::Kind::kMenu, 0},
  };
  for (const WatcherRequest& request : requests) {
    const std::string text = WatcherRequestText(request);
    WatcherRequest parsed;
    parsed.number = 12345;
    ASSERT_TRUE(ParseWatcherRequest(text.data(), text.size(), &parsed)) << text;
    EXPECT_EQ(parsed.kind, request.kind) << text;
    EXPECT_EQ(parsed.number, request.number) << text;
    EXPECT_LE(text.size(), kLongestWatcherRequest) << text;
  }
  EXPECT_EQ(WatcherRequestText({WatcherRequest::Kind::kPause, 30}), "pause 30");
}

TEST(WatcherRequest, AnythingButOneRequestIsIgnored) {
  const std::string refused[] = {
      "",           "pause",      "pause 0",   "pause 1441", "pause x",  "pause 10 ",  "pause  10",
      "resume 1",   "status ",    "STATUS",    "reset",      "reset 1000", "stop",     "status\n",
      std::string("status\0", 7), std::string("pause 5\0", 8), "pause 000000000000000005",
  };
  for (const std::string& text : refused) {
    WatcherRequest request;
    EXPECT_FALSE(ParseWatcherRequest(text.data(), text.size(), &request)) << '"' << text << '"';
  }
  WatcherRequest request;
  EXPECT_FALSE(ParseWatcherRequest(nullptr, 6, &request));
  EXPECT_FALSE(ParseWatcherRequest("status", 6, nullptr));
}

TEST(DisplayDeviceName, NamesDisplaysAsTheSystemDoes) {
  EXPECT_EQ(DisplayDeviceName(1), "\\\\.\\DISPLAY1");
  EXPECT_EQ(DisplayDeviceName(12), "\\\\.\\DISPLAY12");
}

}  // namespace
}  // namespace lumetra
