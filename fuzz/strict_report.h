// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

// Traps unless the report holds only its own markup and escaped texts.
void RequireStrictReport(std::string_view report);
