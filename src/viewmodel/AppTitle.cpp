#include "viewmodel/AppTitle.h"

namespace vmx {

std::string AppTitleText(const char* buildDate, const char* buildTime)
{
    return std::string("Velmorix(") + buildDate + " " + buildTime + ")  Version:2.32";
}

const std::string& AppTitle()
{
    static const std::string title = AppTitleText(__DATE__, __TIME__);
    return title;
}

}  // namespace vmx
