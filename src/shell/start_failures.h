// The count of failed starts of the presentation program, kept in the settings under
// "office_init_error_count" as "<count>-0x<code of the last failure>" for the update check.
#pragma once

#include <string>

#include "presentation/msi_ppt.h"

class SettingsStartFailureCounter : public StartFailureCounter {
public:
    void Count(std::int32_t hr) override;
};

// The stored count ("count-0xcode"), or empty. Any thread.
std::string ReadOfficeInitErrors();
