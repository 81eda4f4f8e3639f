// SPDX-License-Identifier: MIT
#pragma once
// The writer of output files is the shell's, which the cookie file's export uses too.

#include "shell/output_files.h"
