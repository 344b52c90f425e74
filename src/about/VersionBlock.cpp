#include "VersionBlock.h"

#include "ElfSection.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>

namespace VersionBlock {

namespace {

constexpr uint16_t TypeBinary = 0;
constexpr uint16_t TypeText = 1;
constexpr uint32_t FixedFileInfoSignature = 0xFEEF04BD;
constexpr size_t FixedFileInfoSize = 52;

// ---- writing ----------------------------------------------------------------

std::u16string Utf16Of(std::string_view utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = utf8[i];
        char32_t cp;
        size_t extra;
        if (c < 0x80) { cp = c; extra = 0; }
        else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else { cp = c & 0x07; extra = 3; }
        for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

void Put16(std::vector<uint8_t> &out, uint16_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t> &out, uint32_t v)
{
    Put16(out, uint16_t(v));
    Put16(out, uint16_t(v >> 16));
}

void Align4(std::vector<uint8_t> &out)
{
    while (out.size() % 4)
        out.push_back(0);
}

void PutText(std::vector<uint8_t> &out, const std::u16string &text)
{
    for (char16_t c : text)
        Put16(out, c);
    Put16(out, 0);
}

// One node: wLength, wValueLength, wType, key, padding, value, padding,
// children. `children` appends the children; wLength is patched afterwards.
template <typename Children>
void PutNode(std::vector<uint8_t> &out, std::string_view key, uint16_t type,
             const std::vector<uint8_t> &value, uint16_t valueLength, Children children)
{
    Align4(out);
    const size_t start = out.size();
    Put16(out, 0);
    Put16(out, valueLength);
    Put16(out, type);
    PutText(out, Utf16Of(key));
    Align4(out);
    out.insert(out.end(), value.begin(), value.end());
    children(out);
    const size_t length = out.size() - start;
    out[start] = uint8_t(length);
    out[start + 1] = uint8_t(length >> 8);
}

std::string HexKey(uint16_t language, uint16_t codePage)
{
    char key[9];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    return key;
}

std::vector<uint8_t> FixedFileInfo()
{
    std::vector<uint8_t> fixed;
    Put32(fixed, FixedFileInfoSignature);
    Put32(fixed, 0x00010000);  // structure version
    while (fixed.size() < FixedFileInfoSize)
        fixed.push_back(0);
    return fixed;
}

// ---- reading ----------------------------------------------------------------

uint16_t Get16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }

struct Node {
    uint16_t Type = 0;
    std::u16string Key;
    std::span<const uint8_t> Value;
    size_t ChildrenBegin = 0;  // offsets into the block
    size_t End = 0;
};

size_t Aligned(size_t offset) { return (offset + 3) & ~size_t(3); }

// Parses the node at `offset`, which must end by `limit`.
bool ParseNode(std::span<const uint8_t> block, size_t offset, size_t limit, Node &node)
{
    if (offset > limit || limit - offset < 6)
        return false;
    const uint16_t length = Get16(&block[offset]);
    const uint16_t valueLength = Get16(&block[offset + 2]);
    node.Type = Get16(&block[offset + 4]);
    if (length < 6 || length > limit - offset)
        return false;
    node.End = offset + length;

    size_t pos = offset + 6;
    node.Key.clear();
    for (;;) {
        if (node.End - pos < 2)
            return false;
        const char16_t c = Get16(&block[pos]);
        pos += 2;
        if (c == 0)
            break;
        node.Key += c;
    }
    pos = std::min(Aligned(pos), node.End);
    const size_t valueBytes = node.Type == TypeText ? size_t(valueLength) * 2 : valueLength;
    if (valueBytes > node.End - pos)
        return false;
    node.Value = block.subspan(pos, valueBytes);
    node.ChildrenBegin = std::min(Aligned(pos + valueBytes), node.End);
    return true;
}

bool KeyEquals(const std::u16string &key, std::string_view name)
{
    if (key.size() != name.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char16_t a = key[i];
        char16_t b = static_cast<unsigned char>(name[i]);
        if (a >= 'a' && a <= 'z') a -= 32;
        if (b >= 'a' && b <= 'z') b -= 32;
        if (a != b)
            return false;
    }
    return true;
}

}  // namespace

std::vector<uint8_t> Build(const Contents &contents)
{
    std::vector<uint8_t> out;
    const std::string tableKey =
        contents.TableKey.empty() ? HexKey(contents.Language, contents.CodePage) : contents.TableKey;

    PutNode(out, "VS_VERSION_INFO", TypeBinary, FixedFileInfo(), FixedFileInfoSize, [&](auto &o) {
        PutNode(o, "StringFileInfo", TypeText, {}, 0, [&](auto &o2) {
            PutNode(o2, tableKey, TypeText, {}, 0, [&](auto &o3) {
                for (const StringValue &s : contents.Strings) {
                    std::vector<uint8_t> text;
                    const std::u16string value = Utf16Of(s.Value);
                    PutText(text, value);
                    PutNode(o3, s.Name, TypeText, text, uint16_t(value.size() + 1), [](auto &) {});
                }
            });
        });
        if (contents.HasTranslation) {
            PutNode(o, "VarFileInfo", TypeText, {}, 0, [&](auto &o2) {
                std::vector<uint8_t> translation;
                Put16(translation, contents.Language);
                Put16(translation, contents.CodePage);
                PutNode(o2, "Translation", TypeBinary, translation, 4, [](auto &) {});
            });
        }
    });
    return out;
}

uint32_t GetFileVersionInfoSize(const std::string &path)
{
    const auto section = FindElfSection(path, SectionName);
    if (!section || section->Size > std::numeric_limits<uint16_t>::max())
        return 0;
    return static_cast<uint32_t>(section->Size);
}

bool GetFileVersionInfo(const std::string &path, uint32_t size, uint8_t *data)
{
    const auto section = FindElfSection(path, SectionName);
    if (!section)
        return false;
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(section->Offset));
    const auto count = std::min<uint64_t>(size, section->Size);
    file.read(reinterpret_cast<char *>(data), static_cast<std::streamsize>(count));
    return static_cast<uint64_t>(file.gcount()) == count;
}

bool VerQueryValue(std::span<const uint8_t> block, std::string_view subBlock, Value &value)
{
    Node node;
    if (!ParseNode(block, 0, block.size(), node))
        return false;

    size_t begin = 0;
    while (begin < subBlock.size()) {
        if (subBlock[begin] == '\\') {
            ++begin;
            continue;
        }
        size_t end = subBlock.find('\\', begin);
        if (end == std::string_view::npos)
            end = subBlock.size();
        const std::string_view part = subBlock.substr(begin, end - begin);
        begin = end;

        bool found = false;
        Node child;
        for (size_t offset = node.ChildrenBegin; offset < node.End;) {
            if (!ParseNode(block, offset, node.End, child))
                return false;
            if (KeyEquals(child.Key, part)) {
                found = true;
                break;
            }
            offset = Aligned(child.End);
        }
        if (!found)
            return false;
        node = child;
    }
    value.Type = node.Type == TypeText ? ValueType::Text : ValueType::Binary;
    value.Bytes = node.Value;
    return true;
}

std::string TextOf(const Value &value)
{
    std::string out;
    const auto &bytes = value.Bytes;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = Get16(&bytes[i]);
        if (cp == 0)
            break;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const char16_t low = Get16(&bytes[i + 2]);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace VersionBlock
