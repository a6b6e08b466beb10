// Where the process may load libraries from.
#pragma once

namespace app {

// From here on, every library that the process loads, and every library that those load, comes
// from the system folder only, never from the tool's own folder or the working folder. The tool
// runs as SYSTEM from folders that others may be able to write to: wmain calls this first.
void RestrictLibraryLoadsToSystemFolder();

}  // namespace app
