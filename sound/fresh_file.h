// Files the sound subsystem writes into its private directory.
#pragma once

#include <cstdio>

// Removes whatever is at path and creates a new file there, refusing to
// follow a link or to reuse a file that reappears in between. A library that
// is still mapped from an earlier file of the same name keeps its own copy.
// Null when the file cannot be created.
std::FILE* createFreshFile(const char* path);
