// Script variable references and number tokens as scripts write them: $[n] (local), $FAV[n]
// (favour) and $SYS[n] (system), and plain decimal numbers. Only the syntax lives here; where the
// values are kept is the engine's business. Shared by the interpreter and the script checker.
//
// Script library: uses platform, resource and save; never includes an engine header.
#pragma once

#include <cstdint>
#include <string_view>

enum class VariableFamily : uint8_t { kLocal, kFavour, kSystem };

// The largest index each family accepts and the number its range message names. The locals'
// message names 100, one past their last index.
int32_t MaxVariableIndex(VariableFamily family);
int32_t ReportedVariableMaximum(VariableFamily family);

enum class VariableError : uint8_t {
  kNone,
  kNoOpenBracket,  // no "[" after the first character
  kNoCloseBracket,  // no "]" after the "["
  kBadIndex,  // the index is not all decimal digits (a variable is not allowed)
  kIndexTooLarge,  // above the family's maximum
};

struct VariableRef {
  VariableFamily family = VariableFamily::kLocal;
  int32_t index = 0;
  VariableError error = VariableError::kNone;
};

// A token that contains "$". The family is chosen by the token's start ("$FAV", "$SYS", anything
// else local); the index is the text between the first "[" after the first character and the
// next "]".
VariableRef ParseVariableRef(std::string_view token);

// True when every byte is a decimal digit (an empty token counts, as 0).
bool IsDecimalDigits(std::string_view token);
// The decimal value of a digits-only token, kept at INT32_MAX when it is larger.
int32_t DecimalValue(std::string_view digits);
// The number at the start of a token as the C library's atoi reads it (blanks, a sign, digits),
// kept within 32 bits instead of overflowing; 0 when there is none.
int32_t AtoiValue(std::string_view token);
