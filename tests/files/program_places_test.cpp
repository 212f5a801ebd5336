// An installed program's files: data found under <prefix>/share/<name>, and settings files
// whose folder cannot be written kept in the user's settings folder and read back from there.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "files/program_places.h"
#include "platform/fake_files.h"
#include "platform/fake_process.h"
#include "platform/files.h"
#include "platform/process.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }

// Restores an environment variable when the test ends.
class SavedEnv {
 public:
  explicit SavedEnv(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    if (had_) value_ = value;
  }
  ~SavedEnv() {
    if (had_) {
      setenv(name_, value_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

// A program "<root>/prefix/bin/game" with a data folder and a home, run in <root>/run.
class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    qrn::ini_open(RtString());
    ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
    for (const char* folder : {"prefix", "prefix/bin", "prefix/share", "prefix/share/game",
                               "prefix/share/game/Media", "run", "run/Media", "home", "config"}) {
      ASSERT_EQ(mkdir(dir.file(folder).c_str(), 0755), 0) << folder;
    }
    process.program_file = dir.file("prefix/bin/game");
    ASSERT_EQ(chdir(dir.file("run").c_str()), 0);
    setenv("HOME", dir.file("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
  }
  void TearDown() override {
    qrn::ini_open(RtString());
    ASSERT_EQ(chdir(previous_), 0);
  }

  qrn::test::TempDir dir;
  qrn::FakeProcess process;
  qrn::FakeFiles files;
  qrn::ServiceScope<qrn::ProcessService> process_scope{&process};
  qrn::ServiceScope<qrn::FileService> files_scope{&files};
  SavedEnv home_{"HOME"}, xdg_{"XDG_CONFIG_HOME"};
  char previous_[4096] = {};
};

}  // namespace

TEST(ContainedNames, OnlyNamesThatStayInsideTheirFolder) {
  for (const char* name : {"ORVL.INI", "Media/OV_Sun.png", "a/b/c", "Media\\x.png", ".hidden", "a..b", "..."}) {
    EXPECT_TRUE(qrn::is_contained_name(name)) << name;
  }
  for (const char* name : {"", "/etc/passwd", "\\x", "C:x", "../x", "a/../x", "a/./x", "./x", "a//b", "a/",
                           "..", "."}) {
    EXPECT_FALSE(qrn::is_contained_name(name)) << name;
  }
}

TEST_F(PlacesTest, AnInstalledProgramFindsItsDataFolderAfterItsOwnFolder) {
  qrn::test::write_file(dir.file("prefix/share/game/Media/sun.png"), "data");
  qrn::test::write_file(dir.file("prefix/share/game/Media/both.png"), "data");
  qrn::test::write_file(dir.file("run/Media/both.png"), "here");
  qrn::test::write_file(dir.file("prefix/share/secret"), "outside");
  EXPECT_EQ(str(qrn::program_data_folder()), dir.file("prefix/share/game"));

  RtString name = "Media/sun.png";
  ASSERT_TRUE(qrn::resolve_file_name(name));
  EXPECT_EQ(str(name), dir.file("prefix/share/game/Media/sun.png"));
  name = "Media/both.png";  // the working directory comes first
  ASSERT_TRUE(qrn::resolve_file_name(name));
  EXPECT_EQ(str(name), "Media/both.png");
  name = "../secret";  // never outside the data folder
  EXPECT_FALSE(qrn::resolve_file_name(name));
  name = "Media/missing.png";
  EXPECT_FALSE(qrn::resolve_file_name(name));
  name = "Media";  // a folder is no file
  EXPECT_FALSE(qrn::resolve_file_name(name));

  // Not in a "bin" folder (a build folder), or no such share folder: no data folder.
  process.program_file = dir.file("prefix/game");
  EXPECT_EQ(str(qrn::program_data_folder()), "");
  process.program_file = dir.file("prefix/bin/other");
  EXPECT_EQ(str(qrn::program_data_folder()), "");
  name = "Media/sun.png";
  EXPECT_FALSE(qrn::resolve_file_name(name));
}

TEST_F(PlacesTest, TheUserSettingsFolderFollowsXdgThenHome) {
  EXPECT_EQ(str(qrn::user_settings_folder()), dir.file("config/game"));
  setenv("XDG_CONFIG_HOME", (dir.file("config") + "//").c_str(), 1);
  EXPECT_EQ(str(qrn::user_settings_folder()), dir.file("config/game"));
  setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not absolute: not used
  EXPECT_EQ(str(qrn::user_settings_folder()), dir.file("home/.config/game"));
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(str(qrn::user_settings_folder()), dir.file("home/.config/game"));
  unsetenv("HOME");
  EXPECT_EQ(str(qrn::user_settings_folder()), "");
  RtString out = "stale";
  files.read_only_folders.insert(".");
  EXPECT_FALSE(qrn::settings_fallback_path("ORVL.INI", out));  // nowhere to go: stays beside
  EXPECT_EQ(str(out), "");
}

// The kept copy's path obeys the runtime's path limit: 1023 bytes are taken, 1024 are not
// (the file then stays where its name says). The same holds for a data-folder name.
TEST_F(PlacesTest, PathsInTheUserAndDataFoldersStopAtThePathLimit) {
  files.read_only_folders.insert(".");
  const std::string base = dir.file("config");
  const std::string tail = "/game/ORVL.INI";
  for (size_t length : {size_t{1023}, size_t{1024}}) {
    std::string config = base + "/" + std::string(length - base.size() - 1 - tail.size(), 'c');
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    RtString out;
    bool moved = qrn::settings_fallback_path("ORVL.INI", out);
    EXPECT_EQ(moved, length == 1023) << length;
    if (moved) {
      EXPECT_EQ(out.length, 1023u);
    }
  }

  const std::string data = dir.file("prefix/share/game/");
  for (size_t length : {size_t{1023}, size_t{1024}}) {
    // A name of this length in the data folder, made of folders of at most 200 bytes.
    std::string name;
    size_t left = length - data.size();
    while (left > 0) {
      size_t part = std::min<size_t>(left, 200);
      if (!name.empty()) name += "/";
      name += std::string(part - (name.empty() ? 0 : 1), 'd');
      left -= part;
    }
    ASSERT_EQ(data.size() + name.size(), length);
    std::string folder = name.substr(0, name.rfind('/'));
    for (size_t at = 0; at <= folder.size(); ++at) {
      if (at == folder.size() || folder[at] == '/') {
        mkdir((data + folder.substr(0, at)).c_str(), 0755);
      }
    }
    qrn::test::write_file(data + name, "x");
    RtString resolved = name.c_str();
    EXPECT_EQ(qrn::resolve_file_name(resolved) != 0, length == 1023) << length;
  }
}

TEST_F(PlacesTest, ASettingsFileInAReadOnlyFolderIsKeptInTheUserFolder) {
  qrn::test::write_file(dir.file("run/ORVL.INI"), "[TIME]\r\nAWAKE=0700\r\n");
  files.read_only_folders.insert(".");
  const std::string kept = dir.file("config/game/ORVL.INI");

  // First start: the copy beside the program is read, the change goes to the user's folder
  // (made on the way) and the copy beside the program stays as it was.
  qrn::ini_open("ORVL.INI");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "NO_DATA")), "0700");
  qrn::ini_put("TIME", "AWAKE", "0630");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(kept), "[TIME]\r\nAWAKE=0630\r\n");
  EXPECT_EQ(qrn::test::read_file(dir.file("run/ORVL.INI")), "[TIME]\r\nAWAKE=0700\r\n");

  // Next start reads the kept copy; a second change replaces it.
  qrn::ini_open("ORVL.INI");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "NO_DATA")), "0630");
  qrn::ini_put("TIME", "AWAKE", "0915");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(kept), "[TIME]\r\nAWAKE=0915\r\n");

  // A name in a sub-folder keeps its sub-folder there; an absolute name is never moved.
  qrn::ini_open("saves/slot1.ini");
  qrn::ini_put("A", "k", "v");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("config/game/saves/slot1.ini")), "[A]\r\nk=v\r\n");
  files.read_only_folders.insert(dir.file("abs").c_str());
  ASSERT_EQ(mkdir(dir.file("abs").c_str(), 0755), 0);
  qrn::ini_open(RtString(dir.file("abs/x.ini").c_str()));
  qrn::ini_put("A", "k", "v");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("abs/x.ini")), "");
  EXPECT_EQ(qrn::test::read_file(dir.file("config/game/x.ini")), "");
}

