#pragma once

// The pinyin initials of the CJK ideographs, generated at build time from the Unihan readings
// (tools/gen_pinyin.cpp); internal to HZtoPY.

namespace Qd::Core::Sys {

// The upper-case initial of the customary Mandarin reading of a code point ('A'..'Z'); 0 when
// it has none (not an ideograph, or an ideograph without a reading).
char pinyinInitial(char32_t cp);

}  // namespace Qd::Core::Sys
