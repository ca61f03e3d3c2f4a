// A main window that plays through the real SDL player, recording where each loop was
// handed over; with SDL's disk driver the sound itself lands in a file.
#pragma once

#include <memory>

#include "frmmain_fixture.h"
#include "recording_output.h"

class FrmMainRecorded : public FrmMain {
 protected:
  void SetUp() override {
    player = std::make_unique<TSdlLoopPlayer>(1024);
    output = std::make_unique<TRecordingOutput>(*player);
    TFrmMainEnv env{[] { return false; }};
    env.Sound = output.get();
    Open(std::move(env));
  }
  void Finish() {
    frm.reset();
    player.reset();  // closes the device, and with it the recording
  }

  std::unique_ptr<TSdlLoopPlayer> player;
  std::unique_ptr<TRecordingOutput> output;
};
