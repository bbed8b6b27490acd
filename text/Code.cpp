// Code-page conversion on ICU: the six steps, the three routines built from them, and the
// ICU helpers they share.
#include "text/Code.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "text/Icu.h"

namespace quelpath {
namespace detail {
namespace {

const char* ConverterName(Charset charset) {
  switch (charset) {
    case Charset::kUtf8:
      return "UTF-8";
    case Charset::kGbk:
      return "windows-936-2000";
    case Charset::kBig5:
      return "windows-950-2000";  // "cp950" would open IBM's table
  }
  return "";
}

// ICU's own substitution skips default-ignorable code points (U+200B, U+FEFF...); the platform
// writes its default character for every one it cannot map, and so do we.
void WriteQuestionMark(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32,
                       UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
}

// A converter for one conversion; none when ICU lacks the table (never with Debian's data).
icu::LocalUConverterPointer Open(Charset charset, bool bestFit) {
  UErrorCode err = U_ZERO_ERROR;
  icu::LocalUConverterPointer cnv(ucnv_open(ConverterName(charset), &err));
  if (U_FAILURE(err)) return icu::LocalUConverterPointer();
  ucnv_setFallback(cnv.getAlias(), bestFit);
  ucnv_setFromUCallBack(cnv.getAlias(), WriteQuestionMark, nullptr, nullptr, nullptr, &err);
  return cnv;
}

}  // namespace

bool Icu_Charset(int codePage, Charset& charset) {
  switch (codePage) {
    case 0:
    case 936:
      charset = Charset::kGbk;
      return true;
    case 950:
      charset = Charset::kBig5;
      return true;
    case 65001:
      charset = Charset::kUtf8;
      return true;
    default:
      return false;
  }
}

std::u16string Icu_Decode(Charset charset, std::string_view bytes) {
  if (bytes.empty()) return {};
  icu::LocalUConverterPointer cnv = Open(charset, false);
  if (cnv.isNull()) return {};
  // Each of these charsets yields at most one code unit per byte.
  std::u16string out(bytes.size() + 1, u'\0');
  const char* src = bytes.data();
  UChar* dst = out.data();
  UErrorCode err = U_ZERO_ERROR;
  for (;;) {
    ucnv_toUnicode(cnv.getAlias(), &dst, out.data() + out.size(), &src, bytes.data() + bytes.size(),
                   nullptr, true, &err);
    if (err != U_BUFFER_OVERFLOW_ERROR) break;
    const std::size_t done = static_cast<std::size_t>(dst - out.data());
    out.resize(out.size() * 2);
    dst = out.data() + done;
    err = U_ZERO_ERROR;
  }
  out.resize(U_SUCCESS(err) ? static_cast<std::size_t>(dst - out.data()) : 0);
  return out;
}

std::string Icu_Encode(Charset charset, std::u16string_view units) {
  if (units.empty()) return {};
  icu::LocalUConverterPointer cnv = Open(charset, true);
  if (cnv.isNull()) return {};
  std::string out(units.size() * ucnv_getMaxCharSize(cnv.getAlias()) + 1, '\0');
  const UChar* src = units.data();
  char* dst = out.data();
  UErrorCode err = U_ZERO_ERROR;
  for (;;) {
    ucnv_fromUnicode(cnv.getAlias(), &dst, out.data() + out.size(), &src,
                     units.data() + units.size(), nullptr, true, &err);
    if (err != U_BUFFER_OVERFLOW_ERROR) break;
    const std::size_t done = static_cast<std::size_t>(dst - out.data());
    out.resize(out.size() * 2);
    dst = out.data() + done;
    err = U_ZERO_ERROR;
  }
  out.resize(U_SUCCESS(err) ? static_cast<std::size_t>(dst - out.data()) : 0);
  return out;
}

namespace {
// Blocks of 256 code units that hold no nonspacing mark and no surrogate: ASCII to U+02FF, the
// CJK ideographs, Hangul syllables, private use. Text made of them needs no composing. A table,
// not comparisons: in text that mixes ASCII and Chinese the comparisons would mispredict.
constexpr std::array<bool, 256> kPlainBlocks = [] {
  std::array<bool, 256> plain{};
  for (int hi = 0; hi < 256; ++hi) {
    plain[hi] = hi < 0x03 || (hi >= 0x34 && hi < 0xA0) || (hi >= 0xAC && hi < 0xD8) ||
                (hi >= 0xE0 && hi < 0xF9);
  }
  return plain;
}();
constexpr bool IsPlain(char16_t u) { return kPlainBlocks[u >> 8]; }

// Held in a static of ours: ICU's own once-only set-up is invisible to ThreadSanitizer.
const icu::Normalizer2* Nfc() {
  static const icu::Normalizer2* const nfc = [] {
    UErrorCode err = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(err);
    return U_SUCCESS(err) ? n : nullptr;
  }();
  return nfc;
}
}  // namespace

void Icu_ComposePairs(std::u16string& units) {
  const std::size_t n = units.size();
  char16_t* s = units.data();
  std::size_t r = 0;  // read position
  std::size_t w = 0;  // write position; below r once something was composed
  bool haveBase = false;
  std::size_t baseAt = 0;  // where the last written code point starts
  UChar32 base = 0;        // that code point
  while (r < n) {
    const std::size_t run = r;
    while (r < n && IsPlain(s[r])) ++r;
    if (r > run) {
      if (w != run) std::memmove(s + w, s + run, (r - run) * sizeof(char16_t));
      w += r - run;
      haveBase = true;
      baseAt = w - 1;
      base = s[baseAt];
      if (r == n) break;
    }
    UChar32 c;
    std::size_t next = r;
    U16_NEXT(s, next, n, c);
    const icu::Normalizer2* nfc;
    if (haveBase && u_charType(c) == U_NON_SPACING_MARK && (nfc = Nfc()) != nullptr) {
      const UChar32 composed = nfc->composePair(base, c);
      if (composed >= 0) {
        w = baseAt;
        U16_APPEND_UNSAFE(s, w, composed);  // fits: it replaces at least two code units
        base = composed;
        r = next;
        continue;
      }
    }
    haveBase = true;
    baseAt = w;
    base = c;
    while (r < next) s[w++] = s[r++];
  }
  units.resize(w);
}

}  // namespace detail

namespace {
using detail::Charset;

// Wide buffers hold little-endian code units whatever the host's byte order.
std::u16string FromWide(std::string_view wide) {
  std::u16string units(wide.size() / 2, u'\0');
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(units.data(), wide.data(), units.size() * 2);
  } else {
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(wide[2 * i]) |
                                       static_cast<unsigned char>(wide[2 * i + 1]) << 8);
    }
  }
  return units;
}

