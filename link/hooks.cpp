#include "link/hooks.h"

#include "link/link.h"

void HookLog(Link& link, TextView line) {
    if (link.Hooks.Log) link.Hooks.Log(line);
}

void HookProgress(Link& link, TextView text, long done, long total) {
    if (link.Hooks.Progress) link.Hooks.Progress(text, done, total);
}

bool HookPump(Link& link) {
    return link.Hooks.Pump ? link.Hooks.Pump() : false;
}

void HookWait(Link& link, int ms) {
    if (link.Hooks.Wait)
        link.Hooks.Wait(ms);
    else
        link.Time.DelayMs(ms);
}

bool HookAwaitInput(Link& link, int ms) {
    return link.Hooks.AwaitInput ? link.Hooks.AwaitInput(ms) : link.Port.WaitForInput(ms);
}

bool HookStopped(Link& link) {
    return link.Hooks.Stopped ? link.Hooks.Stopped() : false;
}
