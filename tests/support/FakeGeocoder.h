#pragma once
// A geocoder that keeps its requests for the test to answer.

#include "platform/Geocoder.h"

#include <vector>

namespace testsupport {

class FakeGeocoder final : public platform::Geocoder {
public:
    struct Request {
        platform::Location location;
        Completion completion;
    };
    std::vector<Request> requests;

    void reverseGeocodeLocation(const platform::Location& location, Completion completion) override
    {
        requests.push_back({location, std::move(completion)});
    }
};

} // namespace testsupport
