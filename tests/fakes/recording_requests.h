// A presentation request sink that records what was posted.
#pragma once

#include <mutex>
#include <vector>

#include "presentation/presentation_request.h"

class RecordingRequests : public PresentationRequestSink {
public:
    int Post(const PresentationRequest& request) override {
        std::lock_guard<std::mutex> guard(lock_);
        posted_.push_back(request);
        return 0;
    }
    std::vector<PresentationRequest> Posted() {
        std::lock_guard<std::mutex> guard(lock_);
        return posted_;
    }

private:
    std::mutex lock_;
    std::vector<PresentationRequest> posted_;
};
