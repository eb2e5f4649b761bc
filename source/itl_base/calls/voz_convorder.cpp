// voz_convorder.cpp -- vozSearchOrder_Query (voz_convcond.hpp): the order
// string of a postfix array, the inverse of the order-string tokenizer.
//
// The optimised array is walked with a stack: a term pushes its number, an
// operator takes its operands off the stack and pushes the text that joins
// them. Each text is a contiguous part of the final text, so no text is
// longer than the final one: a text that reaches the output size is cut
// there and only remembered as too long, which keeps the memory bounded by
// the output size however deep the operators nest.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "calls/voz_convcond.hpp"

namespace {

constexpr int32_t RC_CONVERT = 17;

struct OrderEntry {
    int32_t number;     // a term's number from 1; 0 for an operator's text
    std::string text;   // an operator's text
    bool single;        // the text is a single NOT's
};

// A single NOT reads as the whole document followed by a special NOT, so
// its text must be enclosed where it follows a special NOT: "! ! 1" and
// "1 # ! 2" read differently from what they stand for.
std::string enclosed(const OrderEntry& o) {
    return o.single ? "( " + o.text + ") " : o.text;
}

// The sign of an operator followed by its mode letter and a blank.
std::string joinerOf(const PFELEMENT& e) {
    std::string j;
    switch (e.kind) {
    case VOZ_PF_AND:
    case VOZ_PF_PROXIMITY: j = "*"; break;
    case VOZ_PF_OR: j = "+"; break;
    case VOZ_PF_NOT: j = "-"; break;
    case VOZ_PF_DISTANCE: j = "*" + std::to_string(e.Operator.op_dlmno); break;
    case VOZ_PF_SPECIAL_NOT: j = "#"; break;
    default: j = "?"; break;
    }
    if (e.mode == 'F' || e.mode == 'P' || e.mode == 'S') j += e.mode;
    return j + " ";
}

class OrderWriter {
public:
    explicit OrderWriter(int32_t outSize) : limit_(static_cast<size_t>(outSize)) {}

    void pushTerm() { stack_.push_back(OrderEntry{next_++, std::string(), false}); }

    // A special NOT of one operand: "!", its mode, the operand.
    bool singleNot(const PFELEMENT& e) {
        if (stack_.empty()) return false;
        std::string t = "!";
        if (e.mode == 'F' || e.mode == 'P' || e.mode == 'S') t += e.mode;
        OrderEntry& top = stack_.back();
        if (top.number > 0)
            t += " " + std::to_string(top.number) + " ";
        else
            t += " " + enclosed(top) + " ";
        stack_.pop_back();
        push(std::move(t), true);
        return true;
    }

    // Any other operator: its operands joined by its sign, in parentheses
    // unless it is the last element.
    bool join(const PFELEMENT& e, bool last) {
        const size_t n = e.opnum > 0 ? static_cast<size_t>(e.opnum) : 0;
        if (n > stack_.size()) return false;
        const std::string joiner = joinerOf(e);
        std::string t = last ? "" : "( ";
        const size_t first = stack_.size() - n;
        for (size_t i = first; i < stack_.size(); ++i) {
            if (i > first) append(t, joiner);
            const OrderEntry& o = stack_[i];
            if (o.number > 0)
                append(t, std::to_string(o.number) + " ");
            else
                append(t, e.kind == VOZ_PF_SPECIAL_NOT && i > first ? enclosed(o) : o.text);
        }
        if (!last) append(t, ") ");
        stack_.resize(first);
        push(std::move(t), false);
        return true;
    }

    // The single operator's text that must be left at the end.
    const std::string* result() const {
        if (stack_.size() != 1 || stack_[0].number > 0) return nullptr;
        return &stack_[0].text;
    }
    bool tooLong() const { return tooLong_; }

private:
    void append(std::string& t, const std::string& part) {
        if (t.size() + part.size() >= limit_) {
            tooLong_ = true;
            t.append(part, 0, limit_ > t.size() ? limit_ - t.size() : 0);
        } else {
            t += part;
        }
    }
    void push(std::string t, bool single) {
        if (t.size() >= limit_) tooLong_ = true;
        stack_.push_back(OrderEntry{0, std::move(t), single});
    }

    size_t limit_;
    std::vector<OrderEntry> stack_;
    int32_t next_ = 1;
    bool tooLong_ = false;
};

// Walks the array; false with the status set.
bool writeOrder(const PFELEMENT* pf, int32_t count, OrderWriter& w,
                GTRSTATUS* gsp) {
    for (int32_t i = 0; i < count; ++i) {
        const PFELEMENT& e = pf[i];
        if (e.kind == VOZ_PF_REMOVED) continue;
        if (e.kind == VOZ_PF_TERM) {
            w.pushTerm();
            continue;
        }
        if (e.kind == VOZ_PF_SPECIAL_NOT && e.opnum != 2) {
            if (e.opnum != 1 || !w.singleNot(e)) {
                voz_setStatus(gsp, RC_CONVERT, 2630);
                return false;
            }
            continue;
        }
        if (!w.join(e, i == count - 1)) {
            voz_setStatus(gsp, RC_CONVERT, 2631);
            return false;
        }
    }
    return true;
}

}  // namespace

void vozSearchOrder_Query(PFELEMENT* pf, int32_t count, char* out,
                          int32_t outSize, GTRSTATUS* gsp) {
    vozOptimizePostfix(pf, count, nullptr, gsp);
    if (voz_Failed(gsp)) return;
    if (out == nullptr || outSize < 1) {
        voz_setStatus(gsp, RC_CONVERT, 2632);
        return;
    }
    try {
        OrderWriter w(outSize);
        if (!writeOrder(pf, count, w, gsp)) return;
        const std::string* text = w.result();
        if (text == nullptr) {
            voz_setStatus(gsp, RC_CONVERT, 2631);
        } else if (w.tooLong() || text->size() >= static_cast<size_t>(outSize)) {
            voz_setStatus(gsp, RC_CONVERT, 2632);
        } else {
            std::memcpy(out, text->c_str(), text->size() + 1);
        }
    } catch (const std::bad_alloc&) {
        voz_setStatus(gsp, 11, 2629);
    }
}
