#include <gtest/gtest.h>

#include <thread>

#include "common/StartupGate.h"

using namespace modroute;

// A wait that timed out gives the answer there is, and no later call waits
// again for work that is stuck; once the work finishes, answers are final again.
TEST(StartupGate, AWaitThatTimedOutIsNotRepeatedUntilTheWorkFinishes) {
    StartupGate gate;
    gate.Expect(StartupWork::MapTable);
    EXPECT_TRUE(gate.Await(StartupWork::Packs, 0));  // other work: nothing to wait for
    EXPECT_FALSE(gate.Await(StartupWork::MapTable, 1));
    std::thread late([&gate] { Sleep(200), gate.Finish(StartupWork::MapTable); });
    EXPECT_FALSE(gate.Await(StartupWork::MapTable, 30000));  // at once, not when the work ends
    late.join();
    EXPECT_TRUE(gate.Await(StartupWork::MapTable | StartupWork::Packs, 0));
}
