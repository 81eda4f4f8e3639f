#include "shell/product_config.h"

#include "product_version.h"

namespace coffer {

std::string ProductConfig::versionText() const {
    return std::to_string(versionMajor) + "." + std::to_string(versionMinor);
}

ProductConfig LoadProductConfig() {
    return {COFFER_PRODUCT_NAME,  COFFER_COMPANY_NAME,  COFFER_WEBSITE,
            COFFER_VERSION_MAJOR, COFFER_VERSION_MINOR, COFFER_VERSION_PATCH};
}

} // namespace coffer