Bytes ToWide(std::u16string_view units) {
  std::string wide(units.size() * 2, '\0');
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(wide.data(), units.data(), wide.size());
  } else {
    for (std::size_t i = 0; i < units.size(); ++i) {
      wide[2 * i] = static_cast<char>(units[i] & 0xFF);
      wide[2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
  }
  return Bytes(std::move(wide));
}

// The units before the first NUL unit, or all of them.
std::u16string_view UpToNul(std::u16string_view units) {
  return units.substr(0, units.find(u'\0'));
}

// Units without a NUL. Everything after a NUL is cut from the result, and nothing after it can
// change what comes before it (it ends any base + mark pair and any surrogate pair), so callers
// leave it out.
Text WideToLocal(std::u16string units) {
  detail::Icu_ComposePairs(units);
  return Text(detail::Icu_Encode(Charset::kGbk, units));
}

// Double-byte characters of code page 936: a lead byte and a trail byte.
constexpr int kLeads = 0xFE - 0x81 + 1;
constexpr int kTrails = 0xFE - 0x40 + 1;
constexpr bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
constexpr bool IsGbkTrail(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// For each double-byte character of code page 936, its simplified form when that is a
// different double-byte character, else 0.
using SimplifiedTable = std::array<uint16_t, kLeads * kTrails>;

SimplifiedTable BuildSimplifiedTable() {
  SimplifiedTable table{};
  UErrorCode err = U_ZERO_ERROR;
  std::unique_ptr<icu::Transliterator> simplify(
      icu::Transliterator::createInstance("Hant-Hans", UTRANS_FORWARD, err));
  icu::LocalUConverterPointer gbk(ucnv_open("windows-936-2000", &err));
  if (U_FAILURE(err)) return table;
  // Only exact mappings count as representable: no best fit, no substitution.
  ucnv_setFromUCallBack(gbk.getAlias(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar unit[2];
      err = U_ZERO_ERROR;
      if (ucnv_toUChars(gbk.getAlias(), unit, 2, in, 2, &err) != 1 || U_FAILURE(err)) continue;
      // "Hant-Hans" also has phrase rules (甚麼 to 什么) that map a character differently in
      // context; the platform maps character by character. A character alone meets only the
      // one-character rules.
      icu::UnicodeString s(unit[0]);
      simplify->transliterate(s);
      if (s.length() != 1 || s[0] == unit[0]) continue;
      char out[4];
      const UChar simplified = s[0];
      err = U_ZERO_ERROR;
      // Keeps the byte length: a simplified form that takes other than two bytes is left out.
      if (ucnv_fromUChars(gbk.getAlias(), out, 4, &simplified, 1, &err) != 2 || U_FAILURE(err)) {
        continue;
      }
      table[(lead - 0x81) * kTrails + (trail - 0x40)] = static_cast<uint16_t>(
          static_cast<unsigned char>(out[0]) << 8 | static_cast<unsigned char>(out[1]));
    }
  }
  return table;
}

const SimplifiedTable& Simplified() {
  static const SimplifiedTable table = BuildSimplifiedTable();  // built once, thread-safe
  return table;
}

}  // namespace

Bytes Code_Utf8BytesToWide(const Bytes& utf8) {
  return ToWide(detail::Icu_Decode(Charset::kUtf8, utf8.view()));
}

Text Code_WideBytesToLocal(const Bytes& wide) {
  std::u16string units = FromWide(wide.view());
  units.resize(UpToNul(units).size());
  return WideToLocal(std::move(units));
}

Bytes Code_TextToWide(const Text& text, int codePage) {
  Charset charset;
  if (!detail::Icu_Charset(codePage, charset)) return Bytes();
  std::u16string units = detail::Icu_Decode(charset, text.view());
  units.push_back(u'\0');
  return ToWide(units);
}

Text Code_WideToText(const Bytes& wide, int codePage) {
  Charset charset;
  if (!detail::Icu_Charset(codePage, charset)) return Text();
  const std::u16string all = FromWide(wide.view());
  const std::u16string_view units = UpToNul(all);
  std::string out = detail::Icu_Encode(charset, units);
  if (charset != Charset::kGbk) {
    // The buffer holds twice what code page 936 needs, NUL included; an encoding that needs
    // more keeps the whole characters that fit before the NUL.
    const std::size_t room = 2 * (detail::Icu_Encode(Charset::kGbk, units).size() + 1) - 1;
    if (out.size() > room) {
      std::size_t cut = room;
      if (charset == Charset::kUtf8) {
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
      }
      out.resize(cut);
    }
  }
  return Text(std::move(out));
}

Text Code_Big5ToGbk(const Text& big5) {
  return Text(detail::Icu_Encode(Charset::kGbk, detail::Icu_Decode(Charset::kBig5, big5.view())));
}

Text Code_ToSimplified(const Text& text) {
  std::string out(text.view());
  const SimplifiedTable& table = Simplified();
  const std::size_t k = out.size();
  for (std::size_t i = 0; i < k;) {
    const auto lead = static_cast<unsigned char>(out[i]);
    const auto trail = i + 1 < k ? static_cast<unsigned char>(out[i + 1]) : 0;
    if (!IsGbkLead(lead) || !IsGbkTrail(trail)) {
      ++i;
      continue;
    }
    if (const uint16_t to = table[(lead - 0x81) * kTrails + (trail - 0x40)]) {
      out[i] = static_cast<char>(to >> 8);
      out[i + 1] = static_cast<char>(to & 0xFF);
    }
    i += 2;
  }
  return Text(std::move(out));
}

Text Code_Utf8BytesToLocal(const Bytes& utf8) {
  // A zero byte always decodes to U+0000, where the result is cut.
  const std::string_view bytes = utf8.view();
  return WideToLocal(detail::Icu_Decode(Charset::kUtf8, bytes.substr(0, bytes.find('\0'))));
}

Text Code_Utf8ToGbk(const Text& utf8) {
  return Text(detail::Icu_Encode(Charset::kGbk, detail::Icu_Decode(Charset::kUtf8, utf8.view())));
}

Text Code_Big5ToGbkSimplified(const Text& big5) { return Code_ToSimplified(Code_Big5ToGbk(big5)); }

Bytes Code_LocalToUtf8(const Text& local) {
  const std::u16string units = detail::Icu_Decode(detail::Charset::kGbk, local.view());
  return Bytes(detail::Icu_Encode(detail::Charset::kUtf8, units));
}

}  // namespace quelpath
