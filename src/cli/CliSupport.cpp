#include "CliSupport.h"

#include "recdb/AVMRec.h"

#include <algorithm>

namespace vmxcli {

vmx::LoadedPane loadDatabase(const std::string& dbPath, int side)
{
    if (!vmx::InitRecordDatabase())
        throw Failure{"not enough memory for the record store."};
    vmx::LoadedPane pane;
    if (std::string error = vmx::LoadPane(side, dbPath, pane); !error.empty())
        throw Failure{error};
    return pane;
}

unsigned parseId(const std::string& text)
{
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw UsageError{"\"" + text + "\" is not a recording number."};
    const unsigned id = static_cast<unsigned>(std::stoul(text));
    if (id < 1 || id > kDBMMaxIds)
        throw UsageError{"recording numbers go from 1 to 200, not " + text + "."};
    return id;
}

bool takeFlag(Args& args, const std::string& flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

}  // namespace vmxcli
