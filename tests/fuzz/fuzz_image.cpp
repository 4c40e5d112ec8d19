// Reads image facts from arbitrary bytes, as an uploaded file would hold them. Checks: an image
// has a width and a height of at least 1 and anything else reads 0 x 0; one file costs at most
// kMaxImageReads reads of at most kImageReadSize bytes; every read asks for bytes inside the
// buffer it is given; the same bytes read the same facts every time.
//
// Seeds: the image fixtures of tests/data/images.

#include "results/image_facts.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// Serves the input and counts the reads; each read lands in a buffer of exactly the size asked
// for, so that a write past it is caught.
class CountingSource final : public utils::IImageByteSource {
public:
    explicit CountingSource(std::span<const unsigned char> bytes) : memory_(bytes) {}
    std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept override
    {
        ++reads;
        if (size > utils::kImageReadSize)
            Fail("a read larger than kImageReadSize");
        std::vector<unsigned char> exact(size);
        const std::size_t got = memory_.ReadAt(offset, exact.data(), size);
        for (std::size_t i = 0; i < got; ++i)
            buffer[i] = exact[i];
        return got;
    }
    unsigned reads = 0;

private:
    utils::CMemoryImageBytes memory_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const unsigned char> bytes(data, size);
    CountingSource source(bytes);
    const utils::TImageFacts facts = utils::ReadImageFacts(source);
    if (source.reads > utils::kMaxImageReads)
        Fail("more than kMaxImageReads reads");
    if (facts.isImage ? (facts.width < 1 || facts.height < 1) : (facts.width != 0 || facts.height != 0))
        Fail("an image without a size, or a size without an image");
    if (!(utils::ReadImageFacts(bytes) == facts))
        Fail("the same bytes read different facts");
    return 0;
}
