#include "NeighbourServices.h"

#include "basUserInterface.h"

namespace {
std::function<win::Window*()>& Accessor() {
    static std::function<win::Window*()> accessor;
    return accessor;
}
OptionsWindowServices* g_optionsServices = nullptr;
}  // namespace

void SetOptionsWindowAccessor(std::function<win::Window*()> accessor) { Accessor() = std::move(accessor); }

win::Window* OptionsWindowDefault() { return Accessor() ? Accessor()() : nullptr; }

void OptionsWindowHold::Take() {
    if (held_) return;
    if (win::Window* options = OptionsWindowDefault(); options && options->Loaded()) {
        SetControlsEnabled(*options, false);
        held_ = true;
    }
}

void OptionsWindowHold::GiveBack() {
    if (!held_) return;
    held_ = false;
    if (win::Window* options = OptionsWindowDefault(); options && options->Loaded())
        SetControlsEnabled(*options, true);
}

win::Window* HostFrameOf(const win::Window& form) {
    auto* extender = form.Find<win::MdiExtender>(L"mdiExt");
    return extender ? extender->ParentForm() : nullptr;
}

win::StatusBar* HostStatusBar() {
    win::Window* options = OptionsWindowDefault();
    if (!options) return nullptr;
    win::Window* frame = HostFrameOf(*options);
    return frame ? frame->Find<win::StatusBar>(L"sta1") : nullptr;
}

OptionsWindowServices* SetOptionsWindowServices(OptionsWindowServices* services) {
    OptionsWindowServices* previous = g_optionsServices;
    g_optionsServices = services;
    return previous;
}

OptionsWindowServices* OptionsServices() { return g_optionsServices; }
