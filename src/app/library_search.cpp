#include "app/library_search.h"

#include <windows.h>

namespace app {

void RestrictLibraryLoadsToSystemFolder() { SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

}  // namespace app
