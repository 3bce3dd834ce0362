#include "codec/codec.h"

#include "codec/codetree.h"
#include "codec/decoder.h"
#include "codec/decodetree.h"
#include "codec/headerreader.h"
#include "codec/splitpacker.h"
#include "codec/symboltable.h"

namespace azpack {

bool compressBytes(std::span<const std::uint8_t> input, std::vector<std::uint8_t> &container)
{
    container.clear();
    if (input.empty())
        return true;
    if (input.size() > SymbolTable::maxTotal)
        return false;
    SymbolTable table;
    SplitPacker packer(input);
    packer.count(table);
    CodeTree tree(table.symbols());
    tree.build();
    tree.deriveCodes(table.symbols());
    container.resize(static_cast<std::size_t>(packer.containerSize(table.symbols())));
    return packer.write(table.symbols(), container.data());
}

bool restoreBytes(std::span<const std::uint8_t> container, std::vector<std::uint8_t> &output)
{
    output.clear();
    if (container.empty())
        return true;
    Header header;
    if (!readHeader(container, header) || !dataCanHold(header, container.size()))
        return false;
    DecodeTree tree;
    if (!tree.rebuild(header.entries))
        return false;
    output.resize(header.total);
    Decoder decoder(tree, container.subspan(header.dataOffset));
    return decoder.decode(output.data(), output.size()) == output.size() && !decoder.failed();
}

} // namespace azpack
