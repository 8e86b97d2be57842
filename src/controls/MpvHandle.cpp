#include "controls/MpvHandle.h"

#include <cstring>
#include <vector>

namespace vmx {

bool MpvHandle::Create(std::string& problem)
{
    if (m_handle != nullptr)
        return true;
    const MpvApi* mpv = LoadMpv(&problem);
    if (mpv == nullptr)
        return false;
    m_handle = mpv->create();
    if (m_handle == nullptr)
        problem = "The player cannot start: libmpv could not make a player (out of memory?).";
    return m_handle != nullptr;
}

MpvHandle::~MpvHandle()
{
    if (m_handle != nullptr) {
        Mpv().set_wakeup_callback(m_handle, nullptr, nullptr);
        Mpv().terminate_destroy(m_handle);
    }
}

bool MpvHandle::SetOption(const char* name, const char* value)
{
    return m_handle != nullptr && Mpv().set_option_string(m_handle, name, value) >= 0;
}

bool MpvHandle::Initialize()
{
    return m_handle != nullptr && Mpv().initialize(m_handle) >= 0;
}

bool MpvHandle::SetProperty(const char* name, const char* value)
{
    return m_handle != nullptr && Mpv().set_property_string(m_handle, name, value) >= 0;
}

std::optional<double> MpvHandle::GetDouble(const char* name) const
{
    double value = 0;
    if (m_handle == nullptr || Mpv().get_property(m_handle, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<bool> MpvHandle::GetFlag(const char* name) const
{
    int value = 0;
    if (m_handle == nullptr || Mpv().get_property(m_handle, name, MPV_FORMAT_FLAG, &value) < 0)
        return std::nullopt;
    return value != 0;
}

bool MpvHandle::Command(std::initializer_list<const char*> words)
{
    if (m_handle == nullptr)
        return false;
    std::vector<const char*> args(words);
    args.push_back(nullptr);
    return Mpv().command(m_handle, args.data()) >= 0;
}

std::optional<std::int64_t> MpvHandle::CommandForInt(std::initializer_list<const char*> words, const char* key)
{
    if (m_handle == nullptr)
        return std::nullopt;
    std::vector<const char*> args(words);
    args.push_back(nullptr);
    mpv_node result{};
    if (Mpv().command_ret(m_handle, args.data(), &result) < 0)
        return std::nullopt;
    std::optional<std::int64_t> value;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = result.u.list;
        for (int i = 0; i < map->num; ++i) {
            if (std::strcmp(map->keys[i], key) == 0 && map->values[i].format == MPV_FORMAT_INT64)
                value = map->values[i].u.int64;
        }
    }
    Mpv().free_node_contents(&result);
    return value;
}

}  // namespace vmx
