// kestrune: the command-line companion of the component.
//   kestrune replay REQUEST.http [options]   run a captured request through an Upload object
//   kestrune --version                        the project's version

#include "kestrune_version.h"
#include "tools/kestrune/replay_command.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args.front() == "--help" || args.front() == "-h") {
        (args.empty() ? std::cerr : std::cout) << "Usage: kestrune replay REQUEST.http [options]\n"
                                                  "       kestrune replay --help\n"
                                                  "       kestrune --version\n";
        return args.empty() ? 2 : 0;
    }
    if (args.front() == "--version") {
        std::cout << "kestrune " KESTRUNE_VERSION_TEXT "\n";
        return 0;
    }
    if (args.front() == "replay")
        return kestrune::ReplayMain(std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr);
    std::cerr << "kestrune: unknown command '" << args.front() << "' (try kestrune --help)\n";
    return 2;
}
