// SPDX-License-Identifier: MIT
#pragma once
// The files one run writes, as one generation: a failed run leaves every earlier file as it was.
// Regular files are written to temporary files beside them (unnamed where the filesystem allows, so
// that not even a killed process leaves one behind) and renamed over them only once every output is
// written. Devices, FIFOs and terminals cannot be replaced: they are written directly, after the
// regular files and before the renames. A name that is a symbolic link replaces the file the link
// leads to and keeps the link. A file gets the permissions of the file it replaces, or the umask's of
// 0666 when new, unless it is given its own from its creation on (a secret is never readable by others,
// not even for a moment).

#include "analysis/scan/file_identity.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace coffer {

// Where a text goes, piece by piece: false when a piece could not be taken.
using TextSink = std::function<bool(std::string_view)>;
// Writes a file's text into a sink: false when the sink refused a piece.
using TextWriter = std::function<bool(const TextSink&)>;

class OutputFiles {
  public:
    OutputFiles() = default;
    ~OutputFiles(); // the temporary files of a generation not committed are removed
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Whether `path` can be written, judged by stat and access alone (a FIFO opened to check it would
    // show its reader an end at once). An error message for the user, empty when it can.
    static std::string check(const std::filesystem::path& path);
    // A regular file is written to its temporary file now (of mode `mode` when given); any other target
    // keeps `content` until commit(). An error message, empty on success.
    std::string add(const std::filesystem::path& path, std::string content, std::optional<mode_t> mode = {});
    // The same from a writer: a regular file takes the text piece by piece, so that a large one is
    // never held whole.
    std::string add(const std::filesystem::path& path, const TextWriter& write);
    // Writes the targets that are no regular files, then renames every temporary file over its file.
    std::string commit();

  private:
    struct Output {
        std::filesystem::path path;   // as given, for the messages
        std::filesystem::path target; // the file replaced, past any links
        int fd = -1;                  // the temporary file, until it is renamed
        std::string temporaryName;    // empty while the temporary file has no name
        std::string content;          // what a target written directly receives
        bool direct = false;
    };
    // Starts the output: its temporary file, or none for a target written directly.
    std::string start(const std::filesystem::path& path, std::optional<mode_t> mode = {});
    // Ends the writing of a regular output's temporary file.
    std::string written(const Output& output, bool complete);
    std::string link(Output& output);
    std::vector<Output> outputs_;
};

// One file as a generation of its own.
std::string WriteFileReplacing(const std::filesystem::path& path, std::string content, std::optional<mode_t> mode = {});

} // namespace coffer
