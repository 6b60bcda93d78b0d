// The simulated shell: records every command; carries out the file commands under the
// board's root; never runs anything that would touch the PC's network, clock or power.
#pragma once

#include <string>

namespace sim {

// Runs (or only records) one command line and returns what system() would.
int runCommand(const std::string& line);

// Forgets the recorded commands' exit rules (the board's reset).
void clearCommandRules();

}  // namespace sim
