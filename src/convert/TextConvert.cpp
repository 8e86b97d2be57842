#include "TextConvert.h"

#include "FileHelpers.h"

#include "common/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iconv.h>

namespace vmx {

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

// Converts the whole text. A byte sequence the charset does not know becomes U+FFFD and the
// conversion goes on after its first byte, so one damaged character never costs the rest of
// the subtitles; an incomplete sequence at the very end becomes one U+FFFD.
bool convert(const std::string& text, const std::string& charset, std::string& out)
{
    IconvHandle cd("UTF-8", charset.c_str());
    if (!cd.valid())
        return false;
    constexpr char kReplacement[] = "\xEF\xBF\xBD";
    out.assign(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    auto makeRoom = [&] {
        const std::size_t used = out.size() - outLeft;
        out.resize(out.size() * 2);
        dst = out.data() + used;
        outLeft = out.size() - used;
    };
    while (inLeft > 0) {
        if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1))
            continue;
        const int error = errno;
        if (error == E2BIG) {
            makeRoom();
            continue;
        }
        if (error != EILSEQ && error != EINVAL)
            return false;
        if (outLeft < sizeof kReplacement)
            makeRoom();
        std::memcpy(dst, kReplacement, sizeof kReplacement - 1);
        dst += sizeof kReplacement - 1;
        outLeft -= sizeof kReplacement - 1;
        if (error == EINVAL)
            break;  // the text ends inside a character
        ++in;
        --inLeft;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial shift state
    }
    out.resize(out.size() - outLeft);
    return true;
}

}  // namespace

std::string CodePageCharset(int codePage)
{
    if (codePage == 65001)
        return "UTF-8";
    return "CP" + std::to_string(codePage);
}

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;  // the range of the second byte, narrowed where the first allows
        unsigned char high = 0xBF;
        if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            low = byte == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
            high = byte == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            low = byte == 0xF0 ? 0x90 : 0x80;
            high = byte == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        i += length;
    }
    return true;
}

bool ConvertTextToUtf8(const std::string& source, const std::string& destination, int codePage, int ansiCodePage)
{
    std::ofstream out(destination, std::ios::binary | std::ios::trunc);
    std::string text;
    // A FIFO or device named like a subtitle file is refused at once instead of waited on.
    if (!vmx::ReadRegularFile(source, text).empty() || !out)
        return false;
    if (const auto zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    std::string utf8;
    if (codePage == 0 && IsValidUtf8(text)) {
        utf8 = std::move(text);
    } else {
        const int page = codePage != 0 ? codePage : ansiCodePage != 0 ? ansiCodePage : 949;
        if (!convert(text, CodePageCharset(page), utf8))
            return false;
    }
    if (utf8.starts_with("\xEF\xBB\xBF"))
        utf8.erase(0, 3);  // the encoder is told the text is UTF-8; a mark would show as a character
    out.write(utf8.data(), static_cast<std::streamsize>(utf8.size()));
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace vmx
