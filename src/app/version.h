// The program's own version, shown in the about box.
#pragma once

namespace app {
inline constexpr int kVersionMajor = 0;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionRevision = 0;
}  // namespace app
