// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tablelocale.h"

#include "store/localehook.h"

#include "store/storeerror.h"

#include <cstring>
#include <cwctype>
#include <wctype.h>

namespace store {

namespace {

// The identifier pairs this store understands and the locale each stands for.
// Every locale is looked up in its UTF-8 form.
struct KnownLocale {
    std::int16_t language;
    std::uint16_t sort;
    const char* name;
};

constexpr KnownLocale knownLocales[] = {
    {0x007F, 0, "C"},  // the invariant locale: code point order
    {0x0409, 0, "en_US"}, {0x0809, 0, "en_GB"}, {0x0C09, 0, "en_AU"}, {0x1009, 0, "en_CA"},
    {0x0407, 0, "de_DE"}, {0x0807, 0, "de_CH"}, {0x0C07, 0, "de_AT"}, {0x040C, 0, "fr_FR"},
    {0x080C, 0, "fr_BE"}, {0x0C0C, 0, "fr_CA"}, {0x100C, 0, "fr_CH"}, {0x0410, 0, "it_IT"},
    {0x0C0A, 0, "es_ES"}, {0x080A, 0, "es_MX"}, {0x0413, 0, "nl_NL"}, {0x0813, 0, "nl_BE"},
    {0x041D, 0, "sv_SE"}, {0x0406, 0, "da_DK"}, {0x0414, 0, "nb_NO"}, {0x040B, 0, "fi_FI"},
    {0x0416, 0, "pt_BR"}, {0x0816, 0, "pt_PT"}, {0x0415, 0, "pl_PL"}, {0x0405, 0, "cs_CZ"},
    {0x040E, 0, "hu_HU"}, {0x0419, 0, "ru_RU"}, {0x0408, 0, "el_GR"}, {0x041F, 0, "tr_TR"},
    {0x0411, 0, "ja_JP"}, {0x0412, 0, "ko_KR"}, {0x0804, 0, "zh_CN"}, {0x0404, 0, "zh_TW"},
};

locale_t openLocale(std::int16_t language, std::uint16_t sort)
{
    for (const KnownLocale& known : knownLocales) {
        if (known.language != language || known.sort != sort) continue;
        for (const char* codeset : {".UTF-8", ".utf8"}) {
            std::string name = std::string(known.name) + codeset;
            locale_t handle = ::newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0));
            if (handle != static_cast<locale_t>(0)) return handle;
        }
    }
    return static_cast<locale_t>(0);
}

// The length of the UTF-8 sequence at the start of text, 0 when none starts
// there: such a byte is kept as it stands, so that no text is ever refused.
std::size_t decodeCharacter(const std::string& text, std::size_t at, char32_t& character)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) {
        character = lead;
        return 1;
    }
    std::size_t length = (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    char32_t value = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    character = value;
    return length;
}

std::string encodeCharacter(char32_t character)
{
    std::string out;
    if (character < 0x80) {
        out += static_cast<char>(character);
    } else if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (character & 0x3F));
    }
    return out;
}

// Full-width forms of the ASCII characters and the ideographic space.
char32_t halfWidth(char32_t character)
{
    if (character >= 0xFF01 && character <= 0xFF5E) return character - 0xFF01 + 0x21;
    if (character == 0x3000) return 0x20;
    return character;
}

}  // namespace

bool localeAvailable(std::int16_t language, std::uint16_t sort)
{
    if (language == 0) return true;
    locale_t handle = openLocale(language, sort);
    if (handle == static_cast<locale_t>(0)) return false;
    ::freelocale(handle);
    return true;
}

TableLocale::TableLocale(locale_t handle) : handle_(handle, [](locale_t open) { ::freelocale(open); }) {}

TableLocale TableLocale::forTable(std::int16_t language, std::uint16_t sort, const std::string& dataFileName)
{
    if (language == 0) return TableLocale();
    locale_t handle = openLocale(language, sort);
    if (handle == static_cast<locale_t>(0))
        throw StoreError("The language driver for data file " + dataFileName + " is not available or installed");
    return TableLocale(handle);
}

std::string TableLocale::mapText(const std::string& text, bool upper, std::size_t capacity) const
{
    std::string mapped;
    for (std::size_t at = 0; at < text.size();) {
        char32_t character = 0;
        std::size_t length = decodeCharacter(text, at, character);
        std::string encoded = text.substr(at, length ? length : 1);
        at += encoded.size();
        if (length) {
            character = halfWidth(character);
            if (upper) character = static_cast<char32_t>(::towupper_l(static_cast<wint_t>(character), handle_.get()));
            encoded = encodeCharacter(character);
        }
        if (mapped.size() + encoded.size() > capacity) break;
        mapped += encoded;
    }
    return mapped;
}

int TableLocale::compareText(const char* left, const char* right) const
{
    int order = ::strcoll_l(left, right, handle_.get());
    if (order == 0) order = std::strcmp(left, right);
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

namespace {

class SystemLocales final : public LocaleHook {
public:
    bool isAvailable(std::int16_t language, std::uint16_t sort) const override { return localeAvailable(language, sort); }
};

}  // namespace

const LocaleHook& systemLocales()
{
    static const SystemLocales locales;
    return locales;
}

}  // namespace store
