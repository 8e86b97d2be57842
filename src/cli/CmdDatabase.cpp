#include "CliCommand.h"

namespace vmxcli {
int runList(const Args&) { throw Failure{"not built yet"}; }
int runShow(const Args&) { throw Failure{"not built yet"}; }
int runCreate(const Args&) { throw Failure{"not built yet"}; }
int runRename(const Args&) { throw Failure{"not built yet"}; }
int runDelete(const Args&) { throw Failure{"not built yet"}; }
int runCheck(const Args&) { throw Failure{"not built yet"}; }
}  // namespace vmxcli
