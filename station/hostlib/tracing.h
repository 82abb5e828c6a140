#pragma once

// Reporting a call of the host library or the companion package to the presentation's
// trace. Tracing never fails a call: with no presentation at hand it does nothing.

#include <string>
#include <vector>

namespace host {

void traceCall(const std::string& call, const std::vector<std::string>& args);

} // namespace host
