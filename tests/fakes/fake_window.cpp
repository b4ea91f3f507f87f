// The scripted window: events from a queue, presents counted, no drawable.
#include "tests/fakes/fake_window.h"

FakeWindow fakeWindow;

void fakeWindowReset()
{
    fakeWindow = FakeWindow{};
    windowCore = WINDOW_CORE_START_STATE;
}

void fakeWindowQueue(DemoEvent event) { fakeWindow.queued.push_back(event); }

void createDemoWindow()
{
    ++fakeWindow.created;
    if (fakeWindow.refuse) {
        failDemoWindow("display mode 640x480 refused (fake)");
        return;
    }
    fakeWindow.standing = true;
    finishDemoWindow(windowCore.request.width, windowCore.request.height);
}

bool windowPollEvent(DemoEvent* event)
{
    if (fakeWindow.onPump) {
        fakeWindow.onPump();
    }
    if (fakeWindow.queued.empty()) {
        return false;
    }
    *event = fakeWindow.queued.front();
    fakeWindow.queued.pop_front();
    return true;
}

void windowPresent()
{
    if (fakeWindow.standing) {
        ++fakeWindow.presents;
    }
}

void destroyDemoWindow()
{
    ++fakeWindow.destroyed;
    if (fakeWindow.standing) {
        demoWindowProc(EVENT_DESTROY);
    }
    fakeWindow.standing = false;
}
