// One pass of the check: expected driver, installed driver, decision, report, install.
#pragma once

namespace app {

void RunCheckPass();

}  // namespace app
