#pragma once

#include "controls/MpvApi.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

namespace vmx {

// Owns one mpv instance: created by Create (which loads libmpv the first time), terminated and
// destroyed with the owner. Until Create has succeeded every member does nothing.
class MpvHandle {
public:
    MpvHandle() = default;
    ~MpvHandle();
    MpvHandle(const MpvHandle&) = delete;
    MpvHandle& operator=(const MpvHandle&) = delete;

    mpv_handle* get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    // Creates the instance; false with `problem` set when libmpv cannot be loaded or refuses.
    bool Create(std::string& problem);

    // Options before Initialize(), properties after; false when mpv refuses.
    bool SetOption(const char* name, const char* value);
    bool Initialize();
    bool SetProperty(const char* name, const char* value);
    std::optional<double> GetDouble(const char* name) const;
    std::optional<bool> GetFlag(const char* name) const;
    bool Command(std::initializer_list<const char*> words);
    // Runs a command that answers with a map and returns its integer entry under key; nullopt
    // when the command fails or the answer has no such entry.
    std::optional<std::int64_t> CommandForInt(std::initializer_list<const char*> words, const char* key);

private:
    mpv_handle* m_handle = nullptr;
};

}  // namespace vmx
