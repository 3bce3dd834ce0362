#include "codec/decodetree.h"

namespace azpack {

DecodeTree::DecodeTree()
    : nodes_(1)
{
}

bool DecodeTree::rebuild(const std::vector<TableEntry> &entries)
{
    nodes_.assign(1, Node{});
    for (const TableEntry &e : entries) {
        std::int32_t node = 0;
        for (unsigned j = 0; j + 1 < e.length; ++j) {
            const bool left = (e.code >> (31 - j)) & 1u;
            std::int32_t child = left ? nodes_[static_cast<std::size_t>(node)].left
                                      : nodes_[static_cast<std::size_t>(node)].right;
            if (child < 0) {
                child = static_cast<std::int32_t>(nodes_.size());
                nodes_.emplace_back();
                (left ? nodes_[static_cast<std::size_t>(node)].left
                      : nodes_[static_cast<std::size_t>(node)].right) = child;
            }
            node = child;
        }
        // Only the last slot is checked: a shorter code lying on the path of
        // a longer one is accepted, and the walk then passes through it.
        const bool left = (e.code >> (31 - (e.length - 1u))) & 1u;
        std::int32_t &slot = left ? nodes_[static_cast<std::size_t>(node)].left
                                  : nodes_[static_cast<std::size_t>(node)].right;
        if (slot >= 0)
            return false;
        const auto leaf = static_cast<std::int32_t>(nodes_.size());
        Node n;
        n.value = e.value;
        nodes_.push_back(n);
        // push_back may have moved the nodes: look the slot up again.
        (left ? nodes_[static_cast<std::size_t>(node)].left : nodes_[static_cast<std::size_t>(node)].right) = leaf;
    }
    return true;
}

} // namespace azpack
