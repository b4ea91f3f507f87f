// The scripted window: events from a queue, presents counted, no drawable.
#include "tests/fakes/fake_window.h"

#include <deque>

FakeWindow fakeWindow;
static std::deque<DemoEvent> queued;
static bool standing = false;

void fakeWindowReset()
{
    fakeWindow = FakeWindow{};
    queued.clear();
    standing = false;
    windowCore = WINDOW_CORE_START_STATE;
}

void fakeWindowQueue(DemoEvent event) { queued.push_back(event); }

void createDemoWindow()
{
    ++fakeWindow.created;
    if (fakeWindow.refuse) {
        failDemoWindow("display mode 640x480 refused (fake)");
        return;
    }
    standing = true;
    finishDemoWindow(windowCore.request.width, windowCore.request.height);
}

bool windowPollEvent(DemoEvent* event)
{
    if (fakeWindow.onPump) {
        fakeWindow.onPump();
    }
    if (queued.empty()) {
        return false;
    }
    *event = queued.front();
    queued.pop_front();
    return true;
}

void windowPresent()
{
    if (standing) {
        ++fakeWindow.presents;
    }
}

void destroyDemoWindow()
{
    ++fakeWindow.destroyed;
    if (standing) {
        demoWindowProc(EVENT_DESTROY);
    }
    standing = false;
}
