// AfxBeginThread: a detached start that reports refusal as false.
#include <gtest/gtest.h>

#include "platform/threads/sync.h"
#include "platform/threads/thread.h"

namespace {
UINT SetFlag(void* param) {
    static_cast<FinishedFlag*>(param)->Set();
    return 0;
}

TEST(ThreadStart, RunsTheProcedureWithItsParameter) {
    FinishedFlag ran;
    ASSERT_TRUE(AfxBeginThread(&SetFlag, &ran));
    EXPECT_TRUE(ran.Wait(10000));
}

TEST(ThreadStart, GateRefusalReturnsFalseAndRunsNothing) {
    int asked = 0;
    SetThreadStartGate([&] {
        ++asked;
        return false;
    });
    FinishedFlag ran;
    EXPECT_FALSE(AfxBeginThread(&SetFlag, &ran));
    SetThreadStartGate({});
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(ran.Wait(50));
    EXPECT_TRUE(AfxBeginThread(&SetFlag, &ran));  // the gate is gone
    EXPECT_TRUE(ran.Wait(10000));
}
}  // namespace
