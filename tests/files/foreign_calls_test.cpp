// Foreign calls: one load per module whatever the case of its name, missing modules and
// functions reported on the debugger channel and in the debug log, and modules that stay
// usable through the process's exit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/foreign_calls_internal.h"
#include "platform/fake_process.h"
#include "platform/process.h"
#include "quarnel.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace {

using Unary = double (*)(double);
using Answer = int (*)();

class ForeignCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qrn::reset_runtime_state();
    qrn::release_foreign_registry();
    fake.temp_dir = dir.path();
    fake.debugger = true;
  }
  void TearDown() override { qrn::release_foreign_registry(); }
  std::string log() const { return qrn::test::read_file(dir.file("ErrorLog.txt")); }

  qrn::test::TempDir dir;
  qrn::FakeProcess fake;
  qrn::ServiceScope<qrn::ProcessService> scope{&fake};
};

// The probe library's path with its file name upper-cased ("LIBQRNPROBE.SO").
std::string shouted_probe_path() {
  std::string path = QRN_PROBE_LIBRARY;
  for (size_t i = path.rfind('/') + 1; i < path.size(); ++i) path[i] = static_cast<char>(std::toupper(path[i]));
  return path;
}

TEST_F(ForeignCallsTest, ModuleIsLoadedOnceWhateverTheCaseOfItsName) {
  Unary cosine = nullptr, sine = nullptr;
  Answer answer = nullptr;
  int (*twice)(int) = nullptr;
  qrn::declare_foreign("LIBM.so.6", "cos", &cosine);
  qrn::declare_foreign("libm.so.6", "sin", &sine);
  qrn::declare_foreign(shouted_probe_path().c_str(), "qrn_probe_answer", &answer);
  qrn::declare_foreign(QRN_PROBE_LIBRARY, "qrn_probe_twice", &twice);
  qrn::resolve_declared();

  ASSERT_TRUE(cosine && sine && answer && twice);
  EXPECT_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(sine(0.0), 0.0);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(twice(21), 42);
  ASSERT_EQ(fake.module_loads.size(), 2u);  // one per module, the first spelling
  EXPECT_EQ(fake.module_loads[0], "LIBM.so.6");
  EXPECT_EQ(qrn::foreign_registry().modules.size(), 2u);
  EXPECT_EQ(log(), "Delay load DLLs\n");
  EXPECT_EQ(fake.debugger_text, "");
}

TEST_F(ForeignCallsTest, MissingModulesAndFunctionsLeaveNullSlotsAndOneReportEach) {
  qrn::resolve_declared();  // nothing declared: not even the heading
  EXPECT_EQ(log(), "");

  Unary missing = std::cos, absent = std::cos, cosine = nullptr;
  char name[32];
  std::strcpy(name, "no_such_function");
  qrn::declare_foreign("libm.so.6", name, &missing);
  std::strcpy(name, "overwritten");  // the declaration kept its own copy
  qrn::declare_foreign("libqrn-missing.so.9", "cos", &absent);
  qrn::declare_foreign("libm.so.6", "cos", &cosine);
  EXPECT_EQ(missing, nullptr);  // null from the declaration on
  qrn::resolve_declared();

  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(absent, nullptr);
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(log(),
            "Delay load DLLs\n"
            "DECLARE entry not found: no_such_function\n\n"
            "DECLARE module not found: libqrn-missing.so.9\n\n");
  EXPECT_EQ(fake.debugger_text,
            "TXDECLARE entry not found: no_such_function\n"
            "TXDECLARE module not found: libqrn-missing.so.9\n");
  EXPECT_EQ(qrn::g_runtime.error_code, 0);

  // Resolving directly: the result, and a failure clears a slot that held an address.
  Unary slot = std::cos;
  EXPECT_EQ(qrn::resolve_foreign("libm.so.6", "no_such_function", &slot), 0);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(qrn::resolve_foreign("libm.so.6", "sqrt", &slot), 1);
  EXPECT_EQ(slot(9.0), 3.0);
  EXPECT_EQ(qrn::resolve_foreign_slot(nullptr, nullptr, nullptr), 0);
}

// The registry's exit step gives the modules back, but their code stays mapped for whatever
// runs after it; the library itself is finalised last.
TEST_F(ForeignCallsTest, FunctionsStayCallableAfterTheExitStepAndLibrariesAreFinalisedAtExit) {
  std::string mark = dir.file("mark");
  qrn::test::ChildResult child = qrn::test::run_in_child([&] {
    setenv("QRN_PROBE_MARK", mark.c_str(), 1);
    Answer answer = nullptr;
    qrn::declare_foreign(QRN_PROBE_LIBRARY, "qrn_probe_answer", &answer);
    qrn::resolve_declared();
    qrn::release_foreign_registry();
    qrn::test::write_file(mark, "called " + std::to_string(answer ? answer() : 0) + "\n");
    std::exit(0);
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exit_code, 0);
  EXPECT_EQ(qrn::test::read_file(mark), "called 42\nfini\n");
}

}  // namespace
