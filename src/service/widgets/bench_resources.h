#pragma once

#include <QString>

namespace vardex::service {

// The bench pages' own pictures (":/bench/<name>"), registered on first use: they
// live in a static library.
QString benchPicture(const char *name);

} // namespace vardex::service
