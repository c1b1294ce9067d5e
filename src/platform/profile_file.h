// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-file access for settings files: a read that never blocks or fails loudly, and a rewrite
// that replaces the file in one step so that a reader sees either the old content or the new.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace larkwend {

// The bytes of the regular file at `path`; nullopt when it does not exist, is not a regular file
// or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file at `path` with `edit(current)`, where `current` is the file's present content
// (empty when there is no file yet); an edit that gives nothing leaves the file alone. The new
// content is written aside in the same directory, flushed to disk and renamed over the old file, so
// the file is never seen half written; it is always left readable and writable by its owner only.
// Rewrites of files in the same directory by this function are serialised across threads and
// processes, so two writers never lose each other's changes; a writer that waited a second for
// the others gives up. An existing file that cannot be read is left alone, since its other content
// could not be kept. False when the file could not be replaced or the edit gave nothing.
bool RewriteFile(const std::string& path,
                 const std::function<std::optional<std::string>(const std::string&)>& edit);

}  // namespace larkwend
