#pragma once

// The numbered generations of the browser profile under its storage root (`gen-N/`) and the
// file that records which one is in use. A full clear moves to a new generation, since Qt has
// no call that drops a profile's site storage.

#include <QString>
#include <optional>

namespace lumora::platform::webengine {

// The generation on record; nothing when the file is missing or holds no generation.
std::optional<int> readGeneration(const QString& root);
bool writeGeneration(const QString& root, int generation);
QString generationPath(const QString& root, int generation);
// Deletes every generation directory but `keep`; failures are left for the next start.
void removeOtherGenerations(const QString& root, int keep);

} // namespace lumora::platform::webengine
