#include "platform/posix/office_module_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include "platform/posix/office_module.h"
#include "platform/process.h"
#include "support/log.h"

namespace {

void LogLine(const char* line) { LogPrintf("%s", line); }

const OfficeModuleServices kServices{&LogLine};

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Sanitizer builds: the UNO runtime the module starts keeps caches (type descriptions,
// bootstrap data) to the end of the process; they are not the program's leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libuno_sal.so\nleak:libuno_cppu.so\nleak:libuno_cppuhelpergcc3.so\n";
}
#endif

std::string OfficeModulePath() {
    std::string executable = ExecutablePath();
    std::string::size_type slash = executable.rfind('/');
    if (slash == std::string::npos) return kOfficeModuleFile;
    const std::string folder = executable.substr(0, slash);
    const std::string beside = folder + "/" + kOfficeModuleFile;
    // Installed (…/bin/CorvaneServer), the module lies in …/lib/corvaneserver instead.
    const std::string::size_type last = folder.rfind('/');
    if (access(beside.c_str(), F_OK) != 0 && last != std::string::npos &&
        folder.compare(last, std::string::npos, "/bin") == 0) {
        std::string installed =
            folder.substr(0, last) + "/lib/corvaneserver/" + kOfficeModuleFile;
        if (access(installed.c_str(), F_OK) == 0) return installed;
    }
    return beside;
}

OfficeModule* LoadOfficeModule(const std::string& path) {
    if (access(path.c_str(), F_OK) != 0) return nullptr;
    // Local: the module's UNO libraries stay out of the program's symbol space.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        LogPrintf("LibreOffice module not loaded (%s): presentation commands use keys.\n",
                  dlerror());
        return nullptr;
    }
    auto entry = reinterpret_cast<OfficeModuleEntryPoint>(dlsym(handle, kOfficeModuleEntry));
    OfficeModule* module = entry != nullptr ? entry(kOfficeModuleVersion, &kServices) : nullptr;
    if (module == nullptr) {
        LogPrintf(
            "LibreOffice module %s belongs to another build: presentation commands use "
            "keys.\n",
            path.c_str());
    }
    // Never unloaded: the UNO runtime it started keeps threads and objects of its own.
    return module;
}
