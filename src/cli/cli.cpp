#include "cli/cli.h"

#include <ostream>

namespace lumra {

int RunCli(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "lumra: not built yet\n";
    return 2;
}

}  // namespace lumra
