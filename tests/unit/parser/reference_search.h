#pragma once
// The search operations written out plainly, step by step, without any speed-up: the reference
// that the search engine must equal on every input and every chunk split.

#include <cstdint>
#include <string>

#include "parser/data_source_base.h"

namespace parser_test {

class CReferenceSearch {
public:
    explicit CReferenceSearch(parser::CDataSourceBase& source) : s_(source) {}

    bool Match(const std::string& lit)
    {
        if (s_.end == 0)
            throw parser::CDataSourceBase::ENoMoreData();
        const std::int32_t n = static_cast<std::int32_t>(lit.size());
        std::int32_t S = static_cast<std::int32_t>(s_.position);
        std::int32_t i = 0;
        for (;;) {
            if (B(s_.position) != static_cast<unsigned char>(lit[i])) {
                s_.position = static_cast<std::uint32_t>(S);
                return false;
            }
            if (++i == n)
                return true;
            s_.position += 1;
            if (s_.position == s_.end) {
                std::int32_t shift = 0;
                const bool more = s_.Refill(s_.position - static_cast<std::uint32_t>(S), shift);
                S += shift;
                if (!more) {
                    s_.position = static_cast<std::uint32_t>(S);
                    return false;
                }
            }
        }
    }

    void SkipPast(const std::string& lit)
    {
        if (s_.end == 0)
            throw parser::CDataSourceBase::ENoMoreData();
        const std::size_t n = lit.size();
        const auto L = [&](std::size_t k) { return static_cast<unsigned char>(lit[k]); };
    step1:
        while (B(s_.position) != L(0))
            Advance();
        std::size_t m = 1;
        Advance();
    step3:
        if (B(s_.position) == L(m)) {
            if (++m == n)
                return;
            Advance();
            goto step3;
        }
        if (m == 1)
            goto step1;
        for (std::size_t k = m - 1; k >= 1; --k) {
            if (lit.compare(0, k, lit, m - k, k) == 0 && L(k) == B(s_.position)) {
                m = k + 1;
                Advance();
                goto step3;
            }
        }
        goto step1;
    }

    /// Everything handed over is appended to `out`.
    void ReadUntil(std::string& out, const std::string& lit)
    {
        if (s_.end == 0)
            throw parser::CDataSourceBase::ENoMoreData();
        const std::size_t n = lit.size();
        const auto L = [&](std::size_t k) { return static_cast<unsigned char>(lit[k]); };
        std::uint32_t& P = s_.position;
        std::uint32_t R = P;
        std::uint32_t C = 0;
        std::int32_t shift = 0;
    step2:
        while (B(P) != L(0)) {
            P += 1;
            if (P == s_.end) {
                Hand(out, R, s_.end);
                s_.ReadChunk();
                R = 0;
            }
        }
        C = P;
        P += 1;
        if (P == s_.end) {
            Hand(out, R, C);
            const bool more = s_.Refill(1, shift);
            C = static_cast<std::uint32_t>(static_cast<std::int32_t>(C) + shift);
            R = C;
            if (!more) {
                Hand(out, C, C + 1);
                s_.ReadChunk();
            }
        }
        std::size_t i = 1;
    step5:
        if (B(P) == L(i)) {
            if (++i == n) {
                Hand(out, R, C);
                return;
            }
            P += 1;
            if (P == s_.end) {
                Hand(out, R, C);
                const bool more = s_.Refill(P - C, shift);
                C = static_cast<std::uint32_t>(static_cast<std::int32_t>(C) + shift);
                R = C;
                if (!more) {
                    Hand(out, C, P = s_.end);
                    s_.ReadChunk();
                }
            }
            goto step5;
        }
        P = C + 1;
        goto step2;
    }

    char ReadByte()
    {
        if (s_.end == 0)
            throw parser::CDataSourceBase::ENoMoreData();
        const char ch = static_cast<char>(B(s_.position));
        Advance();
        return ch;
    }

private:
    unsigned char B(std::uint32_t i) const { return s_.buffer[i]; }
    void Advance()
    {
        s_.position += 1;
        if (s_.position == s_.end)
            s_.ReadChunk();
    }
    void Hand(std::string& out, std::uint32_t from, std::uint32_t to)
    {
        out.append(reinterpret_cast<const char*>(s_.buffer) + from, to - from);
    }

    parser::CDataSourceBase& s_;
};

} // namespace parser_test
