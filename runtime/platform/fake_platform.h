// The whole platform scripted: the fake process, files, video, input and joystick services as one
// object, wired together (the video's delayed messages follow the process clock, acquiring
// input follows the video's focus). FakePlatformScope installs all five for its lifetime; a
// test that wants some services real installs single fakes with ServiceScope instead.
#pragma once

#include "platform/fake_files.h"
#include "platform/fake_input.h"
#include "platform/fake_joysticks.h"
#include "platform/fake_process.h"
#include "platform/fake_video.h"

namespace qrn {

class FakePlatform : public FakeProcess, public FakeFiles, public FakeVideo, public FakeInput,
                     public FakeJoysticks {
 public:
  FakePlatform() {
    clock_ms = &now_ms;
    focus = &focus_window;
    on_dialog = [this] { cwd = "/elsewhere"; };
  }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;
};

class FakePlatformScope {
 public:
  FakePlatformScope() = default;
  FakePlatformScope(const FakePlatformScope&) = delete;
  FakePlatformScope& operator=(const FakePlatformScope&) = delete;
  FakePlatform& operator*() { return fake_; }
  FakePlatform* operator->() { return &fake_; }

 private:
  FakePlatform fake_;
  ServiceScope<ProcessService> process_{&fake_};
  ServiceScope<FileService> files_{&fake_};
  ServiceScope<VideoService> video_{&fake_};
  ServiceScope<InputService> input_{&fake_};
  ServiceScope<JoystickService> joysticks_{&fake_};
};

}  // namespace qrn
