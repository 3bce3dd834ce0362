// The decoder's tree, rebuilt from the code table. Node 0 is the root. A node
// without a left child counts as a leaf when walking.
#ifndef AZPACK_CODEC_DECODETREE_H
#define AZPACK_CODEC_DECODETREE_H

#include "codec/headerreader.h"

#include <cstdint>
#include <vector>

namespace azpack {

class DecodeTree {
public:
    struct Node {
        std::int32_t left = -1;
        std::int32_t right = -1;
        std::uint8_t value = 0;
    };

    DecodeTree();

    // False when two entries claim the same leaf slot (tree not unique).
    bool rebuild(const std::vector<TableEntry> &entries);

    const std::vector<Node> &nodes() const { return nodes_; }

private:
    std::vector<Node> nodes_;
};

} // namespace azpack

#endif
