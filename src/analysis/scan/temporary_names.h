// SPDX-License-Identifier: MIT
#pragma once
// The named temporary files that exist while work is under way, so that a program ended by a signal
// can remove them first. Files are created and named, and their names removed, under the lock: whoever
// holds it sees every temporary file there is.

#include <mutex>
#include <string>

namespace coffer {

std::unique_lock<std::mutex> LockTemporaryNames();
// Both under the lock.
void AddTemporaryName(const std::string& name);
void ForgetTemporaryName(const std::string& name);
// Removes every file still named; the caller holds the lock for good, since the program ends next.
void RemoveTemporaryFiles();

} // namespace coffer
