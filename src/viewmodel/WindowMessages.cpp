#include "viewmodel/WindowMessages.h"

#include "recording/Merge.h"
#include "recording/PlaybackParts.h"

namespace vmx {

std::string WindowMessage(const std::string& text)
{
    if (text.empty() || text == kPartFileMissingMessage || text == kEnglishFolderMessage)
        return text;
    std::string sentence = text;
    if (sentence[0] >= 'a' && sentence[0] <= 'z')
        sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
    return sentence;
}

}  // namespace vmx
