// Finds the resources folder once, at start-up: in the working directory first, as the program
// always has; when that has none, beside the executable, so a program started by its full path
// or from a file manager finds the files it was shipped with.
#pragma once

#include "base/status.h"
#include "base/resource_paths.h"

namespace tc {

// Fails with one line naming both places when neither holds a folder named resources. A folder
// that is there but lacks a file is still chosen: the loader's failure then names that file.
StartupStatus FindResourceFolder(ResourcePaths& paths);

}  // namespace tc
