#pragma once

namespace cfg {

// The programs' version, given by the build from the project's own.
inline constexpr const char* kVersion = CFG_VERSION;

}  // namespace cfg
