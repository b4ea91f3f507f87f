// A scripted window for tests on the recorded GL: it "creates" a window of the requested size
// (windowRequest) by the shared finishDemoWindow, into the recorder, and its pumpMessages
// hands out queued events one per call and counts the presents.
#pragma once

#include <functional>

#include "shell/window.h"

struct FakeWindow {
    bool refuse = false;            // createDemoWindow fails like a refused display mode
    int created = 0;
    int destroyed = 0;
    int presents = 0;               // pumpMessages calls while a window stands
    std::function<void()> onPump;   // runs at the start of every pumpMessages
};

extern FakeWindow fakeWindow;

void fakeWindowReset();
void fakeWindowQueue(DemoEvent event);
