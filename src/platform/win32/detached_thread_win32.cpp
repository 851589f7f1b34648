#include <windows.h>

#include <process.h>

#include <cstdint>
#include <memory>

#include "platform/detached_thread.h"

namespace {

unsigned __stdcall RunBody(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    // _beginthreadex, not CreateThread: the C runtime sets up and frees the thread's data.
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, RunBody, owned.get(), 0, nullptr);
    if (handle == 0) return false;
    owned.release();  // the thread owns it now
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}
