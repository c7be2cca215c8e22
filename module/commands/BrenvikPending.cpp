// Commands registered now whose work comes later: each says so and does nothing else. A command
// that gains its work moves out of this file.
#include "commands/Brenvik.h"

#include "core/HostCalls.h"

namespace {
void notAvailable() {
    acutPrintf(L"Command not available yet.\n");
}
} // namespace

void grossAreaBlockCreate() {
    notAvailable();
}

void blockDelete() {
    notAvailable();
}

void legendBlockDefine() {
    notAvailable();
}

void pieBlockDefine() {
    notAvailable();
}

void graphicReport() {
    notAvailable();
}

void applyGraphicReport() {
    notAvailable();
}

void kelmoFindReplaceStub() {
    notAvailable();
}

void legendMarkerBlockCreate() {
    notAvailable();
}

void pieMarkerBlockCreate() {
    notAvailable();
}

void kelmoAuxilarator() {
    notAvailable();
}

void blankThirdAttribute() {
    notAvailable();
}

void hatchAllSpaces() {
    notAvailable();
}

void hatchSpace() {
    notAvailable();
}

void kelmoTorvexConversion() {
    notAvailable();
}

void checkAttributeLayers() {
    notAvailable();
}
