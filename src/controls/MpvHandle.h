#pragma once

#include <mpv/client.h>

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace vmx {

// Owns one mpv instance: created in the constructor, terminated and destroyed with the owner.
class MpvHandle {
public:
    MpvHandle();
    ~MpvHandle();
    MpvHandle(const MpvHandle&) = delete;
    MpvHandle& operator=(const MpvHandle&) = delete;

    mpv_handle* get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

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
    mpv_handle* m_handle;
};

}  // namespace vmx
