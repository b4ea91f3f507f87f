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
    demoRunning = 0;
    windowFailure = nullptr;
    windowRequest = WINDOW_REQUEST_START;
    windowPicture = SCREEN_PICTURE;
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
    finishDemoWindow(windowRequest.width, windowRequest.height);
}

int pumpMessages()
{
    if (fakeWindow.onPump) {
        fakeWindow.onPump();
    }
    if (!queued.empty()) {
        DemoEvent e = queued.front();
        queued.pop_front();
        demoWindowProc(e);
    }
    if (standing) {
        ++fakeWindow.presents;
    }
    return demoRunning;
}

void destroyDemoWindow()
{
    ++fakeWindow.destroyed;
    if (standing) {
        demoWindowProc(EVENT_DESTROY);
    }
    standing = false;
}
