#include "update/update_config.h"

#include "update/updater.h"

UpdateSettings BuiltInUpdateSettings() {
    UpdateSettings settings;
    settings.serviceUrl = kUpdateServiceUrl;
    return settings;
}

HttpClientOptions BuiltInHttpClientOptions() {
    HttpClientOptions options;
    options.caFile = kUpdateCaFile;
    return options;
}
