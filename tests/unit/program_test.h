// A test of the program's own layer: it starts from a fresh program and
// answers message boxes from a script.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/scripted_message_boxes.h"
#include "ui/program/program_state.h"

namespace test {

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() { ResetProgramState(); }
    ~ProgramTest() override { ResetProgramState(); }
    ScriptedMessageBoxes user;
};

}  // namespace test
