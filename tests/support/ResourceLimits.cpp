#include "ResourceLimits.h"

#include <fstream>
#include <unistd.h>

namespace vmxtest {

FileSizeLimit::FileSizeLimit(std::uint64_t bytes)
{
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_previous);
    rlimit limit = m_previous;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

bool UnderAddressSanitizer()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

void LimitAddressSpace(std::uint64_t extraBytes)
{
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const auto mapped = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const rlimit limit{static_cast<rlim_t>(mapped + extraBytes), static_cast<rlim_t>(mapped + extraBytes)};
    ::setrlimit(RLIMIT_AS, &limit);
}

}  // namespace vmxtest
