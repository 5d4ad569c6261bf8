// Loaded by the system into a process that the robot watches: a message hook
// that signals the named event "robot-drain-<n>" when the thread fetches the
// robot's marker message with wParam n. Messages of a queue are fetched in
// the order they were posted, so the event says that everything posted
// before the marker has been fetched and, but for a modal loop that the last
// of them opened, handled.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) LRESULT CALLBACK RobotGetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT marker = RegisterWindowMessageA("robot-drain-marker");
    const MSG *msg = reinterpret_cast<const MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == marker) {
        char name[64];
        snprintf(name, sizeof name, "robot-drain-%llu", static_cast<unsigned long long>(msg->wParam));
        HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
