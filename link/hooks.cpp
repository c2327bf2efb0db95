#include "link/hooks.h"

#include "link/clock.h"
#include "link/serial.h"

void HookLog(const LinkHooks& hooks, TextView line) {
    if (hooks.Log) hooks.Log(line);
}

void HookProgress(const LinkHooks& hooks, TextView text) {
    if (hooks.Progress) hooks.Progress(text);
}

bool HookPump(const LinkHooks& hooks) {
    return hooks.Pump ? hooks.Pump() : false;
}

void HookWait(const LinkHooks& hooks, int ms) {
    if (hooks.Wait)
        hooks.Wait(ms);
    else
        DelayMs(ms);
}

bool HookAwaitInput(const LinkHooks& hooks, int ms) {
    return hooks.AwaitInput ? hooks.AwaitInput(ms) : WaitForInput(ms);
}

bool HookStopped(const LinkHooks& hooks) {
    return hooks.Stopped ? hooks.Stopped() : false;
}
