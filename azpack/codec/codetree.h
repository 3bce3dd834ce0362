// The encoder's code tree: built from the symbol counts with the work-list
// merge, then walked to give every symbol its code length and code word.
#ifndef AZPACK_CODEC_CODETREE_H
#define AZPACK_CODEC_CODETREE_H

#include "codec/symboltable.h"

#include <cstdint>
#include <vector>

namespace azpack {

class CodeTree {
public:
    struct Node {
        int left = -1;
        int right = -1;
        std::int64_t count = 0;
        int symbol = -1; // leaves only
    };

    // Longest code the container's 32-bit code word and packing can carry.
    static constexpr int maxCodeLength = 31;

    // One leaf per symbol, in table order (the work list's initial fill).
    explicit CodeTree(const std::vector<Symbol> &symbols);

    // Merges the two smallest nodes until one root is left.
    void build();

    int root() const { return root_; }
    std::int64_t rootCount() const { return nodes_[static_cast<std::size_t>(root_)].count; }
    const std::vector<Node> &nodes() const { return nodes_; }

    // Depth of every symbol's leaf in the tree as built (may exceed 31).
    std::vector<int> leafDepths() const;

    // Gives every symbol its code length and word, and returns the size
    // estimate in bits that the log prints. A lone symbol gets the one-bit
    // code "1"; a tree deeper than 31 gets limited lengths instead.
    std::uint64_t deriveCodes(std::vector<Symbol> &symbols) const;

private:
    std::vector<Node> nodes_;
    std::vector<int> work_; // the work list, in insertion order
    int root_ = -1;
};

// Replaces the lengths by ones of at most `limit` bits that still form a
// prefix code, and assigns left-first canonical code words. Public for tests.
void limitCodeLengths(std::vector<Symbol> &symbols, int limit);

} // namespace azpack

#endif
