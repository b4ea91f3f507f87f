// A scripted window for tests on the recorded GL: it "creates" a window of the requested size
// (windowCore.request) by the shared finishDemoWindow, into the recorder; windowPollEvent hands
// out queued events one per call and windowPresent counts the presents.
#pragma once

#include <deque>
#include <functional>

#include "shell/window.h"

struct FakeWindow {
    bool refuse = false;            // createDemoWindow fails like a refused display mode
    int created = 0;
    int destroyed = 0;
    int presents = 0;               // windowPresent calls while a window stands
    std::function<void()> onPump;   // runs at the start of every loop test (windowPollEvent)
    std::deque<DemoEvent> queued;   // handed out one per windowPollEvent
    bool standing = false;          // made and not yet destroyed
};

extern FakeWindow fakeWindow;

// No window, nothing queued, and the window core back to its start.
void fakeWindowReset();
void fakeWindowQueue(DemoEvent event);
