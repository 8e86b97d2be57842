#pragma once

#include <string>

namespace vmx {

// The folder of one encoding run: a uniquely named folder inside the private runtime folder
// that holds the run's job scripts ("convert.bat", "convert2.bat") and converted subtitle
// ("temp.smi"), so two runs at once never share one of them. It is removed with its files when
// the object goes.
class RunFolder {
public:
    RunFolder() = default;
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Makes the folder unless it exists; returns why it cannot, empty on success.
    [[nodiscard]] std::string Create();
    // The folder, ending in '/'; empty until it was made.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace vmx
