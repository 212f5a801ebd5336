// The dialog program's arguments for the open and save dialogs.
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace qrn {
namespace {

TEST(FileDialogArguments, FiltersBecomeNamedPatternListsAndSaveAsksBeforeOverwriting) {
  std::vector<std::pair<std::string, std::string>> filters = {
      {"Pictures", "*.png; *.jpg"}, {"All files", "*.*"}, {"Odd|name", "*.x"}, {"Empty", ";"}};
  std::vector<std::string> open = file_dialog_arguments(true, filters, "/home/me");
  EXPECT_EQ(open, (std::vector<std::string>{"zenity", "--file-selection", "--title=Open", "--filename=/home/me/",
                                            "--file-filter=Pictures | *.png *.jpg", "--file-filter=All files | *",
                                            "--file-filter=Odd/name | *.x"}));
  std::vector<std::string> save = file_dialog_arguments(false, {}, "/tmp/");
  EXPECT_EQ(save, (std::vector<std::string>{"zenity", "--file-selection", "--title=Save As", "--save",
                                            "--confirm-overwrite", "--filename=/tmp/"}));
}

TEST(FileDialogArguments, UnattendedRunsShowNoDialog) {
  setenv("QUARNEL_UNATTENDED", "1", 1);
  std::string chosen = "x";
  EXPECT_FALSE(real_service<VideoService>().file_dialog(true, {}, "/tmp", chosen));
  EXPECT_EQ(chosen, "");
  EXPECT_TRUE(unattended_run());
  setenv("QUARNEL_UNATTENDED", "0", 1);
  EXPECT_FALSE(unattended_run());
}

}  // namespace
}  // namespace qrn
