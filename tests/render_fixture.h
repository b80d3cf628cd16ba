// The renderer's tests start from a fresh state and the coordinate tables, with
// the processor's rounding as the programs set it.
#pragma once

#include <gtest/gtest.h>

#include "demo/precision.h"
#include "demo/render.h"

class RenderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        precision_setup();
        render_state = RenderState{};
        render_setup();
    }
};
