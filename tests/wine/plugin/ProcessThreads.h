#pragma once
// The threads of this process, counted from the system's thread list.

namespace pluginsupport {

int threadsOfThisProcess();

} // namespace pluginsupport
