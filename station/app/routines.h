#pragma once

// --call: one exported data routine of a loaded module, called by name with arguments
// from the command line.

#include "platform/error.h"
#include "platform/variant.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace station {

// An unknown routine or a wrong number of arguments: the caller's mistake, not the
// module's.
class RoutineUsageError : public kzt::Error {
public:
    using kzt::Error::Error;
};

// Looks `routine` up in `module` (a dlopen handle), converts `args` (UTF-8) to the
// routine's own text types, calls it and returns its result: a packet, a text or an
// integer. Raises RoutineUsageError for an unknown routine or a wrong argument count,
// kzt::Error when the module lacks the routine; a routine's own error passes through.
kzt::Variant callRoutine(void* module, const std::string& routine,
                         const std::vector<std::string>& args);

// The routine names --call accepts, in the order the module declares them.
std::vector<std::string> routineNames();

// How many arguments `routine` takes and what they are, as in "branch store"; nothing for
// a name --call does not know.
std::optional<std::pair<std::size_t, std::string>> routineArguments(const std::string& routine);

} // namespace station
