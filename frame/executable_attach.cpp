// In an executable that links the product objects directly (unit tests, tools) nothing calls the
// DLL entry point, so the module is attached when the program starts and detached when it ends.
// The DLL build leaves this file out and uses dll_main.cpp instead.
#include "frame/module.h"

namespace {

struct ExecutableAttach {
    ExecutableAttach() noexcept { CKestruneModule::Instance().ProcessAttach(nullptr); }
    ~ExecutableAttach() { CKestruneModule::Instance().ProcessDetach(); }
};

const ExecutableAttach g_attach;

} // namespace
