#include "codec/codetree.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace azpack {

namespace {

constexpr std::uint64_t leafHeaderBits = 48; // six table bytes per symbol
constexpr std::uint64_t fixedHeaderBits = 56; // magic, total, end of table

std::uint64_t estimateBits(const std::vector<Symbol> &symbols)
{
    std::uint64_t bits = fixedHeaderBits;
    for (const Symbol &s : symbols)
        bits += static_cast<std::uint64_t>(s.length) * static_cast<std::uint64_t>(s.count) + leafHeaderBits;
    return bits;
}

} // namespace

CodeTree::CodeTree(const std::vector<Symbol> &symbols)
{
    nodes_.reserve(symbols.size() * 2);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        Node leaf;
        leaf.count = symbols[i].count;
        leaf.symbol = static_cast<int>(i);
        work_.push_back(static_cast<int>(nodes_.size()));
        nodes_.push_back(leaf);
    }
    root_ = work_.empty() ? -1 : work_.front();
}

void CodeTree::build()
{
    while (work_.size() >= 2) {
        const auto count = [this](std::size_t pos) { return nodes_[static_cast<std::size_t>(work_[pos])].count; };
        // Equal counts keep the first node as runner-up: the later one becomes
        // the right child. Later nodes only displace on a strictly lower count.
        std::size_t smallest = 1;
        std::size_t runnerUp = 0;
        if (count(0) < count(1))
            std::swap(smallest, runnerUp);
        for (std::size_t pos = 2; pos < work_.size(); ++pos) {
            if (count(pos) < count(runnerUp)) {
                if (count(pos) < count(smallest)) {
                    runnerUp = smallest;
                    smallest = pos;
                } else {
                    runnerUp = pos;
                }
            }
        }
        Node inner;
        inner.left = work_[runnerUp];
        inner.right = work_[smallest];
        inner.count = count(runnerUp) + count(smallest);
        work_.erase(work_.begin() + static_cast<std::ptrdiff_t>(std::max(smallest, runnerUp)));
        work_.erase(work_.begin() + static_cast<std::ptrdiff_t>(std::min(smallest, runnerUp)));
        work_.push_back(static_cast<int>(nodes_.size()));
        nodes_.push_back(inner);
    }
    root_ = work_.empty() ? -1 : work_.front();
}

std::vector<int> CodeTree::leafDepths() const
{
    std::size_t leaves = 0;
    for (const Node &n : nodes_)
        leaves += n.symbol >= 0 ? 1 : 0;
    std::vector<int> depths(leaves, 0);
    if (root_ < 0)
        return depths;
    std::vector<std::pair<int, int>> stack{{root_, 0}};
    while (!stack.empty()) {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        const Node &n = nodes_[static_cast<std::size_t>(index)];
        if (n.right < 0 && n.left < 0) {
            depths[static_cast<std::size_t>(n.symbol)] = depth;
            continue;
        }
        if (n.right >= 0)
            stack.emplace_back(n.right, depth + 1);
        if (n.left >= 0)
            stack.emplace_back(n.left, depth + 1);
    }
    return depths;
}

std::uint64_t CodeTree::deriveCodes(std::vector<Symbol> &symbols) const
{
    if (root_ < 0)
        return fixedHeaderBits;
    const Node &top = nodes_[static_cast<std::size_t>(root_)];
    if (top.left < 0 && top.right < 0) {
        // The root is the only leaf: a zero-length code would end the table,
        // so the symbol takes the left branch of an otherwise empty tree.
        symbols[static_cast<std::size_t>(top.symbol)].length = 1;
        symbols[static_cast<std::size_t>(top.symbol)].code = 0x80000000u;
        return estimateBits(symbols);
    }

    struct Visit {
        int node;
        int depth;
        std::uint32_t code;
    };
    bool tooDeep = false;
    std::vector<Visit> stack{{root_, 0, 0}};
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        const Node &n = nodes_[static_cast<std::size_t>(v.node)];
        if (n.right < 0) {
            Symbol &s = symbols[static_cast<std::size_t>(n.symbol)];
            if (v.depth > maxCodeLength) {
                tooDeep = true;
                continue;
            }
            s.length = static_cast<std::uint8_t>(v.depth);
            s.code = v.code;
            continue;
        }
        const std::uint32_t bit = v.depth < 32 ? (0x80000000u >> v.depth) : 0u;
        stack.push_back({n.right, v.depth + 1, v.code & ~bit});
        if (n.left >= 0)
            stack.push_back({n.left, v.depth + 1, v.code | bit});
    }
    if (tooDeep) {
        const std::vector<int> depths = leafDepths();
        for (std::size_t i = 0; i < symbols.size(); ++i)
            symbols[i].length = static_cast<std::uint8_t>(std::min(depths[i], 255));
        limitCodeLengths(symbols, maxCodeLength);
    }
    return estimateBits(symbols);
}

void limitCodeLengths(std::vector<Symbol> &symbols, int limit)
{
    // Kraft sum in units of 2^-limit; a prefix code needs kraft <= full.
    const std::uint64_t full = std::uint64_t{1} << limit;
    const auto unit = [limit](int length) { return std::uint64_t{1} << (limit - length); };
    std::vector<int> len(symbols.size());
    std::uint64_t kraft = 0;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        len[i] = std::clamp(static_cast<int>(symbols[i].length), 1, limit);
        kraft += unit(len[i]);
    }
    // Lengthen the deepest codes below the limit, rarest first, until the
    // lengths fit; each step frees the least code space.
    while (kraft > full) {
        std::size_t pick = symbols.size();
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            if (len[i] >= limit)
                continue;
            if (pick == symbols.size() || len[i] > len[pick]
                || (len[i] == len[pick] && symbols[i].count < symbols[pick].count))
                pick = i;
        }
        if (pick == symbols.size())
            break; // cannot happen with at most 256 symbols
        kraft -= unit(len[pick] + 1);
        ++len[pick];
    }
    // Give left-over code space back to the most frequent symbols.
    std::vector<std::size_t> byCount(symbols.size());
    std::iota(byCount.begin(), byCount.end(), std::size_t{0});
    std::stable_sort(byCount.begin(), byCount.end(),
                     [&](std::size_t a, std::size_t b) { return symbols[a].count > symbols[b].count; });
    for (const std::size_t i : byCount) {
        while (len[i] > 1 && kraft + unit(len[i]) <= full) {
            kraft += unit(len[i]);
            --len[i];
        }
    }
    // Canonical codes, shortest first; inverted so that any unused code space
    // lies on the right (0) side, which the decoder's walk never needs.
    std::vector<std::size_t> order(symbols.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return len[a] < len[b]; });
    std::uint64_t next = 0;
    int prevLen = len.empty() ? 0 : len[order.front()];
    for (const std::size_t i : order) {
        next <<= (len[i] - prevLen);
        prevLen = len[i];
        const std::uint64_t mask = (std::uint64_t{1} << len[i]) - 1;
        const std::uint64_t inverted = ~next & mask;
        symbols[i].length = static_cast<std::uint8_t>(len[i]);
        symbols[i].code = static_cast<std::uint32_t>(inverted << (32 - len[i]));
        ++next;
    }
}

} // namespace azpack
