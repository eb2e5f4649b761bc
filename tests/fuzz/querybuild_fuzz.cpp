// Fuzz target of the query-building functions: the input's bytes choose
// calls of the search-string, search-term and attribute-condition functions
// (values, masks, CCSIDs, languages, field and attribute names) and the
// additions of a search condition, then finalize. No call may crash or
// leak; every expression that finalize writes has balanced brackets and
// names each operand exactly once.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "itl_api.h"
#include "itl_error.hpp"
#include "itl_search_condition.hpp"
#include "itl_search_term.hpp"

namespace {

// Checks the brackets and the operand numbers of an expression.
void checkExpression(char const* text, int operands) {
  std::string s(text);
  int depth = 0;
  std::vector<int> seen(static_cast<size_t>(operands) + 1, 0);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '(') ++depth;
    if (s[i] == ')') FUZZ_CHECK(--depth >= 0);
    if (s[i] >= '0' && s[i] <= '9' && i > 0 && s[i - 1] == ' ') {
      size_t end = s.find(' ', i);
      if (end == std::string::npos) end = s.size();
      int n = std::stoi(s.substr(i, end - i));
      FUZZ_CHECK(n >= 1 && n <= operands);
      ++seen[n];
      i = end - 1;
    }
  }
  FUZZ_CHECK(depth == 0);
  for (int n = 1; n <= operands; ++n) FUZZ_CHECK(seen[n] == 1);
}

