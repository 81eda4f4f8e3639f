// SPDX-License-Identifier: MIT
#pragma once
// The product's names and the addresses of the two web sites it works with.

#include <string>

namespace coffer {

struct ProductConfig {
    std::string programName; // "Coffer"
    std::string companyName;
    std::string website; // host name without scheme
    int versionMajor = 0;
    int versionMinor = 0;
    int versionPatch = 0;

    std::string versionText() const; // "major.minor"
};

// The values the build took from the project's version data.
ProductConfig LoadProductConfig();

inline constexpr const char* kArmoryBase = "http://armory.example";
inline constexpr const char* kItemDatabaseBase = "http://www.lorehold.example";

} // namespace coffer
