#pragma once

#include <QString>

#include <optional>

// What the creation dialog can find out before a run starts, so that the
// user fixes it with every field still filled in. Each answer is the text
// to show: the program's message, then the path and the reason.

// A local keyfile (a path, or "file://" and a path) must be a regular file
// this user can read. A URL is left to the run, which fetches it.
std::optional<QString> keyfileProblem(const QString& location);

// The archive is written beside its name and renamed onto it: its folder
// must exist and take new files, and the name must not be a folder.
std::optional<QString> outputProblem(const QString& outputPath);
