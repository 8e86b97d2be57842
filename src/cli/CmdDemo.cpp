#include "CliCommand.h"

namespace vmxcli {
int runDemo(const Args&) { throw Failure{"not built yet"}; }
}  // namespace vmxcli
