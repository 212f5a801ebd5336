// Platform information: every key's form and fallbacks on a scripted platform, the language
// table and its rules, the device identifier and its file, the Linux sources (batteries,
// machine id, user folders), the real platform's answers, and the clocks.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "platform/fake_platform.h"
#include "platform/platform.h"
#include "quarnel.h"
#include "support/temp_dir.h"

using qrn::RtString;

namespace {

std::string str(const RtString& t) { return std::string(t.data, t.length); }
std::string info(const char* key) { return str(qrn::platform_info(key)); }

class PlatformInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    fake->temp_dir = dir.file("tmp/");
    qrn::create_directory(RtString(fake->temp_dir.c_str()));
  }
  qrn::FakePlatformScope fake;
  qrn::test::TempDir dir;
};

}  // namespace

TEST_F(PlatformInfoTest, KeysAndFallbacks) {
  fake->documents_dir = "/home/u/Docs/";
  fake->data_dir = dir.path() + "data";
  qrn::create_directory(RtString(fake->data_dir.c_str()));
  struct Case {
    const char* key;
    std::function<void()> script;
    std::string answer;
  } cases[] = {
      {"", [] {}, "LINUX"},
      {"Device", [] {}, "DESKTOP"},
      {"XYZ", [] {}, "NO_DATA"},
      {"version", [] {}, "004.400"},
      {"BATTERY", [&] { fake->battery = 255; }, "100"},
      {"battery", [&] { fake->battery = 42; }, "42"},
      {"BATTERY", [&] { fake->battery = 150; }, "100"},
      {"DPI", [&] { fake->dpi = 72; }, "96"},
      {"DPI", [&] { fake->dpi = 0; }, "96"},
      {"dpi", [&] { fake->dpi = 144; }, "144"},
      {"DOCUMENTS", [] {}, "/home/u/Docs"},
      {"DOCUMENTS", [&] { fake->documents_dir = ""; }, "NO_DATA"},
      {"TEMP", [] {}, dir.file("tmp/")},
      {"TEMP", [&] { fake->temp_dir = "C:\\Temp\\"; }, "C:/Temp/"},
      {"TEMP", [&] { fake->temp_dir = ""; }, "/tmp/"},
      {"APPDATA", [] {}, dir.path() + "data/Quarnel"},
      {"APPDATA", [&] { fake->data_dir = ""; }, "NO_DATA"},
  };
  for (const Case& c : cases) {
    c.script();
    EXPECT_EQ(info(c.key), c.answer) << "key " << c.key;
  }
  struct stat made {};
  EXPECT_EQ(stat((dir.path() + "data/Quarnel").c_str(), &made), 0);  // created on demand
  EXPECT_TRUE(S_ISDIR(made.st_mode));
  EXPECT_EQ(info("COMPILED"), qrn::build_date_text);
  EXPECT_TRUE(std::regex_match(info("HOSTID"), std::regex("[0-9a-f]{8}")));
}

TEST_F(PlatformInfoTest, TimeInLocalTimeAndUtc) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // central Europe: summer time in May
  tzset();
  fake->calendar_seconds = 1462770180;  // 2016-05-09 05:03:00 UTC
  EXPECT_EQ(info("TIME"), "2016-05-09 07:03:00");
  EXPECT_EQ(info("utctime"), "2016-05-09 05:03:00");
  EXPECT_EQ(str(qrn::calendar_time_text(0, true)), "1970-01-01 00:00:00");
  setenv("TZ", "UTC", 1);
  tzset();
}

TEST_F(PlatformInfoTest, GlExtensionsAskTheLoaderAndLogFailures) {
  EXPECT_EQ(info("GLEXT:glMadeUp"), "0");
  EXPECT_EQ(info("glext:glOther"), "0");
  EXPECT_EQ(qrn::test::read_file(fake->temp_dir + "ErrorLog.txt"),
            "ext: glMadeUp                              [FAILED]"
            "ext: glOther                               [FAILED]");
}

TEST(LanguageTest, LocalesMapThroughTheLanguageTable) {
  struct Case {
    uint16_t langid;
    const char* code;
  } ids[] = {{0x809, "us"}, {0x407, "de"}, {0x408, "gr"}, {0x411, "jp"}, {0x409, "uk"},
             {0x422, "uk"}, {0x413, "nl"}, {0x415, "pl"}, {0x804, "ch"}, {0x1234, "us"}, {0, "us"}};
  for (const Case& c : ids) EXPECT_EQ(str(qrn::language_code(c.langid)), c.code) << std::hex << c.langid;

  struct Locale {
    const char* name;
    uint16_t langid;
  } locales[] = {{"de_DE.UTF-8", 0x407}, {"de_CH.UTF-8", 0x807}, {"en_US.UTF-8", 0x409},
                 {"en_GB", 0x809},       {"en_IN", 0x409},       {"el_GR.UTF-8", 0x408},
                 {"ja_JP.eucJP", 0x411}, {"sr_RS@latin", 0x81A}, {"sr_RS", 0xC1A},
                 {"pt_BR.UTF-8", 0x416}, {"C.UTF-8", 0},         {"POSIX", 0},
                 {"", 0},                {"xx_YY", 0}};
  for (const Locale& l : locales) EXPECT_EQ(qrn::langid_from_locale(l.name), l.langid) << l.name;

  qrn::FakePlatformScope fake;
  fake->language = "el_GR.UTF-8";
  EXPECT_EQ(info("LOCALE"), "gr");
  fake->language = "C";
  EXPECT_EQ(info("locale"), "us");
}

