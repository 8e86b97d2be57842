#include "recdb/DiskNaming.h"

#include "common/AsciiCase.h"
#include "common/FilePaths.h"

#include "recdb/RecordStore.h"
#include "recdb/Trace.h"

#include <cstdio>
#include <cstring>

namespace {

bool g_retryName = false;
std::string g_currentDbPath;
// The record-store path string that name type 14 reports; nothing fills it.
const char g_storePath[kAVMMaxPath + 1] = "";

constexpr const char* kDrive = "C:\\";

struct NameDef {
    const char* folder;  // null: no folder
    const char* base;
    const char* ext;
};

// Name types 0..13 in order; 9 is the configuration file at the root.
constexpr NameDef kNames[] = {
    {"RECORD", "DZT000", ".DB"},  {"RECORD", "DZT000", ".TMP"}, {"RECORD", "DZT000", ".BAK"},
    {"RECORD", "DZR000", ".DB"},  {"RECORD", "DZR000", ".TMP"}, {"RECORD", "DZR000", ".BAK"},
    {"MP3", "DZM000", ".DB"},     {"IMAGE", "DZI000", ".DB"},   {"STREAM", "DZS000", ".DB"},
    {nullptr, "CONFIG.CFG", ""},  {nullptr, "DZT000", ".TMP"},  {nullptr, "DZT000", ".BAK"},
    {nullptr, "DZR000", ".TMP"},  {nullptr, "DZR000", ".BAK"},
};

constexpr const char* kFolders[] = {"RECORD", "MP3", "IMAGE", "STREAM"};  // types 15..18

}  // namespace

unsigned char AVMMakeNameString(char* text, int nameType)
{
    if (!text)
        return 1;
    const int type = nameType & 0xFF;
    constexpr std::size_t kSize = 256;
    if (type <= 13) {
        const NameDef& def = kNames[type];
        char base[16] = {};
        std::snprintf(base, sizeof base, "%s", def.base);
        if (!g_retryName && type != 9)
            base[5] = '5';
        if (type <= 8)
            std::snprintf(text, kSize, "%s%s\\%s%s", kDrive, def.folder, base, def.ext);
        else if (type == 9)
            std::snprintf(text, kSize, "%s%s", kDrive, base);
        else
            std::snprintf(text, kSize, "%s%s", base, def.ext);
        return 0;
    }
    if (type == 14) {
        std::snprintf(text, kSize, "%.255s", g_storePath);
        return 0;
    }
    if (type <= 18) {
        std::snprintf(text, kSize, "%s%s\\", kDrive, kFolders[type - 15]);
        return 0;
    }
    DBMTrace("inofr: AVMMakeNameString error type(%d).", type);
    return 0;
}

void AVMMakeRecordPrefix(const AVMRec* record, char* text)
{
    if (!text)
        return;
    std::string prefix = "RF0000";
    if (!vmx::HasCurrentStore())
        DBMTrace("infor: DBM Record not yet initialized.");
    else if (record)
        prefix = vmx::RecordPrefix(vmx::CurrentStore(), *record);
    std::snprintf(text, 7, "%s", prefix.c_str());
}

void vmx::SetRetryName(bool set)
{
    g_retryName = set;
}

bool vmx::RetryName()
{
    return g_retryName;
}

bool vmx::IsSafePartName(const char* name)
{
    if (!name || name[0] == '.')
        return false;
    for (std::size_t i = 0; i < kAVMPartNameLen; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c > 0x7E || c == '/' || c == '\\')
            return false;
    }
    // A name the receiver's FAT disk would read without its trailing dots and blanks stands for
    // another file there ("notes.txt   " is notes.txt); the receiver never writes such a name.
    if (name[kAVMPartNameLen - 1] == '.' || name[kAVMPartNameLen - 1] == ' ')
        return false;
    // The databases of the folder and their companions are never parts.
    const std::string key = vmx::FatNameKey(std::string_view(name, kAVMPartNameLen));
    for (const char* ext : {".DB", ".BAK", ".TMP"}) {
        if (key.ends_with(ext))
            return false;
    }
    return true;
}

namespace vmx {

std::string RecordPrefix(const RecordStore& store, const AVMRec& record)
{
    // A record that is not listed has no id map entry; its own slot is the best we know.
    const int index = record.id >= 1 && record.id <= kDBMMaxIds ? store.indexOf(record.id) : -1;
    const int slot = index >= 0 ? index + 1 : record.slot;
    char text[8] = {};
    std::snprintf(text, 7, "RF%04d", slot % 10000);
    return text;
}

bool FitsDbPath(const std::string& path)
{
    return path.size() <= kAVMMaxPath && path.find('\0') == std::string::npos;
}

bool SetCurrentDbPath(const std::string& path)
{
    if (!FitsDbPath(path))
        return false;
    g_currentDbPath = path;
    return true;
}

const std::string& CurrentDbPath()
{
    return g_currentDbPath;
}

std::string FatNameKey(std::string_view name)
{
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.remove_suffix(1);
    return AsciiUpper(name);
}

bool IsSafePartNameOf(const char* name, const std::string& dbPath)
{
    return vmx::IsSafePartName(name) &&
           FatNameKey(std::string_view(name, kAVMPartNameLen)) != FatNameKey(FileNameOfPath(dbPath));
}

}  // namespace vmx

bool vmx::RecordHasSafeParts(const AVMRec& record)
{
    if (record.partCount > kDBMMaxParts)
        return false;
    for (int j = 0; j < record.partCount; ++j) {
        if (!vmx::IsSafePartName(record.parts[j].name))
            return false;
    }
    return true;
}

std::string vmx::PrintablePartName(const char* name)
{
    std::string out;
    for (std::size_t i = 0; i < kAVMPartNameLen; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}
