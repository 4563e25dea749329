// Puts the core's process-wide values back to how a fresh process has them.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/scripted_message_boxes.h"

namespace test {

void ResetCoreState();

// A test that starts from a fresh core and answers message boxes from a script.
class CoreTest : public ::testing::Test {
protected:
    CoreTest() { ResetCoreState(); }
    ~CoreTest() override { ResetCoreState(); }
    ScriptedMessageBoxes user;
};

}  // namespace test
