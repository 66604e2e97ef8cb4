// Variable references and number tokens.
#include "script/variables.h"

#include <climits>

int32_t MaxVariableIndex(VariableFamily family) {
  switch (family) {
    case VariableFamily::kFavour: return 5;
    case VariableFamily::kSystem: return 32;
    case VariableFamily::kLocal: break;
  }
  return 99;
}

int32_t ReportedVariableMaximum(VariableFamily family) {
  return family == VariableFamily::kLocal ? 100 : MaxVariableIndex(family);
}

VariableRef ParseVariableRef(std::string_view token) {
  VariableRef ref;
  if (token.starts_with("$FAV")) {
    ref.family = VariableFamily::kFavour;
  } else if (token.starts_with("$SYS")) {
    ref.family = VariableFamily::kSystem;
  }
  const size_t open = token.find('[', 1);
  if (open == std::string_view::npos) {
    ref.error = VariableError::kNoOpenBracket;
    return ref;
  }
  const size_t close = token.find(']', open + 1);
  if (close == std::string_view::npos) {
    ref.error = VariableError::kNoCloseBracket;
    return ref;
  }
  const std::string_view index = token.substr(open + 1, close - open - 1);
  if (!IsDecimalDigits(index)) {
    ref.error = VariableError::kBadIndex;
    return ref;
  }
  ref.index = DecimalValue(index);
  if (ref.index > MaxVariableIndex(ref.family)) ref.error = VariableError::kIndexTooLarge;
  return ref;
}

bool IsDecimalDigits(std::string_view token) {
  for (char c : token)
    if (c < '0' || c > '9') return false;
  return true;
}

int32_t DecimalValue(std::string_view digits) {
  int64_t v = 0;
  for (char c : digits) {
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(v);
}

int32_t AtoiValue(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) break;
  }
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  return static_cast<int32_t>(v);
}