TEST_F(PlatformInfoTest, DeviceIdentifierFromTheMachineOrItsFile) {
  fake->serial = 0x11223344;
  // (0x11223344 ^ 0x6B2E91C4) = 0x7A0CA280, least significant byte first
  EXPECT_EQ(info("ID"), "80A20C7A");

  fake->serial = 0;
  fake->data_dir = dir.path() + "data";
  qrn::create_directory(RtString(fake->data_dir.c_str()));
  std::string first = info("ID");
  EXPECT_TRUE(std::regex_match(first, std::regex("[0-9A-F]{32}"))) << first;
  std::string file = dir.path() + "data/Quarnel/quarnel.deviceid";
  EXPECT_EQ(qrn::test::read_file(file), first);
  EXPECT_EQ(info("id"), first);
  qrn::test::write_file(file, " \t\r\nKEPT-ID\r\n\f");
  EXPECT_EQ(info("ID"), "KEPT-ID");
  qrn::test::write_file(file, " \r\n");  // only white space: a new identifier
  EXPECT_NE(info("ID"), "");
  EXPECT_EQ(qrn::test::read_file(file).size(), 32u);

  fake->data_dir = dir.path() + "not/there";  // nowhere to keep one
  EXPECT_EQ(info("ID"), "FA17ED");
  fake->data_dir = "";
  EXPECT_EQ(info("ID"), "FA17ED");
}

TEST(LinuxSourcesTest, BatteriesMachineIdAndUserFolders) {
  qrn::test::TempDir sys;
  auto supply = [&](const char* name, const char* type, const char* capacity, const char* scope) {
    std::string folder = sys.file(name);
    mkdir(folder.c_str(), 0755);
    qrn::test::write_file(folder + "/type", std::string(type) + "\n");
    if (capacity) qrn::test::write_file(folder + "/capacity", std::string(capacity) + "\n");
    if (scope) qrn::test::write_file(folder + "/scope", std::string(scope) + "\n");
  };
  EXPECT_EQ(qrn::battery_percent_in(sys.file("absent")), 255);
  supply("AC", "Mains", nullptr, nullptr);
  EXPECT_EQ(qrn::battery_percent_in(sys.path()), 255);
  supply("BAT0", "Battery", "80", nullptr);
  supply("hidpp_battery_0", "Battery", "5", "Device");  // a mouse
  EXPECT_EQ(qrn::battery_percent_in(sys.path()), 80);
  supply("BAT1", "Battery", "40", "System");
  EXPECT_EQ(qrn::battery_percent_in(sys.path()), 60);
  supply("BAT2", "Battery", "garbage", nullptr);
  EXPECT_EQ(qrn::battery_percent_in(sys.path()), 60);

  EXPECT_EQ(qrn::fold_machine_id("00000001000000020000000400000008"), 15u);
  EXPECT_EQ(qrn::fold_machine_id("3d1219c7c4c5404aaa1f6d2a48adfda4"),
            0x3d1219c7u ^ 0xc4c5404au ^ 0xaa1f6d2au ^ 0x48adfda4u);
  EXPECT_EQ(qrn::fold_machine_id("short"), 0u);
  EXPECT_EQ(qrn::fold_machine_id("zz1219c7c4c5404aaa1f6d2a48adfda4"), 0u);

  const std::string dirs = "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(qrn::documents_dir_from_user_dirs(dirs, "/home/u"), "/home/u/Dokumente");
  EXPECT_EQ(qrn::documents_dir_from_user_dirs("XDG_DOCUMENTS_DIR=\"/srv/docs\"\n", "/home/u"), "/srv/docs");
  EXPECT_EQ(qrn::documents_dir_from_user_dirs("XDG_DOCUMENTS_DIR=\"relative\"\n", "/home/u"), "");
  EXPECT_EQ(qrn::documents_dir_from_user_dirs("", "/home/u"), "");
}

TEST(RealPlatformInfoTest, AnswersHaveTheirForms) {
  qrn::reset_runtime_state();
  EXPECT_EQ(info(""), "LINUX");
  EXPECT_TRUE(std::regex_match(info("TIME"), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
  EXPECT_TRUE(std::regex_match(info("LOCALE"), std::regex("[a-z][a-z]")));
  int battery = std::atoi(info("BATTERY").c_str());
  EXPECT_TRUE(battery >= 0 && battery <= 100);
  EXPECT_GE(std::atoi(info("DPI").c_str()), 96);
  std::string temp = info("TEMP");
  EXPECT_EQ(temp.back(), '/');
  std::string id = info("ID");
  EXPECT_EQ(info("ID"), id);  // the same text twice in a row
  EXPECT_FALSE(id.empty());
}

TEST(ClocksTest, FirstReadIsZeroAndTimeGrows) {
  qrn::reset_runtime_state();
  qrn::FakePlatformScope fake;
  fake->now_ms = 0.0;  // a counter may read 0.0: it still fixes the base
  EXPECT_EQ(qrn::timer_ms(), 0.0);
  fake->now_ms = 25.5;
  EXPECT_EQ(qrn::timer_ms(), 25.5);
  qrn::g_runtime.timer_base_ms = 20.0;
  EXPECT_EQ(qrn::program_timer_ms(), 5.5);
  qrn::sleep_ms(100);
  EXPECT_EQ(fake->sleeps, std::vector<int32_t>{100});
  EXPECT_EQ(qrn::timer_ms(), 125.5);

  fake->now_ms = 1000.0;
  qrn::start_clocks();  // start-up: the counter is queried and read first
  EXPECT_EQ(qrn::g_runtime.counter_available, 1);
  EXPECT_EQ(qrn::timer_ms(), 0.0);
}
