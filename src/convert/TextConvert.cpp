#include "TextConvert.h"

#include <cerrno>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <langinfo.h>

namespace {

// Owns an iconv conversion descriptor.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

bool convert(const std::string& text, const std::string& charset, std::string& out)
{
    IconvHandle cd("UTF-8", charset.c_str());
    if (!cd.valid())
        return false;
    out.assign(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG)
                return false;
            const std::size_t used = out.size() - outLeft;
            out.resize(out.size() * 2);
            dst = out.data() + used;
            outLeft = out.size() - used;
        }
    }
    out.resize(out.size() - outLeft);
    return true;
}

}  // namespace

std::string CodePageCharset(int codePage)
{
    if (codePage == 0)
        return nl_langinfo(CODESET);
    if (codePage == 65001)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

bool ConvertTextToUtf8(const std::string& source, const std::string& destination, int codePage)
{
    std::ifstream in(source, std::ios::binary);
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    if (!in || !out)
        return false;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (const auto zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    std::string utf8;
    if (!convert(text, CodePageCharset(codePage), utf8))
        return false;
    out.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
    out.flush();
    return static_cast<bool>(out);
}
