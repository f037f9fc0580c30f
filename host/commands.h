// The pellix commands. Each takes the arguments after its name and returns the exit
// status; failures are thrown (Failure: status 1, UsageError: status 2).
#ifndef PELLIX_HOST_COMMANDS_H
#define PELLIX_HOST_COMMANDS_H

#include <string>
#include <vector>

namespace pellix {
namespace host {

using Argv = std::vector<std::string>;

struct Command {
    const char* name;
    const char* summary;
    const char* help;  // full usage text, printed for --help
    int (*run)(const Argv& args);
};

int runInfo(const Argv& args);
int runApply(const Argv& args);
int runRaw(const Argv& args);
int runDemo(const Argv& args);
int runBench(const Argv& args);

extern const char* const kInfoHelp;
extern const char* const kApplyHelp;
extern const char* const kRawHelp;
extern const char* const kDemoHelp;
extern const char* const kBenchHelp;

// Prints "pellix: <command>: <message>" on stderr.
void reportError(const std::string& command, const std::string& message);

}  // namespace host
}  // namespace pellix

#endif
