#pragma once

namespace lumora::platform {

// Clearing of the browsers' stored data. Both calls start the work and return at once;
// a clear that fails is ignored, and two clears in a row are harmless.
class BrowsingData
{
public:
    virtual ~BrowsingData() = default;
    // The HTTP cache only (done at every start); once a run, later calls do nothing.
    virtual void clearCache() = 0;
    // Everything: cache, cookies, history and visited links, form data, site storage.
    virtual void clearEverything() = 0;
};

} // namespace lumora::platform