void runCalls(FuzzInput& in, ItlTyContextHandle ctx) {
  ItlTySearchStringHandle ss = nullptr;
  std::string first = in.take(in.below(140));
  itlHandleNewSearchString(first.data(), static_cast<unsigned>(first.size()), &ss, ctx);
  if (ss == nullptr) itlHandleNewSearchString("x", 1, &ss, ctx);
  ItlTySearchTermHandle term = nullptr;
  ItlTyStringAttributeHandle attr = nullptr;
  ItlTyNumericAttributeConditionHandle num = nullptr;
  ItlClSearchCondition cond(static_cast<int32_t>(in.below(10000)));
  for (int steps = 0; steps < 200 && in.left() > 0; ++steps) {
    switch (in.below(22)) {
      case 0: {
        std::string v = in.take(in.below(140));
        itlSearchStringSetNewValue(ss, v.data(), static_cast<unsigned>(v.size()));
        break;
      }
      case 1: {
        std::string lang = in.take(in.below(8));
        itlSearchStringSetCCSIDAndLanguage(ss, static_cast<ItlTyCCSID>(in.below(70000)),
                                           lang.c_str());
        break;
      }
      case 2: {
        std::string a = in.take(8), b = in.take(8);
        itlSearchStringSetMasks(ss, in.flag() ? a.data() : nullptr, in.below(9),
                                in.flag() ? b.data() : nullptr, in.below(9));
        break;
      }
      case 3: itlSearchStringRespectCase(ss, in.flag()); break;
      case 4: itlSearchStringResetToDefault(ss); break;
      case 5:
        if (term == nullptr) itlHandleNewSearchTerm(ss, &term, ctx);
        else itlSearchTermSetNewSearchString(term, ss);
        break;
      case 6: {
        std::string f = in.take(in.below(40));
        uint32_t which = in.below(4);
        ItlTyRankWeight w = static_cast<ItlTyRankWeight>(in.below(65536));
        if (which == 0) itlSearchTermSetField(term, f.c_str());
        if (which == 1) itlSearchTermAddField(term, f.c_str());
        if (which == 2) itlSearchTermSetFieldWeight(term, f.c_str(), w);
        if (which == 3) itlSearchTermAddFieldWeight(term, f.c_str(), w);
        break;
      }
      case 7:
        itlSearchTermSetPrecision(term, static_cast<ItlTyPrecision>(in.below(200)));
        itlSearchTermSetWeight(term, static_cast<ItlTyRankWeight>(in.below(65536)));
        itlSearchTermRespectKoreanWordBoundary(term, in.flag());
        itlSearchTermCompareStemForms(term, in.flag());
        itlSearchTermPreferMasks(term, in.flag());
        break;
      case 8: itlSearchTermResetToDefault(term); break;
      case 9: itlHandleDeleteSearchTerm(&term); break;
      case 10: {
        std::string name = in.take(in.below(40));
        if (attr == nullptr) itlHandleNewStringAttribute(ss, name.c_str(), &attr, ctx);
        else if (in.flag()) itlStringAttributeSetName(attr, name.c_str());
        else itlStringAttributeSetSearchString(attr, ss);
        break;
      }
      case 11: itlStringAttributeReset(attr); break;
      case 12: itlHandleDeleteStringAttribute(&attr); break;
      case 13: {
        std::string name = in.take(in.below(20));
        std::string lo = in.take(in.below(12)), hi = in.take(in.below(12));
        auto type = static_cast<ItlEnAttributeType>(100000 + in.below(4));
        auto lc = static_cast<ItlEnAttributeComparison>(in.below(5));
        auto hc = static_cast<ItlEnAttributeComparison>(in.below(5));
        if (num == nullptr)
          itlHandleNewNumericAttributeCondition(
              name.c_str(), type, lo.data(), static_cast<unsigned>(lo.size()), lc,
              hi.data(), static_cast<unsigned>(hi.size()), hc, &num, ctx);
        else
          itlNumericAttributeConditionSetValues(
              num, name.c_str(), type, lo.data(), static_cast<unsigned>(lo.size()),
              lc, hi.data(), static_cast<unsigned>(hi.size()), hc);
        break;
      }
      case 14: {
        std::string lang = in.take(in.below(8));
        itlNumericAttributeConditionSetCCSIDAndLanguage(
            num, static_cast<ItlTyCCSID>(in.below(70000)), lang.c_str());
        itlNumericAttributeConditionReset(num);
        break;
      }
      case 15: itlHandleDeleteNumericAttributeCondition(&num); break;
      case 16:
      case 17:
        // A term's record (with a word of its own) or an attribute's.
        if (term != nullptr) {
          ItlClAlSearchTerm& t = *reinterpret_cast<ItlClAlSearchTerm*>(term);
          RTRVWORD w = t.getWord();
          ItlClAlSearchString const& s = t.getSearchString();
          w.wordp = reinterpret_cast<uint8_t*>(const_cast<char*>(s.getValue()));
          w.wordlen = static_cast<int16_t>(s.getValueLength());
          cond.addTermOperand(w);
        } else {
          SEARCHITEM item{};
          item.item_type = 'N';
          cond.addAttributeOperand(item);
        }
        break;
      case 18:
      case 19:
        try {
          cond.addOperator(static_cast<ItlEnOperator>(in.below(5)),
                           static_cast<ItlEnOperatorMode>(in.below(3)));
        } catch (ItlClException const&) {
        }
        break;
      case 20:
        try {
          cond.addProximityOperator(static_cast<uint16_t>(in.below(65536)),
                                    static_cast<ItlEnOperatorMode>(in.below(3)));
        } catch (ItlClException const&) {
        }
        break;
      default:
        try {
          cond.finalize(nullptr);
          checkExpression(cond.getExpression(), cond.getOperandCount());
        } catch (ItlClException const&) {
        }
        if (in.flag()) cond.clear();
        break;
    }
  }
  itlHandleDeleteSearchTerm(&term);
  itlHandleDeleteStringAttribute(&attr);
  itlHandleDeleteNumericAttributeCondition(&num);
  itlHandleDeleteSearchString(&ss);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  FuzzInput in(data, size);
  ItlTyErrorInfoHandle ei = nullptr;
  ItlTyContextHandle ctx = nullptr;
  if (itlHandleNewErrorInfo(&ei) != 0) return 0;
  if (itlHandleNewContext(&ctx, ei) == 0) runCalls(in, ctx);
  itlHandleDeleteContext(&ctx);
  itlHandleDeleteErrorInfo(&ei);
  return 0;
}