TEST_F(PlacesTest, AWritableFolderKeepsTheFileBesideTheProgram) {
  // A kept copy from a time the folder was read-only does not hide the file beside.
  ASSERT_EQ(mkdir(dir.file("config/game").c_str(), 0755), 0);
  qrn::test::write_file(dir.file("config/game/ORVL.INI"), "[TIME]\r\nAWAKE=0500\r\n");
  qrn::ini_open("ORVL.INI");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "NO_DATA")), "NO_DATA");
  qrn::ini_put("TIME", "AWAKE", "0745");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("run/ORVL.INI")), "[TIME]\r\nAWAKE=0745\r\n");
  EXPECT_EQ(qrn::test::read_file(dir.file("config/game/ORVL.INI")), "[TIME]\r\nAWAKE=0500\r\n");

  // Defaults shipped in the data folder are read, and changes written beside the program.
  std::remove(dir.file("run/ORVL.INI").c_str());
  qrn::test::write_file(dir.file("prefix/share/game/ORVL.INI"), "[TIME]\r\nAWAKE=0600\r\n");
  qrn::ini_open("ORVL.INI");
  EXPECT_EQ(str(qrn::ini_get("TIME", "AWAKE", "NO_DATA")), "0600");
  qrn::ini_put("TIME", "AWAKE", "0800");
  qrn::ini_open("");
  EXPECT_EQ(qrn::test::read_file(dir.file("run/ORVL.INI")), "[TIME]\r\nAWAKE=0800\r\n");
  EXPECT_EQ(qrn::test::read_file(dir.file("prefix/share/game/ORVL.INI")), "[TIME]\r\nAWAKE=0600\r\n");
}
