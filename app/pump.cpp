#include "app/pump.h"

#include "ui/log.h"
#include "ui/window.h"

bool PumpEvents() {
    ShowLogEnd();
    return DrainWindowEvents();
}
