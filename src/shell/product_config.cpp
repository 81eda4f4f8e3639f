// SPDX-License-Identifier: MIT
#include "shell/product_config.h"

#include "product_version.h"

namespace coffer {

std::string ProductConfig::versionText() const {
    return std::to_string(versionMajor) + "." + std::to_string(versionMinor);
}

ProductConfig LoadProductConfig() {
    return {.programName = COFFER_PRODUCT_NAME,
            .companyName = COFFER_COMPANY_NAME,
            .website = COFFER_WEBSITE,
            .versionMajor = COFFER_VERSION_MAJOR,
            .versionMinor = COFFER_VERSION_MINOR,
            .versionPatch = COFFER_VERSION_PATCH};
}

} // namespace coffer
