// The program's version block in the VS_VERSIONINFO layout, and the three
// operations that read it: how big a file's block is, a copy of it, and a
// value by its sub-block path. Linux has no version resources, so the block
// lives in a named section of the ELF executable, put there at build time.
//
// Every read is bounded by the block's size: a damaged or hostile file can
// give empty values, never a read past the end.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace VersionBlock {

// Name of the ELF section that holds the block.
inline constexpr const char *SectionName = ".veldra_version";

struct StringValue {
    std::string Name;
    std::string Value;  // UTF-8
};

struct Contents {
    uint16_t Language = 0x0409;
    uint16_t CodePage = 0x04E4;
    bool HasTranslation = true;
    // Key of the string table; empty means the one the translation names.
    std::string TableKey;
    std::vector<StringValue> Strings;
};

// A block in the public layout: UTF-16 keys, 32-bit alignment, a fixed part.
std::vector<uint8_t> Build(const Contents &contents);

// Size of the version block of the file at `path`; 0 when it has none or
// cannot be read.
uint32_t GetFileVersionInfoSize(const std::string &path);

// Copies the first `size` bytes of the block into `data`; false on failure.
bool GetFileVersionInfo(const std::string &path, uint32_t size, uint8_t *data);

enum class ValueType { Binary, Text };

struct Value {
    ValueType Type = ValueType::Binary;
    std::span<const uint8_t> Bytes;  // text: UTF-16LE, without the terminator
};

// Looks up a path such as "\VarFileInfo\Translation" or
// "\StringFileInfo\040904E4\FileVersion"; key names compare without regard
// to letter case. False when absent or when the block is damaged.
bool VerQueryValue(std::span<const uint8_t> block, std::string_view subBlock, Value &value);

// UTF-16LE text as UTF-8, up to the first zero.
std::string TextOf(const Value &value);

}  // namespace VersionBlock
